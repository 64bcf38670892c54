// Strict UTF-8 decoding of one character, shared by the field setters (text to UTF-16)
// and the compact format's reader and writer, so that all of them accept the same texts.
#pragma once

#include <cstddef>

namespace orva {
namespace keldra {
namespace internal {

// Decodes one sequence of at least two bytes at |p| (|left| bytes available): only
// well-formed sequences (no stray continuation bytes, overlong forms, surrogates or values
// above U+10FFFF). Returns its length and stores the code point, or 0 for a malformed or
// cut sequence.
inline unsigned int decode_utf8(const unsigned char* p, size_t left, char32_t& out) {
  const unsigned char lead = p[0];
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

}  // namespace internal
}  // namespace keldra
}  // namespace orva
