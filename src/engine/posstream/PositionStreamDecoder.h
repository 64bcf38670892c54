// Reads a position stream of the encoding chosen by number (plain or binary).
//
// An unknown encoding number gives a decoder without implementation: read() returns
// false and get_count() 0. The stream must outlive the decoder. One thread at a time.
#pragma once

#include "posstream/PositionStreamEncoding.h"

namespace orva {
namespace keldra {
class ReadStream;

namespace internal {

class PositionStreamDecoderImplBase;
class PositionStreamItem;

class PositionStreamDecoder {
 public:
  PositionStreamDecoder(PositionStreamEncoding encoding, ReadStream& stream);
  ~PositionStreamDecoder();

  // The next item; false (|item| reset) at the end or on bad data.
  bool read(PositionStreamItem& item);
  // Counts the items of the whole stream without moving the reading position; true
  // when the whole stream reads as good items. False without implementation.
  bool check_stream();
  // Items counted by the last check_stream(); 0 before it.
  unsigned int get_count() const;

 private:
  PositionStreamDecoder(const PositionStreamDecoder&) = delete;
  PositionStreamDecoder& operator=(const PositionStreamDecoder&) = delete;

  PositionStreamDecoderImplBase* m_impl;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
