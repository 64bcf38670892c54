// Interface of one position stream encoding's reader (plain or binary), reached
// through the PositionStreamDecoder facade, which owns and deletes it.
//
// Holds a reference to the caller's stream, which must outlive it. One thread at a
// time.
#pragma once

namespace orva {
namespace keldra {
class ReadStream;

namespace internal {

class PositionStreamItem;

class PositionStreamDecoderImplBase {
 public:
  explicit PositionStreamDecoderImplBase(ReadStream& stream) : m_stream(stream) {}
  virtual ~PositionStreamDecoderImplBase() {}

  // Reads the next item into |item|; false (and |item| reset) at the end of the
  // stream or when the data there is not a good item.
  virtual bool read(PositionStreamItem& item) = 0;
  // Number of items counted by the last check_stream(); 0 before.
  virtual unsigned int get_count() const = 0;
  // Counts the items of the whole stream and returns to the current position; true
  // only when the stream reads as items to its very end and the position is back.
  virtual bool check_stream() = 0;

 protected:
  // Reads items from the beginning of the stream up to its end without reading past
  // it, counting them into |count|, then seeks back to where the stream was. True
  // when every byte belonged to a good item and the seek back succeeded.
  bool count_items(unsigned int& count);

  ReadStream& m_stream;

 private:
  PositionStreamDecoderImplBase(const PositionStreamDecoderImplBase&) = delete;
  PositionStreamDecoderImplBase& operator=(const PositionStreamDecoderImplBase&) = delete;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
