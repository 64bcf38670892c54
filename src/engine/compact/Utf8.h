// UTF-8 as the compact format carries it: well-formed sequences only (no stray
// continuation bytes, overlong forms, surrogates or values above U+10FFFF) and no
// zero byte, which ends a message. The reader decodes with this and the writer
// checks its texts with it, so the writer never emits text the reader refuses.
#pragma once

#include <cstddef>

#include "runtime/Utf8.h"

namespace orva {
namespace keldra {
namespace compact {

using internal::decode_utf8;

// Whether |length| bytes of |text| are well-formed UTF-8 without a zero byte.
bool is_wire_text(const char* text, size_t length);

}  // namespace compact
}  // namespace keldra
}  // namespace orva
