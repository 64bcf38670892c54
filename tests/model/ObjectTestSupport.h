// Helpers of the object-tree tests: a fixture that gives the test thread its string
// pool, and record bytes written and read as hexadecimal text.
#pragma once

#include <keldra/Serializable.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace objects_test {

class PoolTest : public ::testing::Test {
 protected:
  PoolTest() : m_pool(orva::keldra::StringPool::create()) {}

 private:
  orva::SharedPointer<orva::keldra::StringPool> m_pool;
};

// The record of |item| as upper-case hexadecimal, two digits a byte, no blanks.
std::string record_hex(const orva::keldra::Serializable& item);

// Bytes from hexadecimal text; blanks are ignored.
std::vector<unsigned char> from_hex(const std::string& hex);

// Reads |item| from |bytes| and returns read()'s result.
bool read_record(orva::keldra::Serializable& item, const std::vector<unsigned char>& bytes);
inline bool read_record(orva::keldra::Serializable& item, const std::string& hex) {
  return read_record(item, from_hex(hex));
}

// A name of |bytes| ASCII letters.
std::string ascii_name(size_t bytes);

}  // namespace objects_test
