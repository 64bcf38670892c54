// Interface of one position stream encoding's writer (plain or binary), reached
// through the PositionStreamEncoder facade, which owns and deletes it.
//
// Holds a reference to the caller's stream, which must outlive it. One thread at a
// time.
#pragma once

namespace orva {
namespace keldra {
class WriteStream;

namespace internal {

class PositionStreamItem;

class PositionStreamEncoderImplBase {
 public:
  explicit PositionStreamEncoderImplBase(WriteStream& stream) : m_stream(stream) {}
  virtual ~PositionStreamEncoderImplBase() {}

  // Appends one item; false when nothing (or not all of it) could be written.
  virtual bool write(const PositionStreamItem& item) = 0;
  // Ends the stream; true when it is complete.
  virtual bool finalize() = 0;

 protected:
  WriteStream& m_stream;

 private:
  PositionStreamEncoderImplBase(const PositionStreamEncoderImplBase&) = delete;
  PositionStreamEncoderImplBase& operator=(const PositionStreamEncoderImplBase&) = delete;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
