// Numbers of the position stream encodings, as callers choose them.
#pragma once

namespace orva {
namespace keldra {
namespace internal {

enum PositionStreamEncoding : int {
  POSITION_STREAM_ENCODING_PLAIN = 1,   // length-prefixed records
  POSITION_STREAM_ENCODING_BINARY = 2   // key and delta frames of variable-length integers
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
