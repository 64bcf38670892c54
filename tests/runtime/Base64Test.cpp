#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/Base64Decode.h"
#include "runtime/Base64Encode.h"

namespace {

const unsigned char* u8(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

// Encodes with room for exactly the padded result.
std::string encode(const std::string& in, bool url_safe = false) {
  std::vector<unsigned char> out((in.size() + 2) / 3 * 4 + 1);
  unsigned int outlen = static_cast<unsigned int>(out.size());
  bool ok = url_safe ? Base64Encode(true).encodeChunk(u8(in), static_cast<unsigned int>(in.size()),
                                                      out.data(), outlen, true)
                     : Base64Encode::encode(u8(in), static_cast<unsigned int>(in.size()),
                                            out.data(), outlen);
  EXPECT_TRUE(ok) << in;
  return std::string(out.begin(), out.begin() + outlen);
}

struct Decoded {
  bool ok;
  std::string bytes;
};

// Decodes with room for 3 bytes per 4 characters of the whole text.
Decoded decode(const std::string& text) {
  std::vector<unsigned char> out((text.size() + 3) / 4 * 3 + 1);
  unsigned int outlen = static_cast<unsigned int>(out.size());
  bool ok =
      Base64Decode::decode(u8(text), static_cast<unsigned int>(text.size()), out.data(), outlen);
  return {ok, std::string(out.begin(), out.begin() + outlen)};
}

TEST(Base64, EncodesWithPadding) {
  struct Case {
    std::string in, standard, url_safe;
  } cases[] = {
      {"", "", ""},
      {"a", "YQ==", "YQ=="},
      {"ab", "YWI=", "YWI="},
      {"abc", "YWJj", "YWJj"},
      {"foobar", "Zm9vYmFy", "Zm9vYmFy"},
      {"fooba", "Zm9vYmE=", "Zm9vYmE="},
      {"\xfb\xff", "+/8=", "-_8="},
      {"\xfb\xef\xbe", "++++", "----"},
      {"\xff\xff\xff", "////", "____"},
      {std::string("\0\0\0\0", 4), "AAAAAA==", "AAAAAA=="},
      {"user:pa:ss", "dXNlcjpwYTpzcw==", "dXNlcjpwYTpzcw=="},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.standard, encode(c.in)) << c.standard;
    EXPECT_EQ(c.url_safe, encode(c.in, true)) << c.url_safe;
  }
}

TEST(Base64, Decodes) {
  struct Case {
    std::string text;
    bool ok;
    std::string bytes;
  } cases[] = {
      {"", true, ""},
      {"YWJj", true, "abc"},
      {"YWI=", true, "ab"},
      {"YQ==", true, "a"},
      {"YWI", true, "ab"},  // no padding: the complete bytes
      {"YQ", true, "a"},
      {"Y", true, ""},
      {"+/8=", true, "\xfb\xff"},
      {"-_8=", true, "\xfb\xff"},
      {"+_8", true, "\xfb\xff"},  // alphabets mixed
      {"Zm9vYmFy", true, "foobar"},
      // White space inside the text is skipped, so wrapped text decodes whole.
      {"YWJj\nZGVm", true, "abcdef"},
      {"YWJj\r\nZGVm\r\n", true, "abcdef"},
      {" Y W J j\tZ G V m ", true, "abcdef"},
      {"YQ==\n", true, "a"},
      {"YQ=\n=", true, "a"},
      // Anything else is refused instead of silently ending the data.
      {"YWJj*ZGVm", false, "abc"},
      {"YW.j", false, "a"},
      {"YWJj\x80", false, "abc"},
      {"YQ==YWJj", false, "a"},  // text after the padding would be lost
      {"YQ==\nYWJj", false, "a"},
  };
  for (const Case& c : cases) {
    Decoded d = decode(c.text);
    EXPECT_EQ(c.ok, d.ok) << '"' << c.text << '"';
    EXPECT_EQ(c.bytes, d.bytes) << '"' << c.text << '"';
  }
}

TEST(Base64, EveryByteValueRoundTrips) {
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  for (size_t len : {size_t(0), size_t(1), size_t(2), size_t(3), size_t(254), size_t(256)}) {
    std::string in = all.substr(256 - len);
    for (bool url_safe : {false, true}) {
      Decoded d = decode(encode(in, url_safe));
      EXPECT_TRUE(d.ok);
      EXPECT_EQ(in, d.bytes) << len << " url_safe " << url_safe;
    }
  }
}

TEST(Base64, ChunkedEncodingEqualsWholeEncoding) {
  std::string data;
  for (int i = 0; i < 40; ++i) data += static_cast<char>(i * 37 + 11);
  for (unsigned int len = 0; len <= data.size(); ++len) {
    std::string in = data.substr(0, len);
    for (bool url_safe : {false, true}) {
      std::string whole = encode(in, url_safe);
      for (unsigned int chunk = 1; chunk <= 7; ++chunk) {
        Base64Encode enc(url_safe);
        std::string text;
        unsigned char out[16];
        for (unsigned int pos = 0; pos < len; pos += chunk) {
          unsigned int n = len - pos < chunk ? len - pos : chunk;
          unsigned int outlen = sizeof out;
          ASSERT_TRUE(enc.encodeChunk(u8(in) + pos, n, out, outlen, false));
          text.append(reinterpret_cast<char*>(out), outlen);
        }
        unsigned int outlen = sizeof out;
        ASSERT_TRUE(enc.encodeChunkFlush(out, outlen));
        text.append(reinterpret_cast<char*>(out), outlen);
        EXPECT_EQ(whole, text) << "length " << len << " chunk " << chunk;
      }
    }
  }
}

TEST(Base64, ChunkedDecodingEqualsWholeDecoding) {
  const std::string text = "Zm9v\nYmFy\nYQ==";
  for (unsigned int chunk = 1; chunk <= 6; ++chunk) {
    Base64Decode dec;
    std::string bytes;
    unsigned char out[8];
    for (unsigned int pos = 0; pos < text.size(); pos += chunk) {
      unsigned int n = static_cast<unsigned int>(text.size()) - pos < chunk
                           ? static_cast<unsigned int>(text.size()) - pos
                           : chunk;
      unsigned int outlen = sizeof out;
      ASSERT_TRUE(dec.decodeChunk(u8(text) + pos, n, out, outlen, false)) << chunk;
      bytes.append(reinterpret_cast<char*>(out), outlen);
    }
    EXPECT_EQ("foobara", bytes) << chunk;
  }
}

TEST(Base64, TooLittleRoomIsReported) {
  unsigned char out[8];
  // Encoding: complete characters that do not fit.
  unsigned int outlen = 3;
  EXPECT_FALSE(Base64Encode::encode(u8("abc"), 3, out, outlen));
  EXPECT_EQ(3u, outlen);
  // Input left behind once the output is full.
  outlen = 4;
  EXPECT_FALSE(Base64Encode::encode(u8("abcdef"), 6, out, outlen));
  // Padding that does not fit.
  outlen = 2;
  EXPECT_FALSE(Base64Encode::encode(u8("a"), 1, out, outlen));
  outlen = 0;
  EXPECT_FALSE(Base64Encode::encode(u8("a"), 1, out, outlen));

  // Decoding: the bytes of the text must all fit; what was written is reported.
  outlen = 2;
  EXPECT_FALSE(Base64Decode::decode(u8("YWJj"), 4, out, outlen));
  EXPECT_EQ(2u, outlen);
  outlen = 3;
  EXPECT_FALSE(Base64Decode::decode(u8("YWJjZGVm"), 8, out, outlen));
  EXPECT_EQ(3u, outlen);
  outlen = 0;
  EXPECT_TRUE(Base64Decode::decode(u8("\n"), 1, out, outlen));
}

TEST(Base64, FlushDeliversBytesLeftByAFullOutput) {
  Base64Decode dec;
  unsigned char out[3];
  unsigned int outlen = 1;
  EXPECT_FALSE(dec.decodeChunk(u8("YWJj"), 4, out, outlen, false));
  ASSERT_EQ(1u, outlen);
  EXPECT_EQ('a', out[0]);
  unsigned int rest = 1;
  EXPECT_FALSE(dec.decodeChunkFlush(out, rest));
  EXPECT_EQ(1u, rest);
  EXPECT_EQ('b', out[0]);
  rest = 3;
  EXPECT_TRUE(dec.decodeChunkFlush(out, rest));
  EXPECT_EQ(1u, rest);
  EXPECT_EQ('c', out[0]);
  rest = 3;
  EXPECT_TRUE(dec.decodeChunkFlush(out, rest));
  EXPECT_EQ(0u, rest);
}

TEST(Base64, StateMachineCounts) {
  // Encoder: characters ready / touched after 0..3 bytes of a group.
  Base64Encode enc(false);
  const int ready[] = {0, 1, 2, 4};
  const int touched[] = {0, 2, 3, 4};
  for (int n = 0; n <= 3; ++n) {
    EXPECT_EQ(ready[n], enc.sizeReady()) << n;
    EXPECT_EQ(touched[n], enc.sizeTouched()) << n;
    if (n < 3) {
      EXPECT_TRUE(enc.put('a'));
    }
  }
  EXPECT_FALSE(enc.put('a'));  // the full group must be handed out first
  unsigned char c;
  std::string text;
  while (enc.get(c)) text += static_cast<char>(c);
  EXPECT_EQ("YWFh", text);
  EXPECT_TRUE(enc.put('a'));
  EXPECT_TRUE(enc.get(c));  // 'Y' ready, 'Q' only touched until the end
  EXPECT_FALSE(enc.get(c));
  enc.end();
  text.clear();
  while (enc.get(c)) text += static_cast<char>(c);
  EXPECT_EQ("Q==", text);

  // Decoder: bytes ready / touched after 0..4 characters of a group.
  Base64Decode dec;
  const int dready[] = {0, 0, 1, 2, 3};
  const int dtouched[] = {0, 1, 2, 3, 3};
  const char* group = "YWJj";
  for (int n = 0; n <= 4; ++n) {
    EXPECT_EQ(dready[n], dec.sizeReady()) << n;
    EXPECT_EQ(dtouched[n], dec.sizeTouched()) << n;
    EXPECT_EQ(n ? 3 : 0, dec.sizePending()) << n;
    if (n < 4) {
      EXPECT_TRUE(dec.put(group[n]));
    }
  }
  EXPECT_FALSE(dec.put('Z'));
  EXPECT_FALSE(dec.put('\n'));
  EXPECT_FALSE(dec.put('*'));
  unsigned char b;
  EXPECT_TRUE(dec.get(b));
  EXPECT_EQ(2, dec.sizePending());
  EXPECT_TRUE(dec.get(b));
  EXPECT_TRUE(dec.get(b));
  EXPECT_EQ('c', b);
  EXPECT_EQ(0, dec.sizePending());
  // '=' freezes the group.
  EXPECT_TRUE(dec.put('Y'));
  EXPECT_TRUE(dec.put('Q'));
  EXPECT_TRUE(dec.put('='));
  EXPECT_FALSE(dec.put('='));
  EXPECT_TRUE(dec.get(b));
  EXPECT_EQ('a', b);
  EXPECT_FALSE(dec.get(b));
  EXPECT_TRUE(dec.begin());
  EXPECT_TRUE(dec.put('Y'));
}

}  // namespace
