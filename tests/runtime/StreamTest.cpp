#include <keldra/DynamicBuffer.h>
#include <keldra/ReadStream.h>
#include <keldra/WriteStream.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "runtime/BufferReadStream.h"
#include "runtime/FileReadStream.h"
#include "support/TestEnv.h"

// Array allocations of the process are recorded, so that a test can show that a
// count read from the data never turns into a huge block.
namespace {
size_t g_largest_array = 0;
}  // namespace

void* operator new[](std::size_t n) {
  if (n > g_largest_array) g_largest_array = n;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

using orva::SharedPointer;
using orva::keldra::BufferReadStream;
using orva::keldra::DynamicBuffer;
using orva::keldra::FileReadStream;
using orva::keldra::ReadStream;
using orva::keldra::WriteStream;

// The operations the streams need of a UTF-16 text type.
struct Units {
  std::vector<unsigned short> v;
  void clear() { v.clear(); }
  void assign(const unsigned short* p, unsigned int n) { v.assign(p, p + n); }
  const unsigned short* c_str() const { return v.data(); }
  unsigned int length() const { return static_cast<unsigned int>(v.size()); }
};

std::string hex(const SharedPointer<DynamicBuffer>& b) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  if (!b.is_valid()) return out;
  for (unsigned int i = 0; i < b->get_data_length(); ++i) {
    if (i) out += ' ';
    out += digits[b->get_data()[i] >> 4];
    out += digits[b->get_data()[i] & 15];
  }
  return out;
}

const unsigned char* u8(const char* s) { return reinterpret_cast<const unsigned char*>(s); }

TEST(WriteStream, LittleEndianLayouts) {
  struct Case {
    const char* name;
    bool (*write)(WriteStream&);
    const char* bytes;
  } cases[] = {
      {"uint8", [](WriteStream& w) { return w.write_uint8(0xAB); }, "ab"},
      {"uint16", [](WriteStream& w) { return w.write_uint16(0x0102); }, "02 01"},
      {"uint32", [](WriteStream& w) { return w.write_uint32(0x01020304); }, "04 03 02 01"},
      {"int32", [](WriteStream& w) { return w.write_int32(-2); }, "fe ff ff ff"},
      {"uint64", [](WriteStream& w) { return w.write_uint64(0x0102030405060708ULL); },
       "08 07 06 05 04 03 02 01"},
      {"timestamp", [](WriteStream& w) { return w.write_timestamp(-1); },
       "ff ff ff ff ff ff ff ff"},
      {"float", [](WriteStream& w) { return w.write_float(1.0f); }, "00 00 80 3f"},
      {"double", [](WriteStream& w) { return w.write_double(-2.0); }, "00 00 00 00 00 00 00 c0"},
      {"string", [](WriteStream& w) { return w.write_string("hi"); }, "02 00 00 00 68 69"},
      {"empty string", [](WriteStream& w) { return w.write_string(""); }, "00 00 00 00"},
      {"buffer", [](WriteStream& w) { return w.write_buffer(u8("\x01\x02\x03"), 3); },
       "03 00 00 00 01 02 03"},
      {"block", [](WriteStream& w) { return w.write_block(u8("\x01\x02"), 2); }, "01 02"},
      {"ustring",
       [](WriteStream& w) {
         Units u;
         u.v = {0x0041, 0x20AC, 0xD83D};
         return w.write_ustring(u);
       },
       "06 00 00 00 41 00 ac 20 3d d8"},
  };
  for (const Case& c : cases) {
    WriteStream w;  // makes its buffer on the first write
    EXPECT_FALSE(w.get_data().is_valid());
    EXPECT_TRUE(c.write(w)) << c.name;
    EXPECT_TRUE(w.is_ok()) << c.name;
    EXPECT_EQ(c.bytes, hex(w.get_data())) << c.name;
  }
}

