#include "compact/Utf8.h"

namespace orva {
namespace keldra {
namespace compact {

bool is_wire_text(const char* text, size_t length) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  const unsigned char* end = p + length;
  while (p < end) {
    if (*p == 0) return false;
    if (*p < 0x80) {
      ++p;
      continue;
    }
    char32_t cp = 0;
    unsigned int used = decode_utf8(p, static_cast<size_t>(end - p), cp);
    if (used == 0) return false;
    p += used;
  }
  return true;
}

}  // namespace compact
}  // namespace keldra
}  // namespace orva
