#include "compact/Buffer.h"
#include "compact/Utf8.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

namespace {

using orva::keldra::compact::Buffer;
using orva::keldra::compact::Section;
using orva::keldra::compact::Token;

typedef std::vector<std::vector<std::string>> Lines;

const unsigned char* bytes(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

// Reads a message in the parser's order: header, sections, next line. An empty
// section inside a line is kept as "".
Lines read_all(Buffer& buffer) {
  Lines lines;
  while (buffer.line_header()) {
    std::vector<std::string> line(1, buffer.current_section().string());
    for (;;) {
      bool found = buffer.next_section();
      bool at_end = buffer.position() >= buffer.data().end();
      if (!found && (buffer.current_char() != ':' || at_end)) break;
      line.push_back(buffer.current_section().string());
    }
    lines.push_back(line);
    if (!buffer.next_line()) break;
  }
  return lines;
}

Lines read_all(const std::string& message) {
  Buffer buffer(bytes(message), static_cast<unsigned int>(message.size()));
  return read_all(buffer);
}

TEST(TokenTest, NullAndRanges) {
  const char text[] = "abc";
  Token null_token;
  EXPECT_TRUE(null_token.valid());
  EXPECT_TRUE(null_token.empty());
  EXPECT_EQ(0u, null_token.length());
  Token half(text, nullptr);
  EXPECT_EQ(nullptr, half.start());
  EXPECT_EQ(nullptr, half.end());
  Token range(text, text + 3);
  EXPECT_EQ(3u, range.length());
  EXPECT_FALSE(range.empty());
  Token backwards(text + 2, text);
  EXPECT_FALSE(backwards.valid());
  EXPECT_EQ(0u, backwards.length());
}

TEST(TokenizerTest, EmptyMessageHasNoLines) {
  Buffer empty(nullptr, 0);
  EXPECT_FALSE(empty.line_header());
  EXPECT_FALSE(empty.next_line());
  std::string none;
  Buffer zero_length(bytes(none), 0);
  EXPECT_FALSE(zero_length.line_header());
  EXPECT_FALSE(zero_length.next_line());
}

TEST(TokenizerTest, OneLineReply) {
  std::string message = "R:OK;";
  Buffer buffer(bytes(message), static_cast<unsigned int>(message.size()));
  ASSERT_TRUE(buffer.line_header());
  EXPECT_EQ("R", buffer.current_section().string());
  ASSERT_TRUE(buffer.next_section());
  EXPECT_EQ("OK", buffer.current_section().string());
  EXPECT_FALSE(buffer.next_section());
  EXPECT_EQ(U';', buffer.current_char());
  EXPECT_TRUE(buffer.next_line());
  EXPECT_FALSE(buffer.line_header());
}

TEST(TokenizerTest, MessagesSplitIntoLinesAndSections) {
  struct Case {
    const char* name;
    std::string message;
    Lines expected;
  };
  const Case cases[] = {
      {"object lines",
       "O:32:Home::5:::3::193;A0:6;F:8:50:Espoo;",
       {{"O", "32", "Home", "", "5", "", "", "3", "", "193"},
        {"A0", "6"},
        {"F", "8", "50", "Espoo"}}},
      {"escaped colon and semicolon", "F:8:27:a\\:b\\;c;", {{"F", "8", "27", "a:b;c"}}},
      {"escaped backslash", "F:8:27:a\\\\b;", {{"F", "8", "27", "a\\b"}}},
      {"escape of an ordinary character", "F:8:27:\\abc;", {{"F", "8", "27", "abc"}}},
      {"escape at section start and end", "X:\\::\\;;", {{"X", ":", ";"}}},
      {"empty last section", "A:;", {{"A"}}},
      {"line feed after a line",
       "FW:personal:image/jpeg:k1;\nGF:a:b;\n",
       {{"FW", "personal", "image/jpeg", "k1"}, {"\nGF", "a", "b"}}},
      {"non-ASCII text",
       "F:8:15:Z\xC3\xBCrich \xE2\x82\xAC \xF0\x9F\x8F\xA0;",
       {{"F", "8", "15", "Z\xC3\xBCrich \xE2\x82\xAC \xF0\x9F\x8F\xA0"}}},
      {"last line without end", "R:OK;S:k1:", {{"R", "OK"}, {"S", "k1"}}},
      {"zero byte ends the data", std::string("R:O\0K;S:x;", 10), {{"R", "O"}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, read_all(c.message)) << c.name;
  }
}

TEST(TokenizerTest, NonAsciiIsReadInTheCLocale) {
  const char* old = setlocale(LC_ALL, nullptr);
  std::string saved = old ? old : "C";
  setlocale(LC_ALL, "C");
  Lines lines = read_all("O:32:K\xC3\xB6ln;L::7:;");
  setlocale(LC_ALL, saved.c_str());
  Lines expected = {{"O", "32", "K\xC3\xB6ln"}, {"L", "", "7"}};
  EXPECT_EQ(expected, lines);
}

TEST(TokenizerTest, MalformedUtf8EndsTheDataAndIsReported) {
  const std::string cases[] = {
      "F:8:15:a\xC3(b;F:1:35:1;",          // continuation byte missing
      "F:8:15:a\x80;F:1:35:1;",            // stray continuation byte
      "F:8:15:a\xC0\xAF;F:1:35:1;",        // overlong '/'
      "F:8:15:a\xED\xA0\x80;F:1:35:1;",    // surrogate
      "F:8:15:a\xF4\x90\x80\x80;",         // beyond U+10FFFF
      "F:8:15:a\xE2\x82",                  // cut at the end
      std::string("F:8:15:a\0b;F:1:35:1;", 20),  // zero byte with data behind it
  };
  for (const std::string& message : cases) {
    Buffer buffer(bytes(message), static_cast<unsigned int>(message.size()));
    Lines lines = read_all(buffer);
    ASSERT_EQ(1u, lines.size()) << message;
    EXPECT_EQ("a", lines[0].back()) << message;
    EXPECT_TRUE(buffer.malformed()) << message;
  }
  // A zero byte that closes the data, as in a C string, is only its end.
  const std::string good[] = {"F:8:15:\xC3\xA9;", std::string("R:OK;\0", 6)};
  for (const std::string& message : good) {
    Buffer buffer(bytes(message), static_cast<unsigned int>(message.size()));
    read_all(buffer);
    EXPECT_FALSE(buffer.malformed()) << message;
  }
}

// The writer's check accepts exactly the texts the reader takes whole.
TEST(Utf8Test, WireTextIsWhatTheReaderTakesWhole) {
  const struct {
    std::string text;
    bool whole;
  } cases[] = {
      {"", true},
      {"plain ASCII", true},
      {"Z\xC3\xBCrich \xE2\x82\xAC \xF0\x9F\x8F\xA0 \xF4\x8F\xBF\xBF", true},
      {"a\xC3(b", false},
      {"a\x80", false},
      {"a\xC0\xAF", false},
      {"a\xED\xA0\x80", false},
      {"a\xF4\x90\x80\x80", false},
      {"a\xE2\x82", false},
      {"K\xF6ln", false},
      {std::string("a\0b", 3), false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.whole, orva::keldra::compact::is_wire_text(c.text.data(), c.text.size()))
        << c.text;
    std::string message = "F:8:15:x" + c.text + ";";
    Buffer buffer(bytes(message), static_cast<unsigned int>(message.size()));
    Lines lines = read_all(buffer);
    EXPECT_EQ(c.whole,
              !buffer.malformed() && lines.size() == 1 && lines[0].back() == "x" + c.text)
        << c.text;
  }
}

TEST(TokenizerTest, LineEndingWithColonWithoutSemicolonEnds) {
  std::string message = "O:32:";
  Buffer buffer(bytes(message), static_cast<unsigned int>(message.size()));
  ASSERT_TRUE(buffer.line_header());
  EXPECT_FALSE(buffer.next_line());
}

TEST(TokenizerTest, NextLineSkipsAPartlyReadLine) {
  std::string message = "O:32:Home\\;x:1:2;L:9::;";
  Buffer buffer(bytes(message), static_cast<unsigned int>(message.size()));
  ASSERT_TRUE(buffer.line_header());
  ASSERT_TRUE(buffer.next_section());
  ASSERT_TRUE(buffer.next_line());
  ASSERT_TRUE(buffer.line_header());
  EXPECT_EQ("L", buffer.current_section().string());
  ASSERT_TRUE(buffer.next_section());
  EXPECT_EQ(9u, buffer.current_section().uint32());
}

TEST(TokenizerTest, PlainSectionsPointIntoTheMessage) {
  std::string message = "F:8:15:plain;F:8:15:es\\:caped;";
  Buffer buffer(bytes(message), static_cast<unsigned int>(message.size()));
  ASSERT_TRUE(buffer.line_header());
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(buffer.next_section());
  Token plain = buffer.current_section().token();
  EXPECT_EQ(message.data() + 7, plain.start());
  EXPECT_EQ(5u, plain.length());
  ASSERT_TRUE(buffer.next_line());
  ASSERT_TRUE(buffer.line_header());
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(buffer.next_section());
  Token joined = buffer.current_section().token();
  EXPECT_EQ("es:caped", std::string(joined.start(), joined.length()));
  EXPECT_TRUE(joined.start() < message.data() || joined.start() >= message.data() + message.size());
}

// Reads the first section of |text| (terminated by ';').
Section first_section(const std::string& text) {
  Buffer buffer(bytes(text), static_cast<unsigned int>(text.size()));
  buffer.line_header();
  return buffer.current_section();
}

TEST(SectionTest, ComparisonsAndNumbers) {
  // The prefix comparison as peers' readers use it, and the exact one.
  EXPECT_TRUE(first_section("G;") == "GF");
  EXPECT_FALSE(first_section("G;").equals("GF"));
  EXPECT_FALSE(first_section("GF;") == "G");
  EXPECT_TRUE(first_section("GF;").equals("GF"));
  EXPECT_TRUE(first_section("private;") == "private-permanent");
  EXPECT_FALSE(first_section("private;").equals("private-permanent"));
  EXPECT_FALSE(first_section(";") == "");
  EXPECT_TRUE(first_section(";") == nullptr);
  EXPECT_TRUE(first_section(";").equals(""));
  EXPECT_TRUE(first_section("a\\:b;").equals("a:b"));
  EXPECT_TRUE(first_section("\\abc;") == "abc");
  EXPECT_TRUE(first_section("a\\bc;").equals(first_section("abc;").string().c_str()));

  EXPECT_EQ(12u, first_section("12ab;").uint32());
  EXPECT_EQ(0u, first_section("ab12;").uint32());
  EXPECT_EQ(4294967295u, first_section("99999999999;").uint32());
  EXPECT_EQ(18446744073709551615ull, first_section("18446744073709551615;").uint64());
  EXPECT_EQ(0u, first_section(";").uint32());
}

TEST(SectionTest, AppendJoinsPieces) {
  const char text[] = "abcdef";
  Section section;
  section.append(Token(text, text));  // empty piece: nothing
  EXPECT_TRUE(section.empty());
  section.append(Token(text, text + 2));
  EXPECT_EQ(text, section.token().start());  // one piece stays a token
  section.append(Token(text + 4, text + 6));
  EXPECT_EQ("abef", section.string());
  EXPECT_EQ(4u, section.length());
  section.clear();
  EXPECT_TRUE(section.empty());
  EXPECT_EQ(nullptr, section.token().start());
}

}  // namespace