TEST(Streams, EveryValueReadsBackAsWritten) {
  SharedPointer<DynamicBuffer> buffer(new DynamicBuffer(64));
  WriteStream w(buffer);
  Units text;
  text.v = {'k', 0x00E9, 0xFFFF};
  w.write_uint8(200);
  w.write_uint16(65000);
  w.write_int32(-123456789);
  w.write_uint32(4000000000u);
  w.write_uint64(0xFEDCBA9876543210ULL);
  w.write_float(-0.375f);
  w.write_double(6.02214076e23);
  w.write_timestamp(-14182939500LL);
  w.write_string(std::string("a\0b", 3));
  w.write_ustring(text);
  w.write_buffer(u8("xyz"), 3);
  ASSERT_TRUE(w.is_ok());
  EXPECT_TRUE(w.get_data() == buffer);

  BufferReadStream r;
  r.attach(buffer);
  unsigned char u8v = 0;
  unsigned short u16 = 0;
  int i32 = 0;
  unsigned int u32 = 0;
  unsigned long long u64 = 0;
  float f = 0;
  double d = 0;
  long long ts = 0;
  std::string s;
  Units back;
  EXPECT_TRUE(r.read_uint8(u8v));
  EXPECT_TRUE(r.read_uint16(u16));
  EXPECT_TRUE(r.read_int32(i32));
  EXPECT_TRUE(r.read_uint32(u32));
  EXPECT_TRUE(r.read_uint64(u64));
  EXPECT_TRUE(r.read_float(f));
  EXPECT_TRUE(r.read_double(d));
  EXPECT_TRUE(r.read_timestamp(ts));
  EXPECT_TRUE(r.read_string(s));
  EXPECT_TRUE(r.read_ustring(back));
  unsigned int len = 0;
  unsigned char* block = r.read_buffer(len);
  ASSERT_NE(nullptr, block);
  EXPECT_EQ("xyz", std::string(reinterpret_cast<char*>(block), len));
  delete[] block;

  EXPECT_EQ(200, u8v);
  EXPECT_EQ(65000, u16);
  EXPECT_EQ(-123456789, i32);
  EXPECT_EQ(4000000000u, u32);
  EXPECT_EQ(0xFEDCBA9876543210ULL, u64);
  EXPECT_EQ(-0.375f, f);
  EXPECT_EQ(6.02214076e23, d);
  EXPECT_EQ(-14182939500LL, ts);
  EXPECT_EQ(std::string("a\0b", 3), s);
  EXPECT_EQ(text.v, back.v);
  EXPECT_TRUE(r.is_ok());
  EXPECT_EQ(buffer->get_data_length(), r.tell());
}

TEST(Streams, EmptyStringReadsAsFalseButKeepsTheStreamOk) {
  WriteStream w;
  w.write_string("");
  BufferReadStream r;
  r.attach(w.get_data());
  std::string s = "stale";
  EXPECT_FALSE(r.read_string(s));
  EXPECT_EQ("", s);
  EXPECT_TRUE(r.is_ok());
  EXPECT_EQ(4u, r.tell());
}

TEST(BufferReadStream, RunningOutFailsTheStreamUntilAttach) {
  const unsigned char data[] = {1, 2, 3, 4};
  BufferReadStream r;
  EXPECT_FALSE(r.is_ok());  // nothing attached
  unsigned char b;
  EXPECT_FALSE(r.read_uint8(b));

  r.attach(data, 4);
  unsigned int v = 0;
  EXPECT_TRUE(r.read_uint32(v));
  EXPECT_EQ(0x04030201u, v);
  EXPECT_EQ(4u, r.tell());
  EXPECT_FALSE(r.is_eof());
  EXPECT_FALSE(r.skip(1));
  EXPECT_TRUE(r.is_ok());  // a refused skip does not fail the stream
  EXPECT_FALSE(r.read_uint8(b));
  EXPECT_FALSE(r.is_ok());
  EXPECT_FALSE(r.is_eof());
  r.seek(0, ReadStream::SEEK_FROM_BEGIN);
  EXPECT_FALSE(r.read_uint8(b));  // stays failed

  r.attach(data, 4);
  EXPECT_TRUE(r.is_ok());
  EXPECT_TRUE(r.read_uint8(b));
  EXPECT_EQ(1, b);

  r.attach(data, 0);
  EXPECT_FALSE(r.is_ok());
  r.attach(nullptr, 4);
  EXPECT_FALSE(r.is_ok());
}

