// UTF-8 as the compact format carries it: well-formed sequences only (no stray
// continuation bytes, overlong forms, surrogates or values above U+10FFFF) and no
// zero byte, which ends a message. The reader decodes with this and the writer
// checks its texts with it, so the writer never emits text the reader refuses.
#pragma once

#include <cstddef>

namespace orva {
namespace keldra {
namespace compact {

// Decodes one sequence of at least two bytes at |p| (|left| bytes available).
// Returns its length and stores the code point, or 0 for a malformed or cut
// sequence.
unsigned int decode_utf8(const unsigned char* p, size_t left, char32_t& out);

// Whether |length| bytes of |text| are well-formed UTF-8 without a zero byte.
bool is_wire_text(const char* text, size_t length);

}  // namespace compact
}  // namespace keldra
}  // namespace orva
