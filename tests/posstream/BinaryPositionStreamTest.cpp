#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "posstream/BinaryPositionStreamDecoder.h"
#include "posstream/BinaryPositionStreamEncoder.h"
#include "posstream/BinaryPositionStreamFrame.h"
#include "runtime/FileReadStream.h"
#include "PosStreamTestUtil.h"
#include "support/TestEnv.h"

namespace {

using orva::keldra::FileReadStream;
using orva::keldra::internal::BinaryPositionStreamDecoder;
using orva::keldra::internal::BinaryPositionStreamEncoder;
using orva::keldra::internal::BinaryPositionStreamFrame;
using namespace posstream_test;

const long long kT0 = 1300000000000LL;
// The MBIs of latitude 52.4911234 and longitude 13.4012345.
const std::string kLatLon = "81 FA A6 85 02 BF F3 BB 39";

// The example fix: coordinates and a horizontal accuracy of 34.56 m.
PositionStreamItem fix(long long time) {
  PositionStreamItem item = make_item(time, 52.4911234, 13.4012345);
  item.horizontal_accuracy = 34.56f;
  item.flags |= PositionStreamItem::FLAG_HORIZONTAL_ACCURACY;
  return item;
}

// A fix with every value present.
PositionStreamItem full(long long time) {
  PositionStreamItem item = make_item(time, 1.0, -2.0);
  item.flags = 0xFF;
  item.byte_value = 7;
  item.horizontal_accuracy = 3.0f;
  item.altitude = -4.0;
  item.additional_value = 5.0f;
  item.vertical_accuracy = 6.0f;
  item.speed = 7.0;
  item.course = 8.0;
  return item;
}

// Encodes the items one by one and returns the bytes of each write.
std::vector<std::string> encode_frames(const std::vector<PositionStreamItem>& items) {
  Sink sink;
  BinaryPositionStreamEncoder encoder(sink.stream);
  std::vector<std::string> frames;
  size_t before = 0;
  for (const PositionStreamItem& item : items) {
    EXPECT_TRUE(encoder.write(item));
    const Bytes all = sink.bytes();
    frames.push_back(hex(Bytes(all.begin() + before, all.end())));
    before = all.size();
  }
  return frames;
}

Bytes encode(const std::vector<PositionStreamItem>& items) {
  Sink sink;
  BinaryPositionStreamEncoder encoder(sink.stream);
  for (const PositionStreamItem& item : items) EXPECT_TRUE(encoder.write(item));
  EXPECT_TRUE(encoder.finalize());
  return sink.bytes();
}

// Reads until the decoder gives false on a stream that is no longer ok.
std::vector<PositionStreamItem> decode_all(orva::keldra::ReadStream& stream,
                                           int* failures = nullptr) {
  BinaryPositionStreamDecoder decoder(stream);
  std::vector<PositionStreamItem> items;
  PositionStreamItem item;
  for (int guard = 0; guard < 100000; ++guard) {
    if (decoder.read(item)) {
      items.push_back(item);
    } else if (!stream.is_ok()) {
      break;
    } else if (failures) {
      ++*failures;
    }
  }
  return items;
}

bool is_key(const std::string& frame) { return frame.compare(0, 5, "80 80") == 0; }

TEST(BinaryPositionStream, FramesHaveTheExactBytes) {
  struct Case {
    const char* name;
    std::function<PositionStreamItem()> first, second;
    std::string first_bytes, second_bytes;
  };
  const std::string key_fix = "80 80 05 00 " + kLatLon + " 82 5A";
  const Case kCases[] = {
      {"latitude grows", [] { return fix(kT0); },
       [] {
         PositionStreamItem i = fix(kT0 + 1500);
         i.latitude += 0.00001;
         return i;
       },
       key_fix, "01 0F 80 64 00"},
      {"only the time changes", [] { return fix(kT0); }, [] { return fix(kT0 + 1500); }, key_fix,
       "00 0F"},
      {"only the longitude changes", [] { return fix(kT0); },
       [] {
         PositionStreamItem i = fix(kT0 + 1500);
         i.longitude -= 0.0000001;
         return i;
       },
       key_fix, "01 0F 00 41"},
      {"accuracy shrinks", [] { return fix(kT0); },
       [] {
         PositionStreamItem i = fix(kT0 + 1500);
         i.horizontal_accuracy = 12.0f;
         return i;
       },
       key_fix, "04 0F C1 62"},
      {"altitude appears", [] { return fix(kT0); },
       [] {
         PositionStreamItem i = fix(kT0 + 1500);
         i.altitude = 100.5;
         i.flags |= PositionStreamItem::FLAG_ALTITUDE;
         return i;
       },
       key_fix, "80 80 07 0F " + kLatLon + " 82 5A 87 6D"},
      {"byte value changes",
       [] {
         PositionStreamItem i = fix(kT0);
         i.byte_value = 1;
         i.flags |= PositionStreamItem::FLAG_BYTE_VALUE;
         return i;
       },
       [] {
         PositionStreamItem i = fix(kT0 + 1500);
         i.byte_value = 2;
         i.flags |= PositionStreamItem::FLAG_BYTE_VALUE;
         return i;
       },
       "80 80 80 45 00 01 " + kLatLon + " 82 5A", "80 80 80 45 0F 02 " + kLatLon + " 82 5A"},
      {"every value, then speed and course", [] { return full(kT0); },
       [] {
         PositionStreamItem i = full(kT0 + 1500);
         i.speed = 7.5;
         i.course = 9.0;
         return i;
       },
       "80 80 81 7F 00 07 84 E2 AD 00 C9 C4 DA 00 1E 68 32 3C 85 3C 08", "30 0F 32 01"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::string> frames = encode_frames({c.first(), c.second()});
    EXPECT_EQ(c.first_bytes, frames[0]);
    EXPECT_EQ(c.second_bytes, frames[1]);

    // Each pair reads back as the two items, rounded.
    Source source(unhex(frames[0] + " " + frames[1]));
    BinaryPositionStreamDecoder decoder(source.stream);
    const PositionStreamItem expected[] = {c.first(), c.second()};
    for (const PositionStreamItem& want : expected) {
      PositionStreamItem got;
      ASSERT_TRUE(decoder.read(got));
      EXPECT_EQ(want.flags | PositionStreamItem::FLAG_TIME, got.flags);
      EXPECT_EQ(want.time - kT0, got.time);
      EXPECT_NEAR(want.latitude, got.latitude, 0.5e-7);
      EXPECT_NEAR(want.longitude, got.longitude, 0.5e-7);
      EXPECT_EQ(want.byte_value, got.byte_value);
    }
  }
}

TEST(BinaryPositionStream, DecodesTheExampleToRoundedValues) {
  Source source(unhex("80 80 05 00 " + kLatLon + " 82 5A 01 0F 80 64 00"));
  BinaryPositionStreamDecoder decoder(source.stream);
  PositionStreamItem item;
  ASSERT_TRUE(decoder.read(item));
  EXPECT_EQ(0, item.time);
  EXPECT_DOUBLE_EQ(52.4911234, item.latitude);
  EXPECT_DOUBLE_EQ(13.4012345, item.longitude);
  EXPECT_FLOAT_EQ(34.6f, item.horizontal_accuracy);
  EXPECT_TRUE(std::isnan(item.altitude));
  ASSERT_TRUE(decoder.read(item));
  EXPECT_EQ(1500, item.time);
  EXPECT_DOUBLE_EQ(52.4911334, item.latitude);
  EXPECT_FLOAT_EQ(34.6f, item.horizontal_accuracy);
  EXPECT_FALSE(decoder.read(item));
}

TEST(BinaryPositionStream, LongitudeRoundingUpTo180ReadsBackAsMinus180) {
  // 180 itself is not a valid longitude; the same meridian as -180 is.
  Source source(encode({make_item(kT0, 10.0, 179.99999996)}));
  BinaryPositionStreamDecoder decoder(source.stream);
  PositionStreamItem item;
  ASSERT_TRUE(decoder.read(item));
  EXPECT_EQ(-180.0, item.longitude);
}

TEST(BinaryPositionStream, TimesAreRelativeToTheFirstItemInTenthsOfASecond) {
  struct Case {
    std::vector<long long> times;
    std::vector<long long> decoded;
  };
  const Case kCases[] = {
      {{kT0, kT0 + 1250, kT0 + 1299, kT0 + 1300}, {0, 1200, 1200, 1300}},
      {{kT0, kT0 - 1250}, {0, -1200}},
      // A first time of 0 is an ordinary base: the second item keeps its 1.5 s.
      {{0, 1500, 3000}, {0, 1500, 3000}},
  };
  for (const Case& c : kCases) {
    std::vector<PositionStreamItem> items;
    for (long long t : c.times) items.push_back(fix(t));
    Source source(encode(items));
    const std::vector<PositionStreamItem> got = decode_all(source.stream);
    ASSERT_EQ(c.decoded.size(), got.size());
    for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(c.decoded[i], got[i].time) << i;
  }
}

TEST(BinaryPositionStream, KeyFrameEverySixtyFrames) {
  std::vector<PositionStreamItem> items;
  for (int i = 0; i < 121; ++i) items.push_back(fix(kT0 + i * 1000LL));
  const std::vector<std::string> frames = encode_frames(items);
  for (size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(i % 60 == 0, is_key(frames[i])) << i;
  EXPECT_EQ("00 0A", frames[1]);
  EXPECT_EQ("00 0A", frames[59]);
  EXPECT_EQ("80 80 05 84 58 " + kLatLon + " 82 5A", frames[60]);  // time 600
}

TEST(BinaryPositionStream, ChangedValueSetStartsANewKeyFrameCycle) {
  std::vector<PositionStreamItem> items;
  for (int i = 0; i < 70; ++i) {
    PositionStreamItem item = fix(kT0 + i * 1000LL);
    if (i >= 10) {
      item.altitude = 50.0;
      item.flags |= PositionStreamItem::FLAG_ALTITUDE;
    }
    items.push_back(item);
  }
  const std::vector<std::string> frames = encode_frames(items);
  for (size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(i == 0 || i == 10, is_key(frames[i])) << i;
}

// A track of 150 fixes walking in small steps: key frames at 0, 60 and 120.
std::vector<PositionStreamItem> walk(int n) {
  std::vector<PositionStreamItem> items;
  for (int i = 0; i < n; ++i) {
    PositionStreamItem item = fix(kT0 + i * 1000LL);
    item.latitude += i * 0.0000123;
    item.longitude -= i * 0.0000045;
    items.push_back(item);
  }
  return items;
}

TEST(BinaryPositionStream, DecoderStartedMidStreamResumesAtTheNextKeyFrame) {
  const std::vector<PositionStreamItem> items = walk(150);
  const std::vector<std::string> frames = encode_frames(items);
  std::string tail;
  for (size_t i = 10; i < frames.size(); ++i) tail += (tail.empty() ? "" : " ") + frames[i];
  Bytes bytes = unhex(tail);
  bytes.erase(bytes.begin());  // start inside frame 10

  Source source(bytes);
  const std::vector<PositionStreamItem> got = decode_all(source.stream);
  ASSERT_EQ(90u, got.size());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(items[60 + i].time - kT0, got[i].time);
    EXPECT_NEAR(items[60 + i].latitude, got[i].latitude, 0.5e-7);
  }
}

TEST(BinaryPositionStream, DecoderSkipsAMalformedFrameToTheNextKeyFrame) {
  const std::vector<std::string> frames = encode_frames(walk(130));
  std::string text;
  for (size_t i = 0; i < frames.size(); ++i) {
    if (i == 5) text += " FF FF FF FF FF FF FF FF FF FF FF";  // no end byte in ten
    text += (text.empty() ? "" : " ") + frames[i];
  }
  Source source(unhex(text));
  int failures = 0;
  const std::vector<PositionStreamItem> got = decode_all(source.stream, &failures);
  EXPECT_EQ(1, failures);
  ASSERT_EQ(5u + 70u, got.size());
  EXPECT_EQ(4000, got[4].time);
  EXPECT_EQ(60000, got[5].time);
}

TEST(BinaryPositionStream, AnItemTheDecoderDropsCostsNoOtherItem) {
  std::vector<PositionStreamItem> items = walk(12);
  items[5].horizontal_accuracy = -1.0f;  // not valid, same values present
  const std::vector<std::string> frames = encode_frames(items);
  EXPECT_FALSE(is_key(frames[5]));
  EXPECT_TRUE(is_key(frames[6]));  // the decoder looks for a key frame after the drop
  EXPECT_FALSE(is_key(frames[7]));

  Source source(encode(items));
  int failures = 0;
  const std::vector<PositionStreamItem> got = decode_all(source.stream, &failures);
  EXPECT_EQ(1, failures);
  ASSERT_EQ(11u, got.size());
  for (size_t i = 0; i < got.size(); ++i) {
    const size_t from = i < 5 ? i : i + 1;
    EXPECT_EQ(items[from].time - kT0, got[i].time);
    EXPECT_TRUE(got[i].is_valid());
  }
}

TEST(BinaryPositionStream, ItemsWithoutCoordinatesStillFollowTheCadence) {
  // Such items are written (a reader drops them); they do not force key frames.
  std::vector<PositionStreamItem> items;
  for (int i = 0; i < 3; ++i) {
    PositionStreamItem item;
    item.time = kT0 + i * 1500LL;
    items.push_back(item);
  }
  const std::vector<std::string> frames = encode_frames(items);
  EXPECT_EQ("80 80 00 00", frames[0]);
  EXPECT_EQ("00 0F", frames[1]);
  EXPECT_EQ("00 0F", frames[2]);
}

TEST(BinaryPositionStream, UnencodableItemIsRefusedAndChangesNothing) {
  const double kNaN = std::numeric_limits<double>::quiet_NaN();
  const std::function<void(PositionStreamItem&)> kSpoilers[] = {
      [&](PositionStreamItem& i) { i.latitude = kNaN; },
      [](PositionStreamItem& i) { i.longitude = std::numeric_limits<double>::infinity(); },
      [&](PositionStreamItem& i) {
        i.speed = 1e300;
        i.flags |= PositionStreamItem::FLAG_SPEED;
      },
      [&](PositionStreamItem& i) {
        i.altitude = kNaN;
        i.flags |= PositionStreamItem::FLAG_ALTITUDE;
      },
      [](PositionStreamItem& i) { i.time = LLONG_MIN; },  // too far from the first time
  };
  for (size_t n = 0; n < sizeof kSpoilers / sizeof kSpoilers[0]; ++n) {
    SCOPED_TRACE(n);
    Sink sink;
    BinaryPositionStreamEncoder encoder(sink.stream);
    ASSERT_TRUE(encoder.write(fix(kT0)));
    const Bytes before = sink.bytes();
    PositionStreamItem bad = fix(kT0 + 500);
    kSpoilers[n](bad);
    EXPECT_FALSE(encoder.write(bad));
    EXPECT_EQ(before, sink.bytes());
    ASSERT_TRUE(encoder.write(fix(kT0 + 1500)));
    EXPECT_EQ(hex(before) + " 00 0F", hex(sink.bytes()));  // still a delta of the first
  }
  // A refused first item does not take the base time.
  Sink sink;
  BinaryPositionStreamEncoder encoder(sink.stream);
  PositionStreamItem bad = fix(kT0 - 5000);
  bad.latitude = kNaN;
  EXPECT_FALSE(encoder.write(bad));
  ASSERT_TRUE(encoder.write(fix(kT0)));
  EXPECT_EQ("80 80 05 00 " + kLatLon + " 82 5A", hex(sink.bytes()));
}

TEST(BinaryPositionStream, ReaderSkipsValuesOfLaterVersions) {
  // Mask 0x701: the 2-bit value 7 (kept as 3), a block of three bytes and one value
  // of an unknown bit, followed by an ordinary delta frame.
  const Bytes bytes = unhex("80 80 8E 01 07 00 " + kLatLon + " 03 AA BB CC 87 68 00 0F");
  {
    Source source(bytes);
    BinaryPositionStreamFrame frame;
    ASSERT_TRUE(frame.read(source.stream));
    EXPECT_TRUE(frame.key);
    EXPECT_EQ(0x701u, frame.mask);
    EXPECT_EQ(3, frame.two_bit_value);
    EXPECT_EQ(524911234, frame.latitude);
    EXPECT_EQ(bytes.size() - 2, source.stream.tell());
  }
  Source source(bytes);
  const std::vector<PositionStreamItem> got = decode_all(source.stream);
  ASSERT_EQ(2u, got.size());
  EXPECT_DOUBLE_EQ(13.4012345, got[1].longitude);
  EXPECT_EQ(1500, got[1].time);
}

TEST(BinaryPositionStream, MalformedFramesFailCleanly) {
  const std::string kBad[] = {
      "80 80 05 00 81 FA",                          // cut short
      "80 80 41 00 " + kLatLon,                     // negative mask
      "80 80 80 41 00 82 00 " + kLatLon,            // byte value 256
      "80 80 82 01 00 " + kLatLon + " 7F AA BB",    // block longer than the rest
      "80 80 82 01 00 " + kLatLon + " 45",          // block of negative length
      "80 80 90 01 00 " + kLatLon,                  // the value of an unknown bit is missing
      "80 80 05 00 " + kLatLon + " 41",             // negative accuracy: not a valid item
      "80 80 04 00 82 5A",                          // no coordinates
      "01 02 03 04",                                // no key frame at all
      // Magnitudes the encoder could not write back as they were read:
      "80 80 11 00 " + kLatLon + " BF F9 B9 F2 DF A8 80 01",  // speed 3.6e14 m/s + 0.01
      "80 80 05 00 " + kLatLon + " 88 80 80 01",              // accuracy beyond a float
      "80 80 21 00 " + kLatLon + " 90 80 80 80 80 80 80 01",  // course beyond a double
      "80 80 01 80 C0 80 80 80 80 80 80 00 " + kLatLon,       // time 2^55 tenths
  };
  for (const std::string& text : kBad) {
    Source source(unhex(text));
    BinaryPositionStreamDecoder decoder(source.stream);
    PositionStreamItem item;
    EXPECT_FALSE(decoder.read(item)) << text;
    EXPECT_FALSE(item.is_valid());
    EXPECT_EQ(0, item.flags);
  }
}

// The largest magnitudes the reader takes still write back to the bytes they came from.
TEST(BinaryPositionStream, LargeValuesThatReadWriteBackUnchanged) {
  const std::string kFrames[] = {
      "80 80 11 00 " + kLatLon + " BF F9 B9 F2 DF A8 80 00",  // speed 3.6e14 m/s
      "80 80 05 00 " + kLatLon + " 88 80 80 00",              // accuracy 1677721.6 m
      "80 80 21 00 " + kLatLon + " 90 80 80 80 80 80 80 00",  // course 2^53 degrees
  };
  for (const std::string& text : kFrames) {
    SCOPED_TRACE(text);
    Source source(unhex(text));
    const std::vector<PositionStreamItem> items = decode_all(source.stream);
    ASSERT_EQ(1u, items.size());
    EXPECT_EQ(text, hex(encode(items)));
  }
}

TEST(BinaryPositionStream, BlockLengthBeyondTheEndOfAFileFails) {
  // A file stream would seek past its end without complaint.
  const std::string path = keldra_test::home_dir() + "/block.bin";
  const Bytes bytes = unhex("80 80 82 01 00 " + kLatLon + " 7F AA BB");
  ASSERT_TRUE(keldra_test::write_file(path, std::string(bytes.begin(), bytes.end())));
  FileReadStream file;
  file.attach(path.c_str());
  BinaryPositionStreamDecoder decoder(file);
  PositionStreamItem item;
  EXPECT_FALSE(decoder.read(item));
}

TEST(BinaryPositionStream, CheckStreamCountsAndKeepsTheReadingPlace) {
  Source source(encode(walk(70)));
  BinaryPositionStreamDecoder decoder(source.stream);
  PositionStreamItem item;
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(decoder.read(item));
  const unsigned int position = source.stream.tell();

  EXPECT_TRUE(decoder.check_stream());
  EXPECT_EQ(70u, decoder.get_count());
  EXPECT_EQ(position, source.stream.tell());
  EXPECT_TRUE(source.stream.is_ok());

  // The next delta frame still applies to the third item.
  ASSERT_TRUE(decoder.read(item));
  EXPECT_EQ(3000, item.time);
  EXPECT_NEAR(52.4911234 + 3 * 0.0000123, item.latitude, 0.5e-7);
  int more = 1;
  while (decoder.read(item)) ++more;
  EXPECT_EQ(67, more);
}

TEST(BinaryPositionStream, CheckStreamReportsABrokenTail) {
  Bytes bytes = encode(walk(10));
  bytes.pop_back();  // the last frame is cut short
  Source source(bytes);
  BinaryPositionStreamDecoder decoder(source.stream);
  EXPECT_FALSE(decoder.check_stream());
  EXPECT_EQ(9u, decoder.get_count());
}

// A long track with every kind of value, some values coming and going.
std::vector<PositionStreamItem> long_track(int n) {
  std::vector<PositionStreamItem> items;
  unsigned int seed = 12345;
  auto next = [&seed](double scale) {
    seed = seed * 1103515245u + 12345u;
    return (static_cast<int>((seed >> 8) % 20001) - 10000) / 10000.0 * scale;
  };
  double lat = 60.1699, lon = 24.9384, alt = 15.0;
  for (int i = 0; i < n; ++i) {
    lat += next(0.0002);
    lon += next(0.0003);
    alt += next(2.0);
    PositionStreamItem item =
        make_item(kT0 + i * 1000LL + static_cast<long long>(next(400.0)), lat, lon);
    if (i % 97 < 80) {
      item.altitude = alt;
      item.vertical_accuracy = static_cast<float>(8.0 + next(4.0));
      item.flags |= PositionStreamItem::FLAG_ALTITUDE | PositionStreamItem::FLAG_VERTICAL_ACCURACY;
    }
    item.horizontal_accuracy = static_cast<float>(5.0 + next(4.0));
    item.speed = 12.0 + next(10.0);
    item.course = 180.0 + next(179.0);
    item.flags |= PositionStreamItem::FLAG_HORIZONTAL_ACCURACY | PositionStreamItem::FLAG_SPEED |
                  PositionStreamItem::FLAG_COURSE;
    if (i % 250 == 0) {
      item.byte_value = static_cast<unsigned char>(i / 250);
      item.additional_value = static_cast<float>(next(100.0));
      item.flags |= PositionStreamItem::FLAG_BYTE_VALUE | PositionStreamItem::FLAG_ADDITIONAL_VALUE;
    }
    items.push_back(item);
  }
  return items;
}

void expect_close(const PositionStreamItem& want, const PositionStreamItem& got, long long base,
                  size_t i) {
  SCOPED_TRACE(i);
  EXPECT_EQ(want.flags | PositionStreamItem::FLAG_TIME, got.flags);
  EXPECT_EQ((want.time - base) / 100 * 100, got.time);
  EXPECT_NEAR(want.latitude, got.latitude, 0.51e-7);
  EXPECT_NEAR(want.longitude, got.longitude, 0.51e-7);
  if (want.flags & PositionStreamItem::FLAG_ALTITUDE) {
    EXPECT_NEAR(want.altitude, got.altitude, 0.051);
    EXPECT_NEAR(want.vertical_accuracy, got.vertical_accuracy, 0.051);
  }
  EXPECT_NEAR(want.horizontal_accuracy, got.horizontal_accuracy, 0.051);
  EXPECT_NEAR(want.speed, got.speed, 0.0051);
  EXPECT_NEAR(want.course, got.course, 0.51);
  if (want.flags & PositionStreamItem::FLAG_BYTE_VALUE) {
    EXPECT_EQ(want.byte_value, got.byte_value);
    EXPECT_NEAR(want.additional_value, got.additional_value, 0.051);
  }
}

TEST(BinaryPositionStream, LongTrackRoundTripsThroughBufferAndFile) {
  const std::vector<PositionStreamItem> items = long_track(3000);
  const Bytes bytes = encode(items);
  EXPECT_LT(bytes.size(), items.size() * 20);  // deltas keep it compact

  Source source(bytes);
  std::vector<PositionStreamItem> got = decode_all(source.stream);
  ASSERT_EQ(items.size(), got.size());
  for (size_t i = 0; i < items.size(); ++i) expect_close(items[i], got[i], items[0].time, i);

  const std::string path = keldra_test::home_dir() + "/track.bin";
  ASSERT_TRUE(keldra_test::write_file(path, std::string(bytes.begin(), bytes.end())));
  FileReadStream file;
  file.attach(path.c_str());
  BinaryPositionStreamDecoder counter(file);
  EXPECT_TRUE(counter.check_stream());
  EXPECT_EQ(items.size(), counter.get_count());
  got = decode_all(file);
  ASSERT_EQ(items.size(), got.size());
  for (size_t i = 0; i < items.size(); i += 7) expect_close(items[i], got[i], items[0].time, i);
}

}  // namespace
