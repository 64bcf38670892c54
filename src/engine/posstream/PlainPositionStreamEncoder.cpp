#include "posstream/PlainPositionStreamEncoder.h"

#include "posstream/PositionStreamItem.h"

#include <keldra/WriteStream.h>

namespace orva {
namespace keldra {
namespace internal {

PlainPositionStreamEncoder::PlainPositionStreamEncoder(WriteStream& stream)
    : PositionStreamEncoderImplBase(stream) {}

unsigned int PlainPositionStreamEncoder::get_item_length(const PositionStreamItem& item) {
  const unsigned int f = item.flags;
  unsigned int length = 2 + 8;
  if (f & PositionStreamItem::FLAG_BYTE_VALUE) length += 1;
  if (f & PositionStreamItem::FLAG_COORDINATES) length += 16;
  if (f & PositionStreamItem::FLAG_ALTITUDE) length += 8;
  if (f & PositionStreamItem::FLAG_HORIZONTAL_ACCURACY) length += 4;
  if (f & PositionStreamItem::FLAG_VERTICAL_ACCURACY) length += 4;
  if (f & PositionStreamItem::FLAG_ADDITIONAL_VALUE) length += 4;
  if (f & PositionStreamItem::FLAG_SPEED) length += 8;
  if (f & PositionStreamItem::FLAG_COURSE) length += 8;
  return length;
}

bool PlainPositionStreamEncoder::write(const PositionStreamItem& item) {
  const unsigned int f = item.flags;
  WriteStream& s = m_stream;
  s.write_uint32(get_item_length(item));
  s.write_uint16(item.flags);
  s.write_timestamp(item.time);
  if (f & PositionStreamItem::FLAG_BYTE_VALUE) s.write_uint8(item.byte_value);
  if (f & PositionStreamItem::FLAG_COORDINATES) {
    s.write_double(item.latitude);
    s.write_double(item.longitude);
  }
  if (f & PositionStreamItem::FLAG_ALTITUDE) s.write_double(item.altitude);
  if (f & PositionStreamItem::FLAG_HORIZONTAL_ACCURACY) s.write_float(item.horizontal_accuracy);
  if (f & PositionStreamItem::FLAG_VERTICAL_ACCURACY) s.write_float(item.vertical_accuracy);
  if (f & PositionStreamItem::FLAG_ADDITIONAL_VALUE) s.write_float(item.additional_value);
  if (f & PositionStreamItem::FLAG_SPEED) s.write_double(item.speed);
  if (f & PositionStreamItem::FLAG_COURSE) s.write_double(item.course);
  return s.is_ok();
}

bool PlainPositionStreamEncoder::finalize() { return true; }

}  // namespace internal
}  // namespace keldra
}  // namespace orva
