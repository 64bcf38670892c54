#include "ObjectTestSupport.h"

#include <keldra/DynamicBuffer.h>
#include <keldra/WriteStream.h>

#include "runtime/BufferReadStream.h"

#include <cctype>
#include <cstdio>

namespace objects_test {

std::string record_hex(const orva::keldra::Serializable& item) {
  orva::SharedPointer<orva::keldra::DynamicBuffer> buffer(new orva::keldra::DynamicBuffer());
  orva::keldra::WriteStream stream(buffer);
  EXPECT_TRUE(item.write(stream));
  std::string hex;
  char digits[3];
  for (unsigned int i = 0; i < buffer->get_data_length(); ++i) {
    std::snprintf(digits, sizeof digits, "%02X", buffer->get_data()[i]);
    hex += digits;
  }
  return hex;
}

std::vector<unsigned char> from_hex(const std::string& hex) {
  std::vector<unsigned char> bytes;
  std::string digits;
  for (char c : hex) {
    if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
  }
  for (size_t i = 0; i + 1 < digits.size(); i += 2) {
    bytes.push_back(static_cast<unsigned char>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

bool read_record(orva::keldra::Serializable& item, const std::vector<unsigned char>& bytes) {
  orva::keldra::BufferReadStream stream;
  stream.attach(bytes.data(), static_cast<unsigned int>(bytes.size()));
  return item.read(stream);
}

std::string ascii_name(size_t bytes) {
  std::string name;
  for (size_t i = 0; i < bytes; ++i) name += static_cast<char>('a' + i % 26);
  return name;
}

}  // namespace objects_test
