#include <tervo/ustring.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using orva::ustring;
typedef std::vector<unsigned short> Units;

Units units_of(const ustring& s) { return Units(s.c_str(), s.c_str() + s.length()); }

struct Utf8Case {
  const char* what;
  std::string utf8;
  Units units;
};

// Well-formed input, and ill-formed input where each maximal ill-formed subsequence
// becomes one U+FFFD.
TEST(Ustring, DecodesUtf8) {
  const unsigned short R = 0xFFFD;
  const Utf8Case cases[] = {
      {"empty", "", {}},
      {"ascii", "abc", {'a', 'b', 'c'}},
      {"two bytes", "\xC3\xA9", {0xE9}},
      {"three bytes", "\xE2\x82\xAC", {0x20AC}},
      {"four bytes, surrogate pair", "\xF0\x9F\x98\x80", {0xD83D, 0xDE00}},
      {"highest code point", "\xF4\x8F\xBF\xBF", {0xDBFF, 0xDFFF}},
      {"embedded zero byte", std::string("a\0b", 3), {'a', 0, 'b'}},
      {"lone continuation byte", "\x80x", {R, 'x'}},
      {"overlong two bytes", "\xC0\xAF", {R, R}},
      {"overlong three bytes", "\xE0\x80\xAF", {R, R, R}},
      {"encoded surrogate", "\xED\xA0\x80", {R, R, R}},
      {"above U+10FFFF", "\xF4\x90\x80\x80", {R, R, R, R}},
      {"invalid lead byte", "\xF5z", {R, 'z'}},
      {"cut sequence before ascii", "\xE2\x82" "A", {R, 'A'}},
      {"cut sequence at end", "ok\xF0\x9F\x98", {'o', 'k', R}},
  };
  for (const Utf8Case& c : cases) {
    SCOPED_TRACE(c.what);
    ustring s(c.utf8);
    EXPECT_EQ(c.units, units_of(s));
    EXPECT_EQ(0, s.c_str()[s.length()]) << "not zero-terminated";
    if (c.utf8.find('\0') == std::string::npos) {
      EXPECT_EQ(s, ustring(c.utf8.c_str()));
    }
  }
}

struct Utf16Case {
  const char* what;
  Units units;
  std::string utf8;
};

TEST(Ustring, EncodesUtf8) {
  const std::string R = "\xEF\xBF\xBD";
  const Utf16Case cases[] = {
      {"ascii and latin", {'a', 0xE9}, "a\xC3\xA9"},
      {"bmp", {0x20AC}, "\xE2\x82\xAC"},
      {"pair", {0xD83D, 0xDE00}, "\xF0\x9F\x98\x80"},
      {"lone high surrogate", {0xD800, 'a'}, R + "a"},
      {"lone high surrogate at end", {'a', 0xDBFF}, "a" + R},
      {"lone low surrogate", {0xDC00}, R},
      {"pair in wrong order", {0xDC00, 0xD800}, R + R},
  };
  for (const Utf16Case& c : cases) {
    SCOPED_TRACE(c.what);
    ustring s;
    s.assign(c.units.data(), static_cast<unsigned int>(c.units.size()));
    EXPECT_EQ(c.utf8, s.to_utf8());
  }
}

TEST(Ustring, RoundTripKeepsWellFormedText) {
  const std::string text = "Stra\xC3\x9F" "e \xE2\x82\xAC \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF";
  EXPECT_EQ(text, ustring(text).to_utf8());
  const unsigned short zero_terminated[] = {'h', 0xD83D, 0xDE00, 'i', 0};
  ustring s(zero_terminated);
  EXPECT_EQ(4u, s.length());
  EXPECT_EQ(s, ustring(s.to_utf8()));
}

TEST(Ustring, NullInputsGiveEmptyText) {
  EXPECT_EQ(0u, ustring(static_cast<const char*>(nullptr)).length());
  EXPECT_EQ(0u, ustring(static_cast<const unsigned short*>(nullptr)).length());
  ustring s("abc");
  s.assign(nullptr, 5);
  EXPECT_TRUE(s.empty());
  EXPECT_EQ(0, s.c_str()[0]);
}

TEST(Ustring, EditingOperations) {
  ustring s;
  s.reserve(10);
  EXPECT_EQ(0u, s.length());
  s.append('a');
  s.append(0xD83D);
  s.append(0xDE00);
  EXPECT_EQ(3u, s.length());
  EXPECT_EQ("a\xF0\x9F\x98\x80", s.to_utf8());
  EXPECT_EQ('a', s[0]);
  EXPECT_EQ(0xDE00, s[2]);
  EXPECT_EQ(0, s[3]);    // the terminator
  EXPECT_EQ(0, s[100]);  // beyond the end
  EXPECT_EQ(0, s.c_str()[3]);

  // assign takes a count of units, zero units included, and may read from itself.
  const unsigned short src[] = {'x', 0, 'y', 'z'};
  s.assign(src, 3);
  EXPECT_EQ((Units{'x', 0, 'y'}), units_of(s));
  s.assign(s.c_str() + 2, 1);
  EXPECT_EQ((Units{'y'}), units_of(s));

  s.clear();
  EXPECT_TRUE(s.empty());
  EXPECT_EQ(0, s.c_str()[0]);
}

TEST(Ustring, ComparesUnitByUnit) {
  EXPECT_EQ(ustring("abc"), ustring("abc"));
  EXPECT_NE(ustring("abc"), ustring("ABC"));  // no case folding
  EXPECT_NE(ustring("ab"), ustring("abc"));
  EXPECT_NE(ustring(std::string("a\0b", 3)), ustring("a"));
  EXPECT_TRUE(ustring("ab") < ustring("abc"));
  EXPECT_TRUE(ustring("B") < ustring("a"));
  EXPECT_FALSE(ustring("abc") < ustring("abc"));
  EXPECT_TRUE(ustring("") < ustring("a"));
}

}  // namespace
