#include <keldra/WriteStream.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace orva {
namespace keldra {

namespace {

// Little-endian bytes of an unsigned value of N bytes.
template <unsigned N>
void to_le(uint64_t v, unsigned char* out) {
  for (unsigned i = 0; i < N; ++i) out[i] = static_cast<unsigned char>(v >> (8 * i));
}

}  // namespace

WriteStream::WriteStream() : m_ok(true) {}

WriteStream::WriteStream(const SharedPointer<DynamicBuffer>& buffer)
    : m_buffer(buffer), m_ok(true) {}

WriteStream::~WriteStream() {}

void WriteStream::attach(const SharedPointer<DynamicBuffer>& buffer) {
  if (&buffer != &m_buffer) m_buffer = buffer;
  m_ok = true;
}

void WriteStream::ensure_buffer() {
  if (!m_buffer.is_valid()) m_buffer.reset(new DynamicBuffer());
}

bool WriteStream::put(const unsigned char* bytes, unsigned int n) {
  ensure_buffer();
  if (m_ok) m_ok = m_buffer->write(bytes, n);
  return m_ok;
}

bool WriteStream::write_uint8(unsigned char v) { return put(&v, 1); }

bool WriteStream::write_uint16(unsigned short v) {
  unsigned char b[2];
  to_le<2>(v, b);
  return put(b, 2);
}

bool WriteStream::write_int32(int v) { return write_uint32(static_cast<unsigned int>(v)); }

bool WriteStream::write_uint32(unsigned int v) {
  unsigned char b[4];
  to_le<4>(v, b);
  return put(b, 4);
}

bool WriteStream::write_uint64(unsigned long long v) {
  unsigned char b[8];
  to_le<8>(v, b);
  return put(b, 8);
}

bool WriteStream::write_float(float v) {
  uint32_t bits;
  memcpy(&bits, &v, 4);
  return write_uint32(bits);
}

bool WriteStream::write_double(double v) {
  uint64_t bits;
  memcpy(&bits, &v, 8);
  return write_uint64(bits);
}

bool WriteStream::write_timestamp(long long v) {
  return write_uint64(static_cast<unsigned long long>(v));
}

bool WriteStream::write_block(const unsigned char* data, unsigned int n) {
  ensure_buffer();
  if (m_buffer->write(data, n)) return true;
  return fail();
}

bool WriteStream::in_buffer(const void* p) const {
  if (!p || !m_buffer.is_valid() || !m_buffer->get_data()) return false;
  const uintptr_t at = reinterpret_cast<uintptr_t>(p);
  const uintptr_t begin = reinterpret_cast<uintptr_t>(m_buffer->get_data());
  return at >= begin && at < begin + m_buffer->get_data_length();
}

bool WriteStream::fail() {
  m_ok = false;
  return false;
}

bool WriteStream::write_buffer(const unsigned char* data, unsigned int n) {
  if (!data && n) return fail();  // a count must never stand without its bytes
  if (in_buffer(data)) {
    // Writing the count may move the buffer's bytes: copy them first.
    const std::vector<unsigned char> copy(data, data + n);
    return write_buffer(copy.data(), n);
  }
  if (!write_uint32(n)) return false;
  return write_block(data, n);
}

bool WriteStream::write_ustring(const unsigned short* units, unsigned int count) {
  if ((!units && count) || count > UINT32_MAX / 2) return fail();
  if (in_buffer(units)) {
    // Units of the stream's own buffer move when it grows: copy them first.
    std::vector<unsigned short> copy(count);
    memcpy(copy.data(), units, 2 * static_cast<size_t>(count));
    return write_ustring(copy.data(), count);
  }
  if (!write_uint32(2 * count)) return false;
  if (count == 0) return true;
  DynamicBuffer& buffer = *m_buffer;
  unsigned int start = buffer.get_data_length();
  if (!buffer.extend(2 * count) || !buffer.resize(start + 2 * count)) return fail();
  unsigned char* out = buffer.get_data() + start;
  for (unsigned int i = 0; i < count; ++i) to_le<2>(units[i], out + 2 * i);
  return true;
}

bool WriteStream::write_string(const std::string& s) {
  if (s.size() > UINT32_MAX) return fail();
  return write_buffer(reinterpret_cast<const unsigned char*>(s.data()),
                      static_cast<unsigned int>(s.size()));
}

}  // namespace keldra
}  // namespace orva
