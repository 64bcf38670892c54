#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "posstream/BinaryPositionStreamFrame.h"
#include "PosStreamTestUtil.h"

namespace {

using orva::keldra::internal::BinaryPositionStreamFrame;
using namespace posstream_test;

struct MbiCase {
  long long value;
  const char* bytes;
};

const MbiCase kMbiCases[] = {
    {0, "00"},
    {5, "05"},
    {-5, "45"},
    {63, "3F"},
    {-63, "7F"},
    {64, "80 40"},
    {-100, "C0 64"},
    {128, "81 00"},
    {1000, "87 68"},
    {8192, "80 C0 00"},
    {134217728, "80 C0 80 80 00"},  // 80 80 inside a value, past its first byte
    {(1LL << 62) - 1, "BF FF FF FF FF FF FF FF 7F"},
    {-((1LL << 62) - 1), "FF FF FF FF FF FF FF FF 7F"},
};

TEST(Mbi, EncodesEachValueInTheFewestBytes) {
  for (const MbiCase& c : kMbiCases) {
    unsigned int len = 0;
    const unsigned char* bytes = BinaryPositionStreamFrame::encode_mbi(c.value, len);
    ASSERT_NE(nullptr, bytes) << c.value;
    EXPECT_EQ(c.bytes, hex(bytes, len)) << c.value;
  }
}

TEST(Mbi, DecodesEachSequenceToItsValue) {
  for (const MbiCase& c : kMbiCases) {
    const Bytes bytes = unhex(c.bytes);
    long long v = 12345;
    ASSERT_TRUE(BinaryPositionStreamFrame::decode_mbi(bytes.data(),
                                                      static_cast<unsigned int>(bytes.size()), v))
        << c.bytes;
    EXPECT_EQ(c.value, v) << c.bytes;
  }
}

TEST(Mbi, RejectsMalformedSequences) {
  const char* const kRejected[] = {
      "80 80 05",                       // no magnitude bits in the first two bytes: the marker
      "C0 80 05",                       // the same with the sign bit
      "80 00",                          // a zero in two bytes
      "81",                             // cut short
      "87 68 01",                       // a byte after the last one
      "05 87 68",                       // an end byte before the last one
      "81 80 80 80 80 80 80 80 80 00",  // ten bytes
  };
  for (const char* text : kRejected) {
    const Bytes bytes = unhex(text);
    long long v = 0;
    EXPECT_FALSE(BinaryPositionStreamFrame::decode_mbi(bytes.data(),
                                                       static_cast<unsigned int>(bytes.size()), v))
        << text;
  }
  long long v = 0;
  const unsigned char one = 5;
  EXPECT_FALSE(BinaryPositionStreamFrame::decode_mbi(nullptr, 1, v));
  EXPECT_FALSE(BinaryPositionStreamFrame::decode_mbi(&one, 0, v));
}

TEST(Mbi, RefusesValuesBeyondSixtyTwoBits) {
  // They would need ten bytes, which no reader accepts.
  for (long long v : {1LL << 62, -(1LL << 62), LLONG_MAX, LLONG_MIN}) {
    unsigned int len = 7;
    EXPECT_EQ(nullptr, BinaryPositionStreamFrame::encode_mbi(v, len)) << v;
    EXPECT_EQ(0u, len);
    Sink sink;
    EXPECT_FALSE(BinaryPositionStreamFrame::encode_and_write_mbi(v, sink.stream)) << v;
    EXPECT_TRUE(sink.bytes().empty());
  }
}

TEST(Mbi, StreamRoundTripReadsValueAfterValue) {
  Sink sink;
  for (const MbiCase& c : kMbiCases)
    ASSERT_TRUE(BinaryPositionStreamFrame::encode_and_write_mbi(c.value, sink.stream));
  Source source(sink.bytes());
  for (const MbiCase& c : kMbiCases) {
    long long v = 0;
    ASSERT_TRUE(BinaryPositionStreamFrame::read_and_decode_mbi(source.stream, v)) << c.bytes;
    EXPECT_EQ(c.value, v);
  }
  long long v = 0;
  EXPECT_FALSE(BinaryPositionStreamFrame::read_and_decode_mbi(source.stream, v));  // at the end
}

TEST(Mbi, ReadStopsAtTheEndByteAndFailsWithoutOne) {
  {
    Source source(unhex("87 68 05"));
    unsigned int len = 0;
    const unsigned char* bytes = BinaryPositionStreamFrame::read_mbi(source.stream, len);
    ASSERT_NE(nullptr, bytes);
    EXPECT_EQ("87 68", hex(bytes, len));
    EXPECT_EQ(2u, source.stream.tell());
  }
  {
    Source source(unhex("87 88"));  // the stream ends inside the value
    unsigned int len = 0;
    EXPECT_EQ(nullptr, BinaryPositionStreamFrame::read_mbi(source.stream, len));
  }
  {
    Source source(unhex("81 81 81 81 81 81 81 81 81 81 01"));  // no end byte among the first ten
    unsigned int len = 0;
    EXPECT_EQ(nullptr, BinaryPositionStreamFrame::read_mbi(source.stream, len));
  }
  {
    Source source(unhex("05"));
    source.stream.attach(nullptr, 0);  // not ok
    unsigned int len = 0;
    EXPECT_EQ(nullptr, BinaryPositionStreamFrame::read_mbi(source.stream, len));
  }
}

TEST(Mbi, RoundToIntRoundsHalfAwayFromZero) {
  struct Case {
    double x;
    int n;
    long long expected;
  };
  const Case kCases[] = {
      {34.56, 1, 346},         {52.4911234, 7, 524911234}, {13.4012345, 7, 134012345},
      {-52.4911234, 7, -524911234}, {2.5, 0, 3},          {-2.5, 0, -3},
      {2.49, 0, 2},            {1.5, 2, 150},            {0.0, 2, 0},
      {-0.04, 1, 0},           {359.6, 0, 360},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(c.expected, BinaryPositionStreamFrame::round_to_int(c.x, c.n)) << c.x << " " << c.n;
  }
  EXPECT_EQ(0, BinaryPositionStreamFrame::round_to_int(std::nan(""), 2));
  EXPECT_EQ(0, BinaryPositionStreamFrame::round_to_int(1e300, 2));
  EXPECT_DOUBLE_EQ(52.4911234, BinaryPositionStreamFrame::int_to_double(524911234, 7));
  EXPECT_DOUBLE_EQ(-34.6, BinaryPositionStreamFrame::int_to_double(-346, 1));
}

}  // namespace
