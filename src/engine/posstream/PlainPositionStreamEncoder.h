// Writes position stream items as plain records, one per item, little-endian:
//   length  u32  bytes of the record after this field
//   flags   u16
//   time    i64  milliseconds
//   then, each only when its flag is set: byte value (u8), latitude and longitude
//   (double), altitude (double), horizontal accuracy, vertical accuracy and the
//   additional value (float each, in this order), speed (double), course (double).
// Readers skip any bytes a record has beyond the values its known flags announce.
#pragma once

#include "posstream/PositionStreamEncoderImplBase.h"

namespace orva {
namespace keldra {
namespace internal {

class PlainPositionStreamEncoder : public PositionStreamEncoderImplBase {
 public:
  explicit PlainPositionStreamEncoder(WriteStream& stream);

  // Length of the record of |item| after its length field: 10 (flags and time) plus
  // the sizes of the values its flags announce.
  static unsigned int get_item_length(const PositionStreamItem& item);

  // Appends the record; returns the stream's is_ok() afterwards.
  bool write(const PositionStreamItem& item) override;
  // True; a plain stream has no trailer.
  bool finalize() override;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
