// The store's SQL functions through plain SQL on a connection opened by the library.
#include "support/DbTestUtil.h"

#include "adaptation_umbo/database/DatabaseConnection.h"
#include "adaptation_umbo/database/sqlite_umbo_functions.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

using namespace orva::keldra::internal;

class SqlFunctions : public ::testing::Test {
 protected:
  void SetUp() override {
    conn.reset(new DatabaseConnection());
    ASSERT_TRUE(conn->open(db_test::fresh_db_path("functions.db")));
  }
  // The value of one SQL expression, as the plain reader prints it.
  std::string eval(const std::string& expression) {
    std::vector<std::string> rows =
        db_test::rows_on(db_test::handle_of(*conn), "SELECT " + expression);
    return rows.empty() ? "<no row>" : rows[0];
  }
  std::unique_ptr<DatabaseConnection> conn;
};

struct Case {
  const char* expression;
  const char* value;
};

TEST_F(SqlFunctions, Like) {
  const Case cases[] = {
      // the text is folded, the pattern taken as given
      {"like('a?c', 'ABC')", "1"},
      {"like('strasse', 'Stra\xC3\x9F"
       "e')",
       "1"},
      {"like('cafe\xCC\x81', 'CAF\xC3\x89')", "1"},  // text decomposed: e + U+0301
      {"like('caf\xC3\xA9', 'caf\xC3\xA9')", "0"},   // a composed pattern never matches
      {"like('?"
       "?', '\xC3\x89')",
       "1"},  // two code points after decomposition
      {"like('\xEF\xBC\xA1*', '\xEF\xBC\xA1"
       "BC')",
       "0"},  // fullwidth A folds to a
      {"like('a*', '\xEF\xBC\xA1"
       "BC')",
       "1"},
      // only '*' and '?' are wildcards
      {"like('a%', 'abc')", "0"},
      {"like('a%', 'A%')", "1"},
      {"like('a_c', 'abc')", "0"},
      {"like('a_c', 'a_c')", "1"},
      {"like('a*b*c', 'aXbYc')", "1"},
      {"like('a*b*c', 'aXbYcZ')", "0"},
      {"like('*c', 'abc')", "1"},
      {"like('a**', 'a')", "1"},
      {"like('*?', '')", "0"},
      {"like('?*', 'x')", "1"},
      {"like('*?*', 'xyz')", "1"},
      {"like('', '')", "1"},
      {"like('', 'a')", "0"},
      {"like('*', '')", "1"},
      // NULL arguments
      {"like('x', NULL)", "NULL"},
      {"like('*', NULL)", "1"},
      {"like(NULL, 'x')", "0"},
      {"like(NULL, NULL)", "0"},
      // the escape is accepted and ignored; the operator form swaps the arguments
      {"like('a?c', 'abc', '\\')", "1"},
      {"'ABC' LIKE 'a?c'", "1"},
      {"'abc' LIKE 'a%'", "0"},
      {"'a%' LIKE 'a%' ESCAPE '\\'", "1"},
      {"NULL LIKE 'x'", "NULL"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.value, eval(c.expression)) << c.expression;
}

TEST_F(SqlFunctions, LikeAllWords) {
  const Case cases[] = {
      {"like_all_words('Old Town Hall', 'town*')", "1"},
      {"like_all_words('Old Town Hall', 'town')", "0"},
      {"like_all_words('Old Town Hall', 'hall')", "1"},
      {"like_all_words('Old Town Hall', 'old*')", "1"},
      {"like_all_words('Old Town Hall', 'own*')", "0"},   // not at a word start
      {"like_all_words('Old Town Hall', '*own*')", "1"},  // a leading star: anywhere
      {"like_all_words('Old Town Hall', 't?wn h*')", "1"},
      {"like_all_words('Rue de la Paix', 'de*paix')", "1"},
      {"like_all_words('Rue de la Paix', 'de*rue')", "0"},
      {"like_all_words('Old' || char(9) || 'Town', 'town')", "1"},     // tab
      {"like_all_words('Old' || char(8195) || 'Town', 'town')", "1"},  // em space
      {"like_all_words('Old' || char(11) || 'Town', 'town')", "0"},    // vertical tab: no space
      {"like_all_words('  Lead', 'lead')", "1"},
      {"like_all_words('Stra\xC3\x9F"
       "e 5', 'strasse*')",
       "1"},
      {"like_all_words('a%b c_d', 'c_d')", "1"},
      {"like_all_words('a%b c_d', 'a?b*')", "1"},
      {"like_all_words('a%b c_d', 'a?b')", "0"},
      {"like_all_words('', 'x')", "0"},
      {"like_all_words('', '*')", "1"},
      {"like_all_words(NULL, 'x*')", "NULL"},
      {"like_all_words(NULL, '*')", "1"},
      {"like_all_words('abc', NULL)", "0"},
      {"like_all_words('Old Town', 'town', '\\')", "1"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.value, eval(c.expression)) << c.expression;
}

// Patterns with many stars against long texts finish at once: the matcher never
// backtracks over every earlier star.
TEST_F(SqlFunctions, ManyStarsOnLongTextsStayFast) {
  const std::string as = "'" + std::string(20000, 'a') + "'";
  const std::string words = "'" + [] {
    std::string s;
    for (int i = 0; i < 5000; ++i) s += "aa ";
    return s;
  }() + "ab'";
  EXPECT_EQ("0", eval("like('*a*a*a*a*a*a*b', " + as + ")"));
  EXPECT_EQ("1", eval("like('*a*a*a*a*a*a*a', " + as + ")"));
  EXPECT_EQ("0", eval("like_all_words(" + as + ", '*a*a*a*a*a*a*b')"));
  EXPECT_EQ("1", eval("like_all_words(" + words + ", 'a*a*a*a*a*a*b')"));
  EXPECT_EQ("0", eval("like_all_words(" + words + ", 'a*a*a*a*a*a*c')"));
  EXPECT_EQ("1", eval("like_all_words(" + words + ", 'a?')"));
  EXPECT_EQ("0", eval("like_all_words(" + words + ", 'b*')"));
}

// The matcher itself against a plain recursive reference, over every short pattern
// and text of a small alphabet.
bool reference_match(const char* p, const char* t) {
  if (!*p) return !*t;
  if (*p == '*') return reference_match(p + 1, t) || (*t && reference_match(p, t + 1));
  if (!*t) return false;
  return (*p == '?' || *p == *t) && reference_match(p + 1, t + 1);
}

TEST(WildcardMatch, AgreesWithTheReferenceOnAllShortInputs) {
  const char pattern_chars[] = {'a', 'b', '*', '?'};
  const char text_chars[] = {'a', 'b'};
  std::vector<std::string> patterns{""}, texts{""};
  for (size_t i = 0; i < patterns.size() && patterns.size() < 1365; ++i) {
    if (patterns[i].size() == 5) continue;
    for (char c : pattern_chars) patterns.push_back(patterns[i] + c);
  }
  for (size_t i = 0; i < texts.size() && texts.size() < 127; ++i) {
    if (texts[i].size() == 6) continue;
    for (char c : text_chars) texts.push_back(texts[i] + c);
  }
  int checked = 0;
  for (const std::string& p : patterns) {
    for (const std::string& t : texts) {
      ASSERT_EQ(reference_match(p.c_str(), t.c_str()), wildcard_match(p.c_str(), t.c_str()))
          << "pattern '" << p << "' text '" << t << "'";
      ++checked;
    }
  }
  EXPECT_GT(checked, 100000);
  // Multi-byte code points count as one for '?', and ill-formed bytes stay safe.
  EXPECT_TRUE(wildcard_match("?x", "\xE2\x82\xACx"));
  EXPECT_FALSE(wildcard_match("?", "\xE2\x82"));
  EXPECT_TRUE(wildcard_match("??", "\xE2\x82"));
  EXPECT_TRUE(wildcard_match("\xE2*", "\xE2\x82"));
}

// Ill-formed UTF-8 (overlong forms, surrogates, values above U+10FFFF, cut sequences)
// is never read as a character: each of its bytes stands alone and matches only itself.
TEST(WildcardMatch, IllFormedSequencesAreTakenByteByByte) {
  const struct {
    const char* pattern;
    const char* text;
    bool match;
  } cases[] = {
      {"?", "\xC1\xA1", false},  // overlong "a"
      {"??", "\xC1\xA1", true},
      {"a", "\xC1\xA1", false},
      {"\xC1\xA1", "a", false},
      {"/", "\xE0\x80\xAF", false},  // overlong "/" in three bytes
      {"???", "\xE0\x80\xAF", true},
      {"?", "\xED\xA0\x80", false},  // the surrogate U+D800
      {"???", "\xED\xA0\x80", true},
      {"?", "\xF4\x90\x80\x80", false},  // U+110000
      {"????", "\xF4\x90\x80\x80", true},
      {"?", "\xF8\x88\x80\x80\x80", false},  // a five-byte form
      // well-formed sequences at the edges stay one character
      {"?", "\xC2\x80", true},
      {"?", "\xEF\xBF\xBF", true},
      {"?", "\xF4\x8F\xBF\xBF", true},  // U+10FFFF
      {"?", "\xF0\x9F\x98\x80", true},
      {"?*", "\xE2\x82\xAC\xC1\xA1", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.match, wildcard_match(c.pattern, c.text)) << c.pattern << " / " << c.text;
  }
}

TEST_F(SqlFunctions, IllFormedPatternsMatchNoCharacter) {
  const Case cases[] = {
      // the overlong form of "a" as a pattern does not find "A"
      {"like(CAST(X'C1A1' AS TEXT), 'A')", "0"},
      {"'A' LIKE CAST(X'C1A1' AS TEXT)", "0"},
      {"like_all_words('Old A', CAST(X'C1A1' AS TEXT))", "0"},
      {"like(CAST(X'E080AF' AS TEXT), '/')", "0"},
      {"like(CAST(X'3FC1A1' AS TEXT), 'a')", "0"},
      {"like('a', 'A')", "1"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.value, eval(c.expression)) << c.expression;
}

TEST_F(SqlFunctions, DistanceAndPointInRectangle) {
  const double one_degree = 6371010.0 * 3.141592653589793 / 180.0;  // about 111 km
  struct Distance {
    const char* expression;
    double metres;
  } distances[] = {
      {"distance(60.17, 24.94, 60.17, 24.94)", 0},
      {"distance(0, 0, 0, 1)", one_degree},
      {"distance(0, 0, 1, 0)", one_degree},
      {"distance(0, 179.5, 0, -179.5)", one_degree},  // across the antimeridian
      {"distance(NULL, NULL, 0, 0)", 0},              // NULL reads as 0.0
  };
  for (const Distance& d : distances) {
    const double value = std::atof(eval(d.expression).c_str());
    EXPECT_NEAR(d.metres, value, 0.005 * one_degree) << d.expression;
  }

  const Case inside[] = {
      // pos_in_rect(top, left, bottom, right, latitude, longitude)
      {"pos_in_rect(10, -10, -10, 10, 0, 0)", "1"},
      {"pos_in_rect(10, -10, -10, 10, 20, 0)", "0"},
      {"pos_in_rect(10, -10, -10, 10, 0, 11)", "0"},
      {"pos_in_rect(10, -10, -10, 10, 10, 10)", "1"},  // edges belong to it
      {"pos_in_rect(10, -10, -10, 10, -10, -10)", "1"},
      // a rectangle across the antimeridian (left > right)
      {"pos_in_rect(10, 170, -10, -170, 0, 180)", "1"},
      {"pos_in_rect(10, 170, -10, -170, 0, -180)", "1"},
      {"pos_in_rect(10, 170, -10, -170, 0, 175)", "1"},
      {"pos_in_rect(10, 170, -10, -170, 0, -175)", "1"},
      {"pos_in_rect(10, 170, -10, -170, 0, 0)", "0"},
      {"pos_in_rect(10, 170, -10, -170, 0, 169)", "0"},
      {"pos_in_rect(10, 170, -10, -170, 11, 175)", "0"},
      // a rectangle ending on the antimeridian
      {"pos_in_rect(10, 170, -10, 180, 0, 180)", "1"},
      {"pos_in_rect(10, 170, -10, 180, 0, 179.9)", "1"},
      {"pos_in_rect(NULL, NULL, NULL, NULL, NULL, NULL)", "1"},  // all 0.0: the point on the corner
  };
  for (const Case& c : inside) EXPECT_EQ(c.value, eval(c.expression)) << c.expression;
}

// The functions are there on every connection, including a second one to the file.
TEST_F(SqlFunctions, RegisteredOnEveryConnection) {
  DatabaseConnection second;
  ASSERT_TRUE(second.open(conn->file_name()));
  EXPECT_EQ("1", db_test::rows_on(db_test::handle_of(second),
                                  "SELECT like_all_words('Old Town', 'town')")[0]);
  EXPECT_EQ("1", db_test::rows_on(db_test::handle_of(second), "SELECT 'Abc' LIKE 'a*'")[0]);
}

}  // namespace
