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
  // Counts into |count| the items that |counter|, a fresh decoder of the same
  // encoding reading |bounded| (a BoundedReadStream over this decoder's stream),
  // reads from the beginning of the stream up to its end, then seeks back to where
  // the stream was. Neither this decoder's state nor the stream's is changed, also
  // when the stream ends in a broken item. True when every byte belonged to a good
  // item and the seek back succeeded.
  bool count_items(PositionStreamDecoderImplBase& counter, ReadStream& bounded,
                   unsigned int& count);

  ReadStream& m_stream;

 private:
  PositionStreamDecoderImplBase(const PositionStreamDecoderImplBase&) = delete;
  PositionStreamDecoderImplBase& operator=(const PositionStreamDecoderImplBase&) = delete;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
