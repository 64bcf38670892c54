// UTF-16 to UTF-8 for the text loops of the field getters and the compact writer, which
// copy ASCII themselves and hand every other unit here.
#pragma once

#include <cstdint>

namespace orva {
namespace keldra {
namespace internal {

// Writes at |q| the UTF-8 bytes of the non-ASCII character that starts at units[i] (as
// orva::ustring::to_utf8: a surrogate pair is one character and moves |i| past its
// second unit, a lone surrogate is U+FFFD) and returns the position after them. |q| needs
// room for 4 bytes.
inline char* put_utf8(const unsigned short* units, unsigned int n, unsigned int& i, char* q) {
  const unsigned short u = units[i];
  uint32_t cp = u;
  if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n && units[i + 1] >= 0xDC00 &&
      units[i + 1] <= 0xDFFF) {
    cp = 0x10000 + ((static_cast<uint32_t>(u) - 0xD800) << 10) + (units[i + 1] - 0xDC00);
    ++i;
  } else if (u >= 0xD800 && u <= 0xDFFF) {
    cp = 0xFFFD;
  }
  if (cp < 0x80) {
    *q++ = static_cast<char>(cp);
    return q;
  }
  if (cp < 0x800) {
    *q++ = static_cast<char>(0xC0 | (cp >> 6));
  } else if (cp < 0x10000) {
    *q++ = static_cast<char>(0xE0 | (cp >> 12));
    *q++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  } else {
    *q++ = static_cast<char>(0xF0 | (cp >> 18));
    *q++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    *q++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  }
  *q++ = static_cast<char>(0x80 | (cp & 0x3F));
  return q;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
