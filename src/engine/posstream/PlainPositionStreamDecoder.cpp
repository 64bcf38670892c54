#include "posstream/PlainPositionStreamDecoder.h"

#include "posstream/PlainPositionStreamEncoder.h"
#include "posstream/PositionStreamItem.h"
#include "runtime/BoundedReadStream.h"

#include <keldra/ReadStream.h>

namespace orva {
namespace keldra {
namespace internal {

PlainPositionStreamDecoder::PlainPositionStreamDecoder(ReadStream& stream)
    : PositionStreamDecoderImplBase(stream), m_count(0) {}

bool PlainPositionStreamDecoder::read(PositionStreamItem& item) {
  item.reset();
  ReadStream& s = m_stream;
  if (!s.is_ok()) return false;

  const unsigned int start = s.tell();
  unsigned int length = 0;
  unsigned short flags = 0;
  long long time = 0;
  if (!s.read_uint32(length) || !s.read_uint16(flags) || !s.read_timestamp(time)) {
    item.reset();
    return false;
  }
  item.flags = flags;
  item.time = time;

  // The record must hold at least the values its flags announce and end within the
  // stream; otherwise its values would be taken from the next record.
  const unsigned long long end = static_cast<unsigned long long>(start) + 4 + length;
  if (length < PlainPositionStreamEncoder::get_item_length(item) || end > s.size()) {
    item.reset();
    s.seek(start, ReadStream::SEEK_FROM_BEGIN);
    return false;
  }

  const unsigned int f = flags;
  if (f & PositionStreamItem::FLAG_BYTE_VALUE) s.read_uint8(item.byte_value);
  if (f & PositionStreamItem::FLAG_COORDINATES) {
    s.read_double(item.latitude);
    s.read_double(item.longitude);
  }
  if (f & PositionStreamItem::FLAG_ALTITUDE) s.read_double(item.altitude);
  if (f & PositionStreamItem::FLAG_HORIZONTAL_ACCURACY) s.read_float(item.horizontal_accuracy);
  if (f & PositionStreamItem::FLAG_VERTICAL_ACCURACY) s.read_float(item.vertical_accuracy);
  if (f & PositionStreamItem::FLAG_ADDITIONAL_VALUE) s.read_float(item.additional_value);
  if (f & PositionStreamItem::FLAG_SPEED) s.read_double(item.speed);
  if (f & PositionStreamItem::FLAG_COURSE) s.read_double(item.course);

  if (!s.seek(static_cast<unsigned int>(end), ReadStream::SEEK_FROM_BEGIN) || !s.is_ok()) {
    item.reset();
    return false;
  }
  return true;
}

bool PlainPositionStreamDecoder::check_stream() {
  BoundedReadStream bounded(m_stream);
  PlainPositionStreamDecoder counter(bounded);
  return count_items(counter, bounded, m_count);
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
