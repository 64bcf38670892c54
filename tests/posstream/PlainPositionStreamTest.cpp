#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>

#include "runtime/FileReadStream.h"
#include "posstream/PlainPositionStreamDecoder.h"
#include "posstream/PlainPositionStreamEncoder.h"
#include "PosStreamTestUtil.h"
#include "support/TestEnv.h"

namespace {

using orva::keldra::FileReadStream;
using orva::keldra::internal::PlainPositionStreamDecoder;
using orva::keldra::internal::PlainPositionStreamEncoder;
using namespace posstream_test;

// Same bits for every value (NaN matches NaN).
bool same(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }
bool same(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void expect_same_item(const PositionStreamItem& want, const PositionStreamItem& got) {
  EXPECT_EQ(want.flags, got.flags);
  EXPECT_EQ(want.time, got.time);
  const unsigned int f = want.flags;
  EXPECT_EQ(f & PositionStreamItem::FLAG_BYTE_VALUE ? want.byte_value : 0, got.byte_value);
  const bool coordinates = f & PositionStreamItem::FLAG_COORDINATES;
  EXPECT_TRUE(coordinates ? same(want.latitude, got.latitude) : std::isnan(got.latitude));
  EXPECT_TRUE(coordinates ? same(want.longitude, got.longitude) : std::isnan(got.longitude));
  auto check = [f](unsigned int bit, double w, double g) {
    EXPECT_TRUE(f & bit ? same(w, g) : std::isnan(g)) << "flag " << bit;
  };
  auto checkf = [f](unsigned int bit, float w, float g) {
    EXPECT_TRUE(f & bit ? same(w, g) : std::isnan(g)) << "flag " << bit;
  };
  check(PositionStreamItem::FLAG_ALTITUDE, want.altitude, got.altitude);
  checkf(PositionStreamItem::FLAG_HORIZONTAL_ACCURACY, want.horizontal_accuracy,
         got.horizontal_accuracy);
  checkf(PositionStreamItem::FLAG_VERTICAL_ACCURACY, want.vertical_accuracy, got.vertical_accuracy);
  checkf(PositionStreamItem::FLAG_ADDITIONAL_VALUE, want.additional_value, got.additional_value);
  check(PositionStreamItem::FLAG_SPEED, want.speed, got.speed);
  check(PositionStreamItem::FLAG_COURSE, want.course, got.course);
}

PositionStreamItem full_item() {
  PositionStreamItem item = make_item(0x0102030405060708LL, 1.0, -2.0);
  item.flags = 0xFF;
  item.byte_value = 9;
  item.altitude = 0.5;
  item.horizontal_accuracy = 1.0f;
  item.vertical_accuracy = 2.0f;
  item.additional_value = -1.0f;
  item.speed = 4.0;
  item.course = 0.25;
  return item;
}

const char* const kDoubleOne = "00 00 00 00 00 00 F0 3F";
const char* const kDoubleMinusTwo = "00 00 00 00 00 00 00 C0";
const char* const kDoubleHalf = "00 00 00 00 00 00 E0 3F";
const char* const kDoubleFour = "00 00 00 00 00 00 10 40";

TEST(PlainPositionStream, RecordsHaveTheExactBytesAndReadBackAsWritten) {
  struct Case {
    const char* name;
    std::function<PositionStreamItem()> make;
    std::string bytes;
  };
  const Case kCases[] = {
      {"every value", full_item,
       std::string("3F 00 00 00 FF 00 08 07 06 05 04 03 02 01 09 ") + kDoubleOne + " " +
           kDoubleMinusTwo + " " + kDoubleHalf + " 00 00 80 3F 00 00 00 40 00 00 80 BF " +
           kDoubleFour + " 00 00 00 00 00 00 D0 3F"},
      {"coordinates, altitude and speed",
       [] {
         PositionStreamItem i = full_item();
         i.flags = 0x13;
         i.time = -1;
         return i;
       },
       std::string("2A 00 00 00 13 00 FF FF FF FF FF FF FF FF ") + kDoubleOne + " " +
           kDoubleMinusTwo + " " + kDoubleHalf + " " + kDoubleFour},
      {"the three floats",
       [] {
         PositionStreamItem i = full_item();
         i.flags = 0x8C;
         i.time = 0;
         return i;
       },
       "16 00 00 00 8C 00 00 00 00 00 00 00 00 00 00 00 80 3F 00 00 00 40 00 00 80 BF"},
      {"time flag and an unknown flag only",
       [] {
         PositionStreamItem i;
         i.flags = 0x8100;
         i.time = 1500;
         return i;
       },
       "0A 00 00 00 00 81 DC 05 00 00 00 00 00 00"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const PositionStreamItem item = c.make();
    EXPECT_EQ(unhex(c.bytes).size() - 4, PlainPositionStreamEncoder::get_item_length(item));
    Sink sink;
    PlainPositionStreamEncoder encoder(sink.stream);
    ASSERT_TRUE(encoder.write(item));
    EXPECT_TRUE(encoder.finalize());
    EXPECT_EQ(c.bytes, hex(sink.bytes()));

    Source source(sink.bytes());
    PlainPositionStreamDecoder decoder(source.stream);
    PositionStreamItem got = full_item();
    ASSERT_TRUE(decoder.read(got));
    expect_same_item(item, got);
    EXPECT_EQ(sink.bytes().size(), source.stream.tell());
  }
}

TEST(PlainPositionStream, ConsecutiveRecordsReadBackInOrder) {
  PositionStreamItem first = full_item();
  PositionStreamItem second = make_item(-7, -90.0, 179.5);
  Sink sink;
  PlainPositionStreamEncoder encoder(sink.stream);
  ASSERT_TRUE(encoder.write(first));
  ASSERT_TRUE(encoder.write(second));

  Source source(sink.bytes());
  PlainPositionStreamDecoder decoder(source.stream);
  PositionStreamItem got;
  ASSERT_TRUE(decoder.read(got));
  expect_same_item(first, got);
  ASSERT_TRUE(decoder.read(got));
  expect_same_item(second, got);
  EXPECT_FALSE(decoder.read(got));
  EXPECT_EQ(0, got.flags);
}

TEST(PlainPositionStream, LongerRecordOfALaterWriterIsSkippedAsAWhole) {
  // Flags 0x01 and three more bytes than the coordinates need, then a plain record.
  const std::string text = std::string("1D 00 00 00 01 00 0A 00 00 00 00 00 00 00 ") + kDoubleOne +
                           " " + kDoubleMinusTwo +
                           " AA BB CC 0A 00 00 00 00 00 0B 00 00 00 00 00 00 00";
  Source source(unhex(text));
  PlainPositionStreamDecoder decoder(source.stream);
  PositionStreamItem got;
  ASSERT_TRUE(decoder.read(got));
  EXPECT_EQ(10, got.time);
  EXPECT_EQ(-2.0, got.longitude);
  ASSERT_TRUE(decoder.read(got));
  EXPECT_EQ(11, got.time);
  EXPECT_EQ(0, got.flags);
}

// A record of flags 0x01 with its length field replaced.
std::string with_length(const std::string& length) {
  return length + std::string(" 01 00 0A 00 00 00 00 00 00 00 ") + kDoubleOne + " " +
         kDoubleMinusTwo;
}

struct BadRecord {
  const char* name;
  std::string bytes;
};

const BadRecord kBadRecords[] = {
    {"length shorter than flags and time", with_length("09 00 00 00")},
    {"length shorter than the values the flags announce", with_length("0A 00 00 00")},
    {"length one byte past the end", with_length("1B 00 00 00")},
    {"length that wraps to the record start", with_length("FC FF FF FF")},
    {"length of all ones", with_length("FF FF FF FF")},
    {"record cut short", "1A 00 00 00 01 00 0A 00"},
    {"length field cut short", "1A 00"},
};

TEST(PlainPositionStream, BadLengthsFailWithoutTakingOtherBytes) {
  for (const BadRecord& bad : kBadRecords) {
    SCOPED_TRACE(bad.name);
    Source source(unhex(bad.bytes));
    PlainPositionStreamDecoder decoder(source.stream);
    PositionStreamItem got;
    EXPECT_FALSE(decoder.read(got));
    EXPECT_EQ(0, got.flags);
    EXPECT_TRUE(std::isnan(got.latitude));
    EXPECT_FALSE(decoder.read(got));  // never a later "record" out of the middle
    EXPECT_FALSE(decoder.check_stream());
    EXPECT_EQ(0u, decoder.get_count());
  }
}

TEST(PlainPositionStream, BadLengthsFromAFileFailToo) {
  // A file stream seeks past its end without complaint, so the length is checked
  // against the file's size.
  const std::string path = keldra_test::home_dir() + "/bad.plain";
  for (const BadRecord& bad : kBadRecords) {
    SCOPED_TRACE(bad.name);
    const Bytes bytes = unhex(bad.bytes);
    ASSERT_TRUE(keldra_test::write_file(path, std::string(bytes.begin(), bytes.end())));
    FileReadStream file;
    file.attach(path.c_str());
    PlainPositionStreamDecoder decoder(file);
    PositionStreamItem got;
    EXPECT_FALSE(decoder.read(got));
    EXPECT_FALSE(decoder.read(got));
    EXPECT_FALSE(decoder.check_stream());
  }
}

TEST(PlainPositionStream, CheckStreamCountsAndKeepsThePosition) {
  Sink sink;
  PlainPositionStreamEncoder encoder(sink.stream);
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(encoder.write(make_item(i, 1.0 * i, 2.0 * i)));

  const std::string path = keldra_test::home_dir() + "/five.plain";
  const Bytes bytes = sink.bytes();
  ASSERT_TRUE(keldra_test::write_file(path, std::string(bytes.begin(), bytes.end())));
  FileReadStream file;
  file.attach(path.c_str());
  Source source(bytes);
  orva::keldra::ReadStream* const kStreams[] = {&source.stream, &file};
  for (orva::keldra::ReadStream* stream : kStreams) {
    PlainPositionStreamDecoder decoder(*stream);
    PositionStreamItem got;
    ASSERT_TRUE(decoder.read(got));
    const unsigned int position = stream->tell();
    EXPECT_TRUE(decoder.check_stream());
    EXPECT_EQ(5u, decoder.get_count());
    EXPECT_EQ(position, stream->tell());
    for (int i = 1; i < 5; ++i) {
      ASSERT_TRUE(decoder.read(got));
      EXPECT_EQ(i, got.time);
    }
  }

  // A cut tail: the good records are counted, the stream is not reported whole.
  Bytes cut = bytes;
  cut.resize(cut.size() - 3);
  Source broken(cut);
  PlainPositionStreamDecoder decoder(broken.stream);
  EXPECT_FALSE(decoder.check_stream());
  EXPECT_EQ(4u, decoder.get_count());
}

}  // namespace