TEST(BufferReadStream, SeekFromEachAnchor) {
  const unsigned char data[] = {1, 2, 3, 4};
  struct Case {
    unsigned int offset;
    ReadStream::SeekAnchor anchor;
    bool ok;
    unsigned int position;  // starting from position 1
  } cases[] = {
      {1, ReadStream::SEEK_FROM_END, true, 3},
      {0, ReadStream::SEEK_FROM_END, true, 4},
      {4, ReadStream::SEEK_FROM_END, true, 0},
      {5, ReadStream::SEEK_FROM_END, false, 0},
      {3, ReadStream::SEEK_FROM_BEGIN, true, 3},
      {5, ReadStream::SEEK_FROM_BEGIN, false, 0},
      {2, ReadStream::SEEK_FROM_CURRENT, true, 3},
      {4, ReadStream::SEEK_FROM_CURRENT, false, 1},
      {UINT32_MAX, ReadStream::SEEK_FROM_CURRENT, false, 1},  // position + n wraps
      {UINT32_MAX, ReadStream::SEEK_FROM_BEGIN, false, 0},
  };
  for (const Case& c : cases) {
    BufferReadStream r;
    r.attach(data, 4);
    ASSERT_TRUE(r.skip(1));
    EXPECT_EQ(c.ok, r.seek(c.offset, c.anchor)) << c.offset << "/" << c.anchor;
    EXPECT_EQ(c.position, r.tell()) << c.offset << "/" << c.anchor;
    EXPECT_TRUE(r.is_ok());
  }
}

TEST(BufferReadStream, SizeKeepsThePosition) {
  const unsigned char data[] = {1, 2, 3, 4, 5};
  BufferReadStream r;
  r.attach(data, 5);
  r.skip(2);
  EXPECT_EQ(5u, r.size());
  EXPECT_EQ(2u, r.tell());
  EXPECT_FALSE(r.has_data(UINT32_MAX));
  EXPECT_TRUE(r.has_data(3));
  EXPECT_FALSE(r.has_data(4));
}

// Counts come from the data and must never be trusted beyond what is left.
TEST(ReadStream, CountsLargerThanTheRestFailTheRead) {
  struct Case {
    const char* name;
    std::vector<unsigned char> data;
  } cases[] = {
      {"huge count", {0xff, 0xff, 0xff, 0xff, 'a', 'b'}},
      {"one too many", {3, 0, 0, 0, 'a', 'b'}},
      {"count without bytes", {1, 0, 0, 0}},
      {"truncated count", {1, 0}},
  };
  for (const Case& c : cases) {
    for (int kind = 0; kind < 3; ++kind) {
      g_largest_array = 0;
      BufferReadStream r;
      r.attach(c.data.data(), static_cast<unsigned int>(c.data.size()));
      bool read;
      if (kind == 0) {
        unsigned int len = 0;
        unsigned char* block = r.read_buffer(len);
        read = block != nullptr;
        delete[] block;
      } else if (kind == 1) {
        std::string s;
        read = r.read_string(s);
        EXPECT_EQ("", s);
      } else {
        Units u;
        read = r.read_ustring(u);
        EXPECT_EQ(0u, u.length());
      }
      EXPECT_FALSE(read) << c.name << " kind " << kind;
      EXPECT_FALSE(r.is_ok()) << c.name << " kind " << kind;
      EXPECT_LT(g_largest_array, 1024u) << c.name << " kind " << kind;
    }
  }
}

