#include <keldra/ReadStream.h>

#include <cstdint>
#include <cstring>

namespace orva {
namespace keldra {

namespace {

template <unsigned N>
uint64_t from_le(const unsigned char* b) {
  uint64_t v = 0;
  for (unsigned i = 0; i < N; ++i) v |= static_cast<uint64_t>(b[i]) << (8 * i);
  return v;
}

}  // namespace

bool ReadStream::read_uint8(unsigned char& v) { return read(&v, 1); }

bool ReadStream::read_uint16(unsigned short& v) {
  unsigned char b[2];
  if (!read(b, 2)) return false;
  v = static_cast<unsigned short>(from_le<2>(b));
  return true;
}

bool ReadStream::read_int32(int& v) {
  unsigned int u;
  if (!read_uint32(u)) return false;
  v = static_cast<int>(u);
  return true;
}

bool ReadStream::read_uint32(unsigned int& v) {
  unsigned char b[4];
  if (!read(b, 4)) return false;
  v = static_cast<unsigned int>(from_le<4>(b));
  return true;
}

bool ReadStream::read_float(float& v) {
  unsigned int bits;
  if (!read_uint32(bits)) return false;
  memcpy(&v, &bits, 4);
  return true;
}

bool ReadStream::read_uint64(unsigned long long& v) {
  unsigned char b[8];
  if (!read(b, 8)) return false;
  v = from_le<8>(b);
  return true;
}

bool ReadStream::read_double(double& v) {
  unsigned long long bits;
  if (!read_uint64(bits)) return false;
  memcpy(&v, &bits, 8);
  return true;
}

bool ReadStream::read_timestamp(long long& v) {
  unsigned long long u;
  if (!read_uint64(u)) return false;
  v = static_cast<long long>(u);
  return true;
}

bool ReadStream::read_count(unsigned int& len) {
  len = 0;
  if (!read_uint32(len) || len == 0) return false;
  // The count comes from the data: never trust it beyond what the stream holds.
  const unsigned int left = bytes_left();
  if (!is_ok() || len > left) {
    set_failed();
    return false;
  }
  return true;
}

unsigned char* ReadStream::read_buffer(unsigned int& len) {
  if (!read_count(len)) return nullptr;
  unsigned char* block = new unsigned char[len];
  if (!read(block, len)) {
    delete[] block;
    return nullptr;
  }
  return block;
}

unsigned short* ReadStream::read_ustring(unsigned int& count) {
  unsigned int len;
  if (!read_count(len)) return nullptr;
  unsigned int units = len / 2;
  // One unit more: it takes the last byte of an odd count (read but not counted),
  // then a terminating zero, so that a text can keep the block as it is.
  unsigned short* block = new unsigned short[units + 1];
  unsigned char* bytes = reinterpret_cast<unsigned char*>(block);
  if (!read(bytes, len)) {
    delete[] block;
    return nullptr;
  }
  for (unsigned int i = 0; i < units; ++i) {
    block[i] = static_cast<unsigned short>(bytes[2 * i] | bytes[2 * i + 1] << 8);
  }
  block[units] = 0;
  count = units;
  return block;
}

bool ReadStream::read_string(std::string& s) {
  s.clear();
  unsigned int len;
  if (!read_count(len)) return false;
  // Straight into the string: the count has been checked against the bytes left.
  s.resize(len);
  if (!read(reinterpret_cast<unsigned char*>(&s[0]), len)) {
    s.clear();
    return false;
  }
  return true;
}

unsigned int ReadStream::bytes_left() {
  const unsigned int position = tell();
  const unsigned int total = size();
  return total > position ? total - position : 0;
}

unsigned int ReadStream::size() {
  unsigned int position = tell();
  unsigned int total = seek(0, SEEK_FROM_END) ? tell() : 0;
  seek(position, SEEK_FROM_BEGIN);
  return total;
}

}  // namespace keldra
}  // namespace orva
