// Helpers of the position stream tests: hex texts of byte sequences, a buffer that
// a WriteStream fills and a BufferReadStream reads, and item builders.
#pragma once

#include <keldra/DynamicBuffer.h>
#include <keldra/SharedPointer.h>
#include <keldra/WriteStream.h>

#include <cstdio>
#include <string>
#include <vector>

#include "runtime/BufferReadStream.h"
#include "posstream/PositionStreamItem.h"

namespace posstream_test {

typedef std::vector<unsigned char> Bytes;
using orva::keldra::internal::PositionStreamItem;

// "80 80 05" for {0x80, 0x80, 0x05}.
inline std::string hex(const unsigned char* data, unsigned int n) {
  std::string out;
  char part[4];
  for (unsigned int i = 0; i < n; ++i) {
    std::snprintf(part, sizeof part, i ? " %02X" : "%02X", data[i]);
    out += part;
  }
  return out;
}
inline std::string hex(const Bytes& bytes) {
  return hex(bytes.data(), static_cast<unsigned int>(bytes.size()));
}

// The bytes of a text like "80 80 05".
inline Bytes unhex(const std::string& text) {
  Bytes out;
  for (size_t i = 0; i < text.size();) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    out.push_back(static_cast<unsigned char>(std::stoul(text.substr(i, 2), nullptr, 16)));
    i += 2;
  }
  return out;
}

// A write stream over its own buffer, and the bytes written so far.
struct Sink {
  Sink() : buffer(new orva::keldra::DynamicBuffer()), stream(buffer) {}
  Bytes bytes() const {
    const unsigned char* p = buffer->get_data();
    return p ? Bytes(p, p + buffer->get_data_length()) : Bytes();
  }
  orva::SharedPointer<orva::keldra::DynamicBuffer> buffer;
  orva::keldra::WriteStream stream;
};

// A read stream over a copy of the bytes (kept alive by the source).
struct Source {
  explicit Source(const Bytes& b) : bytes(b) {
    stream.attach(bytes.data(), static_cast<unsigned int>(bytes.size()));
  }
  Bytes bytes;
  orva::keldra::BufferReadStream stream;
};

inline PositionStreamItem make_item(long long time, double latitude, double longitude) {
  PositionStreamItem item;
  item.time = time;
  item.latitude = latitude;
  item.longitude = longitude;
  item.flags = PositionStreamItem::FLAG_COORDINATES;
  return item;
}

}  // namespace posstream_test
