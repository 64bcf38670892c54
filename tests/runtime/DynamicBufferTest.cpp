#include <keldra/DynamicBuffer.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "support/TestEnv.h"

namespace {

using orva::keldra::DynamicBuffer;

std::vector<unsigned char> bytes(const std::string& s) {
  return std::vector<unsigned char>(s.begin(), s.end());
}

std::string content(const DynamicBuffer& b) {
  return b.get_data()
             ? std::string(reinterpret_cast<const char*>(b.get_data()), b.get_data_length())
             : std::string();
}

TEST(DynamicBuffer, NewBufferHasNoStorageAndEmptyWritesKeepIt) {
  DynamicBuffer b;
  const unsigned char data[] = {1, 2, 3};
  EXPECT_TRUE(b.write(nullptr, 5));
  EXPECT_TRUE(b.write(data, 0));
  EXPECT_EQ(nullptr, b.get_data());
  EXPECT_EQ(0u, b.get_data_length());
  EXPECT_EQ(0u, b.get_capacity());
  // Room for nothing more fits without storage, whatever the increment.
  DynamicBuffer with_increment(100);
  EXPECT_TRUE(with_increment.extend(0));
  EXPECT_EQ(nullptr, with_increment.get_data());
  EXPECT_EQ(0u, with_increment.get_capacity());
}

TEST(DynamicBuffer, AppendsGrowByAtLeastTheIncrement) {
  struct Case {
    unsigned int increment;
    std::vector<unsigned int> appends;
    unsigned int capacity;
  } cases[] = {
      {100, {1}, 100},
      {100, {150}, 150},
      {0, {1, 1, 1}, 3},
      {10, {4, 4, 4}, 18},  // third append: 8 + max(4, 10)
      {10, {4, 4}, 10},
  };
  for (const Case& c : cases) {
    DynamicBuffer b(c.increment);
    std::string expected;
    for (unsigned int n : c.appends) {
      std::string chunk(n, static_cast<char>('a' + expected.size() % 26));
      ASSERT_TRUE(b.write(reinterpret_cast<const unsigned char*>(chunk.data()), n));
      expected += chunk;
    }
    EXPECT_EQ(c.capacity, b.get_capacity()) << "increment " << c.increment;
    EXPECT_EQ(expected, content(b));
  }
}

TEST(DynamicBuffer, ReserveNeverShrinksAndResizeKeepsBytes) {
  DynamicBuffer b;
  ASSERT_TRUE(b.write(reinterpret_cast<const unsigned char*>("abcdef"), 6));
  EXPECT_TRUE(b.reserve(2));
  EXPECT_EQ(6u, b.get_capacity());
  EXPECT_TRUE(b.reserve(20));
  EXPECT_EQ(20u, b.get_capacity());
  EXPECT_EQ("abcdef", content(b));
  EXPECT_TRUE(b.resize(3));
  EXPECT_EQ("abc", content(b));
  EXPECT_EQ(20u, b.get_capacity());
  EXPECT_TRUE(b.resize(30));
  EXPECT_EQ(30u, b.get_data_length());
  EXPECT_EQ(0, memcmp(b.get_data(), "abc", 3));
}

TEST(DynamicBuffer, GrowthBeyond32BitsFailsAndKeepsContent) {
  DynamicBuffer b(16);
  ASSERT_TRUE(b.write(reinterpret_cast<const unsigned char*>("xy"), 2));
  const unsigned char one = 0;
  // length + n wraps around 32 bits: must be refused, not wrapped into a tiny block.
  EXPECT_FALSE(b.extend(UINT32_MAX));
  EXPECT_FALSE(b.write(&one, UINT32_MAX - 1));
  EXPECT_EQ("xy", content(b));
  EXPECT_EQ(16u, b.get_capacity());
}

// Appending bytes of the buffer itself must read them before growth moves them.
TEST(DynamicBuffer, AppendingItsOwnBytesSurvivesGrowth) {
  struct Case {
    unsigned int increment;
    unsigned int from, count;
    std::string expected;
  } cases[] = {
      {0, 0, 4, "abcdabcd"},    // grows: the old block is freed
      {0, 1, 2, "abcdbc"},
      {100, 2, 2, "abcdcd"},    // fits: no growth
  };
  for (const Case& c : cases) {
    DynamicBuffer b(c.increment);
    ASSERT_TRUE(b.write(reinterpret_cast<const unsigned char*>("abcd"), 4));
    EXPECT_TRUE(b.write(b.get_data() + c.from, c.count));
    EXPECT_EQ(c.expected, content(b)) << "from " << c.from << " increment " << c.increment;
  }
}

TEST(DynamicBuffer, AssignFromVectorAndCopyOut) {
  DynamicBuffer b;
  ASSERT_TRUE(b.reserve(10));
  b = bytes("abc");
  EXPECT_EQ("abc", content(b));
  EXPECT_EQ(10u, b.get_capacity());

  std::vector<unsigned char> out = bytes("<");
  b.copy(out);
  EXPECT_EQ(bytes("<abc"), out);

  DynamicBuffer empty;
  empty = std::vector<unsigned char>();
  EXPECT_EQ(0u, empty.get_data_length());
  std::vector<unsigned char> untouched = bytes("z");
  empty.copy(untouched);
  EXPECT_EQ(bytes("z"), untouched);
}

TEST(DynamicBuffer, CompareOrdersByLengthThenBytes) {
  struct Case {
    std::string mine, other;
    int sign;  // sign of mine.compare(other)
    int exact;  // exact value when lengths differ
  } cases[] = {
      {"abc", "abcde", 1, 2},
      {"abcde", "abc", -1, -2},
      {"abc", "abc", 0, 0},
      {"abc", "abd", 1, 0},   // memcmp(other, mine): 'd' > 'c'
      {"abd", "abc", -1, 0},
      {"", "", 0, 0},
  };
  for (const Case& c : cases) {
    DynamicBuffer a, b;
    a = bytes(c.mine);
    b = bytes(c.other);
    int r = a.compare(b);
    EXPECT_EQ(c.sign, (r > 0) - (r < 0)) << c.mine << " vs " << c.other;
    if (c.exact) {
      EXPECT_EQ(c.exact, r);
    }
    EXPECT_EQ(c.sign == 0, a == b);
  }
}

TEST(DynamicBuffer, AppendsWholeFile) {
  std::string path = keldra_test::home_dir() + "/buffer-file.bin";
  std::string data("file\0body", 9);
  ASSERT_TRUE(keldra_test::write_file(path, data));

  DynamicBuffer b;
  ASSERT_TRUE(b.write(reinterpret_cast<const unsigned char*>(">"), 1));
  FILE* f = fopen(path.c_str(), "rb");
  ASSERT_NE(nullptr, f);
  fseek(f, 3, SEEK_SET);  // the whole file is read whatever the position
  EXPECT_TRUE(b.write(f));
  fclose(f);
  EXPECT_EQ(">" + data, content(b));

  EXPECT_FALSE(b.write(static_cast<FILE*>(nullptr)));
  EXPECT_EQ(">" + data, content(b));
}

}  // namespace
