#include "posstream/PositionStreamDecoderImplBase.h"

#include "posstream/PositionStreamItem.h"

#include <keldra/ReadStream.h>

namespace orva {
namespace keldra {
namespace internal {

bool PositionStreamDecoderImplBase::count_items(PositionStreamDecoderImplBase& counter,
                                                ReadStream& bounded, unsigned int& count) {
  count = 0;
  if (!m_stream.is_ok()) return false;
  const unsigned int position = m_stream.tell();
  const unsigned int size = bounded.size();
  if (!bounded.seek(0, ReadStream::SEEK_FROM_BEGIN)) return false;

  // A broken tail fails only the bounded stream, so the seek back still works.
  bool complete = true;
  PositionStreamItem item;
  while (bounded.tell() < size) {
    if (!counter.read(item)) {
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
