// Writes position stream items as binary frames (see BinaryPositionStreamFrame).
//
// The first item, every 60th frame at least, and every item whose set of present
// values or byte value differs from the previous item's are written as key frames;
// the others as delta frames. An item following one that a decoder would have to
// drop (not valid when read back) is also a key frame, so that a decoder, which
// loses its place at such an item, finds it again at once.
//
// Times are stored relative to the first item written, in tenths of a second.
#pragma once

#include "posstream/BinaryPositionStreamFrame.h"
#include "posstream/PositionStreamEncoderImplBase.h"

namespace orva {
namespace keldra {
namespace internal {

class BinaryPositionStreamEncoder : public PositionStreamEncoderImplBase {
 public:
  // Frames written between two key frames, the key frame included.
  static const unsigned int KEY_FRAME_INTERVAL = 60;

  explicit BinaryPositionStreamEncoder(WriteStream& stream);

  // Appends one frame for |item|. False, with nothing written and the encoder as it
  // was, when the stream is not ok or fails, or when a flagged value is not finite
  // or too large to be carried.
  bool write(const PositionStreamItem& item) override;
  // True; a binary stream has no trailer.
  bool finalize() override;

  // True when |frame| has other present values or another byte value than the
  // previous frame.
  bool keyframe_needed(const BinaryPositionStreamFrame& frame) const;

 private:
  BinaryPositionStreamFrame m_previous;
  unsigned int m_counter;
  unsigned int m_last_key;
  long long m_base_time;
  // A separate mark: 0 is an ordinary first time (tracks with relative times).
  bool m_base_taken;
  bool m_previous_readable;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