TEST(ReadStream, ExactCountAtTheEndIsRead) {
  const unsigned char data[] = {2, 0, 0, 0, 'o', 'k'};
  BufferReadStream r;
  r.attach(data, sizeof data);
  std::string s;
  EXPECT_TRUE(r.read_string(s));
  EXPECT_EQ("ok", s);
  EXPECT_TRUE(r.is_ok());
}

TEST(WriteStream, FailedBlockClearsOkAndStopsLaterWrites) {
  SharedPointer<DynamicBuffer> buffer(new DynamicBuffer());
  WriteStream w(buffer);
  const unsigned char some[4] = {0};
  ASSERT_TRUE(w.write_uint8(7));
  // The count fits, the bytes cannot be stored (the size passes 32 bits).
  EXPECT_FALSE(w.write_buffer(some, UINT32_MAX - 2));
  EXPECT_FALSE(w.is_ok());
  unsigned int length = buffer->get_data_length();
  EXPECT_FALSE(w.write_uint32(1));
  EXPECT_EQ(length, buffer->get_data_length());

  w.attach(buffer);
  EXPECT_TRUE(w.is_ok());
  EXPECT_TRUE(w.write_uint8(8));
}

TEST(WriteStream, MissingBytesForACountAreRefused) {
  WriteStream w;
  EXPECT_FALSE(w.write_buffer(nullptr, 3));
  EXPECT_FALSE(w.is_ok());
  EXPECT_EQ("", hex(w.get_data()));

  WriteStream u;
  EXPECT_FALSE(u.write_ustring(static_cast<const unsigned short*>(nullptr), 2));
  EXPECT_FALSE(u.is_ok());
  EXPECT_EQ("", hex(u.get_data()));

  WriteStream empty;
  EXPECT_TRUE(empty.write_buffer(nullptr, 0));
  EXPECT_EQ("00 00 00 00", hex(empty.get_data()));
}

TEST(WriteStream, AttachSwitchesBuffers) {
  SharedPointer<DynamicBuffer> first(new DynamicBuffer());
  SharedPointer<DynamicBuffer> second(new DynamicBuffer());
  WriteStream w(first);
  w.write_uint8(1);
  w.attach(second);
  w.write_uint8(2);
  w.attach(w.get_data());  // the stream's own holder
  w.write_uint8(3);
  EXPECT_EQ("01", hex(first));
  EXPECT_EQ("02 03", hex(second));
  EXPECT_EQ(2u, second->get_ref_count());
}

// Bytes taken from the stream's own buffer are read before the buffer grows (every
// append of a buffer with increment 0 reallocates it).
TEST(WriteStream, WritingItsOwnBytesSurvivesGrowth) {
  for (bool as_units : {false, true}) {
    SCOPED_TRACE(as_units);
    WriteStream w;
    ASSERT_TRUE(w.write_uint32(0x04030201));
    const unsigned char* own = w.get_data()->get_data();
    if (as_units) {
      EXPECT_TRUE(w.write_ustring(reinterpret_cast<const unsigned short*>(own), 2));
    } else {
      EXPECT_TRUE(w.write_buffer(own, 4));
    }
    EXPECT_EQ("01 02 03 04 04 00 00 00 01 02 03 04", hex(w.get_data()));
  }
}

class FileReadStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path = keldra_test::home_dir() + "/stream.bin";
    WriteStream w;
    w.write_uint32(0xCAFEBABE);
    w.write_string("file");
    w.write_uint16(0x1234);
    SharedPointer<DynamicBuffer> b = w.get_data();
    ASSERT_TRUE(keldra_test::write_file(
        path, std::string(reinterpret_cast<const char*>(b->get_data()), b->get_data_length())));
  }
  std::string path;
};

