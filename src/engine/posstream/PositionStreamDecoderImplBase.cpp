#include "posstream/PositionStreamDecoderImplBase.h"

#include "posstream/PositionStreamItem.h"

#include <keldra/ReadStream.h>

namespace orva {
namespace keldra {
namespace internal {

bool PositionStreamDecoderImplBase::count_items(unsigned int& count) {
  count = 0;
  if (!m_stream.is_ok()) return false;
  const unsigned int position = m_stream.tell();
  const unsigned int size = m_stream.size();
  if (!m_stream.seek(0, ReadStream::SEEK_FROM_BEGIN)) return false;

  // Stop at the end instead of reading past it: a failed read would leave the
  // stream failed and the seek back impossible.
  bool complete = true;
  PositionStreamItem item;
  while (m_stream.tell() < size) {
    if (!read(item)) {
      complete = false;
      break;
    }
    ++count;
  }
  const bool back = m_stream.seek(position, ReadStream::SEEK_FROM_BEGIN);
  return complete && back;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
