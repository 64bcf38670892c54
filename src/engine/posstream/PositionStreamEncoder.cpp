#include "posstream/PositionStreamEncoder.h"

#include "posstream/BinaryPositionStreamEncoder.h"
#include "posstream/PlainPositionStreamEncoder.h"

namespace orva {
namespace keldra {
namespace internal {

PositionStreamEncoder::PositionStreamEncoder(PositionStreamEncoding encoding, WriteStream& stream)
    : m_impl(nullptr), m_encoding(encoding) {
  reset(stream);
}

PositionStreamEncoder::~PositionStreamEncoder() { delete m_impl; }

void PositionStreamEncoder::reset(WriteStream& stream) {
  PositionStreamEncoderImplBase* impl = nullptr;
  switch (m_encoding) {
    case POSITION_STREAM_ENCODING_PLAIN:
      impl = new PlainPositionStreamEncoder(stream);
      break;
    case POSITION_STREAM_ENCODING_BINARY:
      impl = new BinaryPositionStreamEncoder(stream);
      break;
    default:
      return;
  }
  delete m_impl;
  m_impl = impl;
}

bool PositionStreamEncoder::write(const PositionStreamItem& item) {
  return m_impl && m_impl->write(item);
}

bool PositionStreamEncoder::finalize() { return m_impl && m_impl->finalize(); }

}  // namespace internal
}  // namespace keldra
}  // namespace orva
