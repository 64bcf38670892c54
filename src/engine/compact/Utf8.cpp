#include "compact/Utf8.h"

namespace orva {
namespace keldra {
namespace compact {

unsigned int decode_utf8(const unsigned char* p, size_t left, char32_t& out) {
  unsigned char lead = p[0];
  unsigned int n;
  char32_t cp;
  char32_t min;
  if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2;
    cp = lead & 0x1F;
    min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3;
    cp = lead & 0x0F;
    min = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4;
    cp = lead & 0x07;
    min = 0x10000;
  } else {
    return 0;
  }
  if (left < n) return 0;
  for (unsigned int i = 1; i < n; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (p[i] & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  out = cp;
  return n;
}

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
