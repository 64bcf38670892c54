#include <gtest/gtest.h>

#include "posstream/PositionStreamDecoder.h"
#include "posstream/PositionStreamEncoder.h"
#include "runtime/FileReadStream.h"
#include "PosStreamTestUtil.h"
#include "support/TestEnv.h"

#include <string>
#include <vector>

namespace {

using orva::keldra::internal::PositionStreamDecoder;
using orva::keldra::internal::PositionStreamEncoder;
using orva::keldra::internal::PositionStreamEncoding;
using namespace posstream_test;

const PositionStreamEncoding kPlain = orva::keldra::internal::POSITION_STREAM_ENCODING_PLAIN;
const PositionStreamEncoding kBinary = orva::keldra::internal::POSITION_STREAM_ENCODING_BINARY;

PositionStreamItem sample(long long time) { return make_item(time, 52.4911234, 13.4012345); }

TEST(PositionStreamFacade, ChoosesTheEncodingByNumber) {
  struct Case {
    PositionStreamEncoding encoding;
    const char* bytes;
  };
  const Case kCases[] = {
      {kPlain,
       "1A 00 00 00 01 00 E8 03 00 00 00 00 00 00 71 A6 AE 21 DD 3E 4A 40 C7 0D BF 9B 6E CD 2A 40"},
      {kBinary, "80 80 01 00 81 FA A6 85 02 BF F3 BB 39"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.encoding);
    Sink sink;
    PositionStreamEncoder encoder(c.encoding, sink.stream);
    EXPECT_EQ(c.encoding, encoder.get_encoding());
    ASSERT_TRUE(encoder.write(sample(1000)));
    EXPECT_TRUE(encoder.finalize());
    EXPECT_EQ(c.bytes, hex(sink.bytes()));
    ASSERT_TRUE(encoder.write(sample(2000)));

    Source source(sink.bytes());
    PositionStreamDecoder decoder(c.encoding, source.stream);
    EXPECT_TRUE(decoder.check_stream());
    EXPECT_EQ(2u, decoder.get_count());
    PositionStreamItem got;
    ASSERT_TRUE(decoder.read(got));
    EXPECT_DOUBLE_EQ(52.4911234, got.latitude);
    ASSERT_TRUE(decoder.read(got));
    EXPECT_EQ(c.encoding == kPlain ? 2000 : 1000, got.time);
    EXPECT_FALSE(decoder.read(got));
  }
}

TEST(PositionStreamFacade, UnknownEncodingWritesNothingAndReadsNothing) {
  const PositionStreamEncoding unknown = static_cast<PositionStreamEncoding>(3);
  Sink sink;
  PositionStreamEncoder encoder(unknown, sink.stream);
  EXPECT_FALSE(encoder.write(sample(1000)));
  EXPECT_FALSE(encoder.finalize());
  encoder.reset(sink.stream);
  EXPECT_FALSE(encoder.write(sample(1000)));
  EXPECT_TRUE(sink.bytes().empty());

  Source source(unhex("80 80 01 00 81 FA A6 85 02 BF F3 BB 39"));
  PositionStreamDecoder decoder(unknown, source.stream);
  PositionStreamItem got = sample(5);
  EXPECT_FALSE(decoder.read(got));
  EXPECT_EQ(0, got.flags);
  EXPECT_FALSE(decoder.check_stream());
  EXPECT_EQ(0u, decoder.get_count());
  EXPECT_EQ(0u, source.stream.tell());
}

TEST(PositionStreamFacade, ResetStartsAFreshEncoderOnTheNewStream) {
  Sink first, second;
  PositionStreamEncoder encoder(kBinary, first.stream);
  ASSERT_TRUE(encoder.write(sample(1000)));
  encoder.reset(second.stream);
  ASSERT_TRUE(encoder.write(sample(6000)));  // a new first item: key frame at time 0
  EXPECT_EQ("80 80 01 00 81 FA A6 85 02 BF F3 BB 39", hex(second.bytes()));
  EXPECT_EQ(hex(second.bytes()), hex(first.bytes()));
}

// Everything read after the position, as "time latitude" texts, up to the first
// failed read.
std::vector<std::string> read_rest(PositionStreamDecoder& decoder) {
  std::vector<std::string> out;
  PositionStreamItem item;
  while (decoder.read(item)) out.push_back(std::to_string(item.time) + " " + std::to_string(item.latitude));
  return out;
}

// Counting must not change what the reader goes on to read: a track whose last item
// is cut short keeps its good items, from buffers and from files alike.
TEST(PositionStreamFacade, CheckStreamLeavesTheReadingAsItWas) {
  const struct {
    const char* name;
    PositionStreamEncoding encoding;
    std::string bytes;
    unsigned int count;  // good items before the broken tail
    bool whole;
  } kCases[] = {
      {"plain record, then a cut record", kPlain,
       "0B 00 00 00 40 00 64 00 00 00 00 00 00 00 07 00 11", 1, false},
      {"two plain records", kPlain,
       "0B 00 00 00 40 00 64 00 00 00 00 00 00 00 07 0B 00 00 00 40 00 C8 00 00 00 00 00 00 00 08",
       2, true},
      {"binary key frame, then a cut frame", kBinary, "80 80 01 00 81 FA A6 85 02 BF F3 BB 39 80", 1,
       false},
      {"binary key frame, then a cut delta", kBinary,
       "80 80 01 00 81 FA A6 85 02 BF F3 BB 39 01 0F 80", 1, false},
      {"binary key and delta frame", kBinary,
       "80 80 01 00 81 FA A6 85 02 BF F3 BB 39 01 0F 80 64 00", 2, true},
  };
  const std::string path = keldra_test::home_dir() + "/check.track";
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const Bytes bytes = unhex(c.bytes);
    ASSERT_TRUE(keldra_test::write_file(path, std::string(bytes.begin(), bytes.end())));
    // What a reader that never counts reads, once from the start and once after the
    // first item.
    Source plain_source(bytes);
    PositionStreamDecoder plain(c.encoding, plain_source.stream);
    const std::vector<std::string> all = read_rest(plain);
    ASSERT_EQ(c.count, all.size());

    for (int skip = 0; skip < 2; ++skip) {
      SCOPED_TRACE(skip);
      Source source(bytes);
      orva::keldra::FileReadStream file;
      file.attach(path.c_str());
      orva::keldra::ReadStream* const kStreams[] = {&source.stream, &file};
      for (orva::keldra::ReadStream* stream : kStreams) {
        PositionStreamDecoder decoder(c.encoding, *stream);
        PositionStreamItem item;
        for (int i = 0; i < skip; ++i) ASSERT_TRUE(decoder.read(item));
        const unsigned int position = stream->tell();
        EXPECT_EQ(c.whole, decoder.check_stream());
        EXPECT_EQ(c.count, decoder.get_count());
        EXPECT_TRUE(stream->is_ok());
        EXPECT_EQ(position, stream->tell());
        EXPECT_EQ(std::vector<std::string>(all.begin() + skip, all.end()), read_rest(decoder));
      }
    }
  }
}

}  // namespace
