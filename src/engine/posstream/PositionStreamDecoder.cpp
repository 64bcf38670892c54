#include "posstream/PositionStreamDecoder.h"

#include "posstream/BinaryPositionStreamDecoder.h"
#include "posstream/PlainPositionStreamDecoder.h"
#include "posstream/PositionStreamItem.h"

namespace orva {
namespace keldra {
namespace internal {

PositionStreamDecoder::PositionStreamDecoder(PositionStreamEncoding encoding, ReadStream& stream)
    : m_impl(nullptr) {
  switch (encoding) {
    case POSITION_STREAM_ENCODING_PLAIN:
      m_impl = new PlainPositionStreamDecoder(stream);
      break;
    case POSITION_STREAM_ENCODING_BINARY:
      m_impl = new BinaryPositionStreamDecoder(stream);
      break;
    default:
      break;
  }
}

PositionStreamDecoder::~PositionStreamDecoder() { delete m_impl; }

bool PositionStreamDecoder::read(PositionStreamItem& item) {
  if (!m_impl) {
    item.reset();
    return false;
  }
  return m_impl->read(item);
}

bool PositionStreamDecoder::check_stream() { return m_impl && m_impl->check_stream(); }

unsigned int PositionStreamDecoder::get_count() const { return m_impl ? m_impl->get_count() : 0; }

}  // namespace internal
}  // namespace keldra
}  // namespace orva
