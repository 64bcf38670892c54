// Reads the binary frames that BinaryPositionStreamEncoder writes.
//
// The decoder starts unsynchronised and looks for the next key frame marker; after a
// malformed frame, or one that does not give a valid item, it is unsynchronised again
// and resumes at the next key frame, losing the delta frames in between. Decoded
// times are relative to the first item of the stream, in whole tenths of a second.
#pragma once

#include "posstream/BinaryPositionStreamFrame.h"
#include "posstream/PositionStreamDecoderImplBase.h"

namespace orva {
namespace keldra {
namespace internal {

class BinaryPositionStreamDecoder : public PositionStreamDecoderImplBase {
 public:
  explicit BinaryPositionStreamDecoder(ReadStream& stream);

  // Reads frames up to the next valid item. False, with |item| reset, when the stream
  // is not ok or ends, or the frame read is malformed or gives no valid item.
  bool read(PositionStreamItem& item) override;
  unsigned int get_count() const override { return m_count; }
  // Also keeps the decoder's place: reading goes on afterwards as before the call.
  bool check_stream() override;

 private:
  // Consumes bytes up to and including the next two consecutive 80 bytes.
  bool find_marker();
  void lose_sync();

  unsigned int m_count;
  BinaryPositionStreamFrame m_current;
  bool m_synced;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
