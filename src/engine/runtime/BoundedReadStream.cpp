#include "runtime/BoundedReadStream.h"

namespace orva {
namespace keldra {
namespace internal {

BoundedReadStream::BoundedReadStream(ReadStream& below)
    : m_below(below), m_end(below.is_ok() ? below.size() : 0), m_ok(below.is_ok()) {}

bool BoundedReadStream::fits(unsigned int n) const {
  const unsigned int position = m_below.tell();
  return position <= m_end && n <= m_end - position;
}

bool BoundedReadStream::read(unsigned char* dst, unsigned int n) {
  if (!is_ok() || !fits(n)) {
    m_ok = false;
    return false;
  }
  return m_below.read(dst, n);
}

bool BoundedReadStream::skip(unsigned int n) {
  return is_ok() && fits(n) && m_below.skip(n);
}

bool BoundedReadStream::seek(unsigned int offset, SeekAnchor anchor) {
  if (!is_ok()) return false;
  unsigned long long target = 0;
  switch (anchor) {
    case SEEK_FROM_BEGIN:
      target = offset;
      break;
    case SEEK_FROM_CURRENT:
      target = static_cast<unsigned long long>(m_below.tell()) + offset;
      break;
    case SEEK_FROM_END:
      if (offset > m_end) return false;
      target = m_end - offset;
      break;
    default:
      // Unknown anchors stop the process in the stream below, as they do anywhere.
      return m_below.seek(offset, anchor);
  }
  if (target > m_end) return false;
  return m_below.seek(static_cast<unsigned int>(target), SEEK_FROM_BEGIN);
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
