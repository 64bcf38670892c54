#include "posstream/BinaryPositionStreamEncoder.h"

#include "posstream/PositionStreamItem.h"

#include <keldra/WriteStream.h>

namespace orva {
namespace keldra {
namespace internal {

BinaryPositionStreamEncoder::BinaryPositionStreamEncoder(WriteStream& stream)
    : PositionStreamEncoderImplBase(stream),
      m_counter(0),
      m_last_key(0),
      m_base_time(0),
      m_base_taken(false),
      m_previous_readable(true) {}

bool BinaryPositionStreamEncoder::write(const PositionStreamItem& item) {
  const long long base = m_base_taken ? m_base_time : item.time;
  PositionStreamItem relative = item;
  if (__builtin_sub_overflow(item.time, base, &relative.time)) return false;

  BinaryPositionStreamFrame frame;
  if (!frame.from_item(relative)) return false;

  // What a decoder will make of this frame.
  PositionStreamItem probe;
  frame.to_item(probe);
  const bool readable = probe.is_valid();

  const bool delta = m_counter != 0 && m_counter - m_last_key < KEY_FRAME_INTERVAL &&
                     !keyframe_needed(frame) && (m_previous_readable || !readable);
  bool written;
  if (delta) {
    BinaryPositionStreamFrame difference;
    frame.get_delta_from(m_previous, difference);
    written = difference.write(m_stream);
  } else {
    frame.key = true;
    written = frame.write(m_stream);
  }
  if (!written) return false;

  if (!delta) m_last_key = m_counter;
  ++m_counter;
  m_previous = frame;
  m_previous_readable = readable;
  m_base_time = base;
  m_base_taken = true;
  return true;
}

bool BinaryPositionStreamEncoder::finalize() { return true; }

bool BinaryPositionStreamEncoder::keyframe_needed(const BinaryPositionStreamFrame& frame) const {
  return frame.mask != m_previous.mask || frame.byte_value != m_previous.byte_value;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
