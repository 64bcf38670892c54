#include "posstream/BinaryPositionStreamDecoder.h"

#include "posstream/PositionStreamItem.h"
#include "runtime/BoundedReadStream.h"

#include <keldra/ReadStream.h>

namespace orva {
namespace keldra {
namespace internal {

BinaryPositionStreamDecoder::BinaryPositionStreamDecoder(ReadStream& stream)
    : PositionStreamDecoderImplBase(stream), m_count(0), m_synced(false) {}

bool BinaryPositionStreamDecoder::read(PositionStreamItem& item) {
  item.reset();
  if (!m_stream.is_ok()) return false;

  BinaryPositionStreamFrame frame;
  bool ok;
  if (m_synced) {
    ok = frame.read(m_stream);
  } else {
    ok = find_marker() && frame.read_after_marker(m_stream);
  }
  if (!ok) {
    lose_sync();
    item.reset();
    return false;
  }

  if (frame.key) {
    m_current = frame;
  } else {
    m_current.add_delta(frame);
  }
  m_current.to_item(item);
  // An item the encoder would write back differently is refused like an invalid one,
  // so that every track that reads also writes back to the same frames.
  if (!item.is_valid() || !m_current.writes_back(item)) {
    lose_sync();
    item.reset();
    return false;
  }
  m_synced = true;
  return true;
}

bool BinaryPositionStreamDecoder::check_stream() {
  // A decoder of its own counts, so that this one keeps its frame and its place.
  BoundedReadStream bounded(m_stream);
  BinaryPositionStreamDecoder counter(bounded);
  return count_items(counter, bounded, m_count);
}

bool BinaryPositionStreamDecoder::find_marker() {
  unsigned char previous = 0;
  unsigned char byte = 0;
  while (m_stream.read_uint8(byte)) {
    if (previous == 0x80 && byte == 0x80) return true;
    previous = byte;
  }
  return false;
}

void BinaryPositionStreamDecoder::lose_sync() {
  m_current.reset();
  m_synced = false;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
