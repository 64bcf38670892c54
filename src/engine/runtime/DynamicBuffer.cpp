#include <keldra/DynamicBuffer.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace orva {
namespace keldra {

DynamicBuffer::DynamicBuffer() : m_data(nullptr), m_end(nullptr), m_capacity(0), m_increment(0) {}

DynamicBuffer::DynamicBuffer(unsigned int increment)
    : m_data(nullptr), m_end(nullptr), m_capacity(0), m_increment(increment) {}

DynamicBuffer::~DynamicBuffer() { free(m_data); }

bool DynamicBuffer::reserve(unsigned int n) {
  if (m_data && m_capacity >= n) return true;
  if (n == 0) return true;  // nothing to allocate; a zero-sized block would be useless
  unsigned int length = get_data_length();
  void* block = realloc(m_data, n);
  if (!block) return false;
  m_data = static_cast<unsigned char*>(block);
  m_end = m_data + length;
  m_capacity = n;
  return true;
}

bool DynamicBuffer::resize(unsigned int n) {
  if (m_capacity < n && !reserve(n)) return false;
  if (m_data) m_end = m_data + n;
  return true;
}

bool DynamicBuffer::extend(unsigned int n) {
  uint64_t length = get_data_length();
  if (length + n <= m_capacity) return true;  // also room for nothing in no storage
  uint64_t wanted = length + (n > m_increment ? n : m_increment);
  if (wanted > UINT32_MAX) return false;
  return reserve(static_cast<unsigned int>(wanted));
}

bool DynamicBuffer::write(const unsigned char* data, unsigned int n) {
  if (!data || n == 0) return true;
  // Bytes of this very buffer (appending part of itself) move when it grows.
  const uintptr_t at = reinterpret_cast<uintptr_t>(data);
  const bool own = m_data && at >= reinterpret_cast<uintptr_t>(m_data) &&
                   at < reinterpret_cast<uintptr_t>(m_end);
  const size_t offset = own ? static_cast<size_t>(data - m_data) : 0;
  if (!extend(n)) return false;
  if (own) data = m_data + offset;
  memmove(m_end, data, n);
  m_end += n;
  return true;
}

bool DynamicBuffer::write(FILE* file) {
  if (!file) return false;
  if (fseek(file, 0, SEEK_END) != 0) return false;
  long size = ftell(file);
  if (size < 0 || static_cast<unsigned long>(size) > UINT32_MAX) return false;
  rewind(file);
  unsigned int n = static_cast<unsigned int>(size);
  if (n == 0) return true;
  if (!extend(n)) return false;
  if (fread(m_end, 1, n, file) != n) return false;
  m_end += n;
  return true;
}

DynamicBuffer& DynamicBuffer::operator=(const std::vector<unsigned char>& v) {
  if (v.size() > UINT32_MAX) return *this;
  unsigned int n = static_cast<unsigned int>(v.size());
  if (!reserve(n)) return *this;
  if (n) memcpy(m_data, v.data(), n);
  if (m_data) m_end = m_data + n;
  return *this;
}

void DynamicBuffer::copy(std::vector<unsigned char>& v) const {
  if (!m_data) return;
  v.reserve(v.size() + get_data_length());
  v.insert(v.end(), m_data, m_end);
}

int DynamicBuffer::compare(const unsigned char* data, unsigned int n) const {
  unsigned int length = get_data_length();
  if (n != length) return static_cast<int>(n - length);
  if (n == 0) return 0;
  return memcmp(data, m_data, n);
}

int DynamicBuffer::compare(const DynamicBuffer& other) const {
  return compare(other.m_data, other.get_data_length());
}

}  // namespace keldra
}  // namespace orva
