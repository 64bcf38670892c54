// Reads the plain records that PlainPositionStreamEncoder writes.
//
// A record whose length field is shorter than the values its flags announce, or
// that reaches past the end of the stream, is not a good record: read() gives false
// and leaves the stream at the record's start, so the bytes after it are never taken
// as values.
#pragma once

#include "posstream/PositionStreamDecoderImplBase.h"

namespace orva {
namespace keldra {
namespace internal {

class PlainPositionStreamDecoder : public PositionStreamDecoderImplBase {
 public:
  explicit PlainPositionStreamDecoder(ReadStream& stream);

  // Reads one record into |item| (reset first) and moves to the next record; bytes
  // beyond the known values are skipped. False when the stream is not ok, the
  // record is cut short or its length does not fit its flags.
  bool read(PositionStreamItem& item) override;
  unsigned int get_count() const override { return m_count; }
  bool check_stream() override;

 private:
  unsigned int m_count;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
