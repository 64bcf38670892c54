// Writes a position stream in the encoding chosen by number (plain or binary).
//
// An unknown encoding number gives an encoder without implementation: it writes
// nothing, and write() and finalize() return false. The stream must outlive the
// encoder. One thread at a time (the binary encoding's scratch buffers are per
// thread).
#pragma once

#include "posstream/PositionStreamEncoding.h"

namespace orva {
namespace keldra {
class WriteStream;

namespace internal {

class PositionStreamEncoderImplBase;
class PositionStreamItem;

class PositionStreamEncoder {
 public:
  PositionStreamEncoder(PositionStreamEncoding encoding, WriteStream& stream);
  ~PositionStreamEncoder();

  // Starts a new encoder of the chosen encoding on |stream|, dropping the former one.
  // With an unknown encoding the former implementation stays.
  void reset(WriteStream& stream);

  bool write(const PositionStreamItem& item);
  bool finalize();

  PositionStreamEncoding get_encoding() const { return m_encoding; }

 private:
  PositionStreamEncoder(const PositionStreamEncoder&) = delete;
  PositionStreamEncoder& operator=(const PositionStreamEncoder&) = delete;

  PositionStreamEncoderImplBase* m_impl;
  PositionStreamEncoding m_encoding;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