TEST_F(FileReadStreamTest, ReadsValuesAndReportsTheEnd) {
  FileReadStream r;
  r.attach(path.c_str());
  ASSERT_TRUE(r.is_ok());
  EXPECT_EQ(14u, r.size());
  EXPECT_EQ(0u, r.tell());
  unsigned int magic = 0;
  std::string s;
  unsigned short tail = 0;
  EXPECT_TRUE(r.read_uint32(magic));
  EXPECT_TRUE(r.read_string(s));
  EXPECT_TRUE(r.read_uint16(tail));
  EXPECT_EQ(0xCAFEBABEu, magic);
  EXPECT_EQ("file", s);
  EXPECT_EQ(0x1234, tail);
  EXPECT_FALSE(r.is_eof());
  unsigned char more;
  EXPECT_FALSE(r.read_uint8(more));
  EXPECT_FALSE(r.is_ok());
  EXPECT_TRUE(r.is_eof());
}

TEST_F(FileReadStreamTest, SeeksFromEachAnchor) {
  FileReadStream r;
  r.attach(path.c_str());
  EXPECT_TRUE(r.seek(8, ReadStream::SEEK_FROM_BEGIN));
  EXPECT_EQ(8u, r.tell());
  EXPECT_TRUE(r.skip(2));
  EXPECT_EQ(10u, r.tell());
  EXPECT_TRUE(r.seek(0, ReadStream::SEEK_FROM_END));
  EXPECT_EQ(14u, r.tell());
  EXPECT_TRUE(r.seek(12, ReadStream::SEEK_FROM_BEGIN));
  unsigned short tail = 0;
  EXPECT_TRUE(r.read_uint16(tail));
  EXPECT_EQ(0x1234, tail);
}

TEST_F(FileReadStreamTest, CountBeyondTheFileFailsWithoutAllocating) {
  keldra_test::write_file(path, std::string("\xf0\xff\xff\x7f" "abc", 7));
  FileReadStream r;
  r.attach(path.c_str());
  unsigned int len = 0;
  g_largest_array = 0;
  EXPECT_EQ(nullptr, r.read_buffer(len));
  EXPECT_LT(g_largest_array, 1024u);
  EXPECT_EQ(0x7FFFFFF0u, len);
  EXPECT_FALSE(r.is_ok());
}

TEST(FileReadStream, MissingFileOrNoFileFails) {
  FileReadStream none;
  EXPECT_TRUE(none.is_ok());  // good state before attach, but nothing can be read
  unsigned char b;
  EXPECT_FALSE(none.read_uint8(b));
  EXPECT_FALSE(none.is_ok());

  FileReadStream missing;
  missing.attach((keldra_test::home_dir() + "/no-such-file").c_str());
  EXPECT_FALSE(missing.is_ok());
  EXPECT_FALSE(missing.read_uint8(b));
}

TEST(StreamsDeathTest, BrokenInvariantsStopTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const unsigned char data[] = {1, 2};
  const std::string path = keldra_test::home_dir() + "/death_stream.bin";
  ASSERT_TRUE(keldra_test::write_file(path, "ab"));
  // Each broken invariant names its expression and place.
  EXPECT_DEATH(
      {
        BufferReadStream r;
        r.attach(data, 2);
        r.seek(0, static_cast<ReadStream::SeekAnchor>(3));
      },
      "src/engine/Stream:269: .*Assertion `0' failed");
  EXPECT_DEATH(
      {
        BufferReadStream r;
        r.attach(SharedPointer<DynamicBuffer>());
      },
      "src/engine/Stream:179: .*Assertion `data.get\\(\\)' failed");
  EXPECT_DEATH(
      {
        FileReadStream r;
        r.attach(path.c_str());
        r.seek(0, static_cast<ReadStream::SeekAnchor>(7));
      },
      "src/engine/Stream:344: .*Assertion `0' failed");
}

}  // namespace
