#include "runtime/BufferReadStream.h"

#include <keldra/Invariant.h>
#include <cstring>

namespace orva {
namespace keldra {

BufferReadStream::BufferReadStream() : m_data(nullptr), m_position(0), m_length(0), m_ok(false) {}

void BufferReadStream::attach(const unsigned char* data, unsigned int len) {
  m_data = data;
  m_position = 0;
  m_length = len;
  m_ok = data != nullptr && len != 0;
}

void BufferReadStream::attach(const SharedPointer<DynamicBuffer>& buffer) {
  // Broken invariant: stop, also in builds without assertions.
  if (!buffer.get())
    ::orva::keldra::internal::invariant_failed("data.get()", "src/engine/Stream", 179,
                                               __PRETTY_FUNCTION__);
  attach(buffer->get_data(), buffer->get_data_length());
}

bool BufferReadStream::has_data(unsigned int n) const {
  // Written without position + n, which could wrap.
  return m_data && m_ok && m_position <= m_length && n <= m_length - m_position;
}

bool BufferReadStream::read(unsigned char* dst, unsigned int n) {
  if (!has_data(n)) {
    m_ok = false;
    return false;
  }
  if (n) memcpy(dst, m_data + m_position, n);
  return skip(n);
}

bool BufferReadStream::skip(unsigned int n) {
  if (!has_data(n)) return false;
  m_position += n;
  return true;
}

bool BufferReadStream::seek(unsigned int offset, SeekAnchor anchor) {
  switch (anchor) {
    case SEEK_FROM_CURRENT:
      return skip(offset);
    case SEEK_FROM_BEGIN:
      m_position = 0;
      return skip(offset);
    case SEEK_FROM_END:
      m_position = 0;
      return offset <= m_length && skip(m_length - offset);
  }
  ::orva::keldra::internal::invariant_failed("0", "src/engine/Stream", 269,
                                             __PRETTY_FUNCTION__);  // unknown anchor
}

}  // namespace keldra
}  // namespace orva
