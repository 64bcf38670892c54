#include <keldra/LocationObject.h>
#include <keldra/StringPool.h>

#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <new>
#include <string>
#include <vector>

namespace {

using orva::SharedPointer;
using orva::keldra::PString;
using orva::keldra::StringPool;
typedef StringPool::StringHandle Handle;

// ---- PString ----

TEST(PString, CreateGivesNullForNullOrEmptyText) {
  struct Case {
    const char* what;
    std::function<PString*()> make;
  };
  const Case cases[] = {
      {"null text", [] { return PString::create(static_cast<const char*>(nullptr)); }},
      {"empty text", [] { return PString::create(""); }},
      {"zero length", [] { return PString::create("abc", 0); }},
      {"null text with length", [] { return PString::create(nullptr, 3); }},
      {"empty std::string", [] { return PString::create(std::string()); }},
  };
  for (const Case& c : cases) {
    PString* s = c.make();
    EXPECT_EQ(nullptr, s) << c.what;
    PString::destroy(s);
  }
}

TEST(PString, CopiesExactlyTheGivenBytesAndTerminates) {
  PString* s = PString::create("streets", 6);
  ASSERT_NE(nullptr, s);
  EXPECT_EQ(6u, s->length());
  EXPECT_STREQ("street", s->get_text());
  EXPECT_EQ("street", s->get_string());
  PString::destroy(s);

  PString* whole = PString::create(std::string("city"));
  ASSERT_NE(nullptr, whole);
  EXPECT_EQ(4u, whole->length());
  EXPECT_EQ("city", whole->get_string());
  PString::destroy(whole);

  PString::destroy(nullptr);  // nothing happens

  PString empty;
  EXPECT_EQ(0u, empty.length());
  EXPECT_STREQ("", empty.get_text());
}

TEST(PString, CompareAndOrdering) {
  PString* abc = PString::create("abc");
  PString* abd = PString::create("abd");
  struct Case {
    const PString* a;
    const char* b;
    int sign;
  };
  const Case cases[] = {
      {abc, "abc", 0}, {abc, "abd", -1}, {abc, "ab", 1}, {abc, "", 1},
      {abc, nullptr, 1}, {nullptr, "", 0}, {nullptr, "a", -1},
  };
  for (const Case& c : cases) {
    const int r = PString::compare(c.a, c.b);
    const int sign = (r > 0) - (r < 0);
    EXPECT_EQ(c.sign, sign) << (c.a ? c.a->get_text() : "(null)") << " vs "
                            << (c.b ? c.b : "(null)");
    if (c.b) {
      const int r2 = PString::compare(c.a, std::string(c.b));
      EXPECT_EQ(sign, (r2 > 0) - (r2 < 0));
    }
  }
  PString::Less less;
  EXPECT_TRUE(less(abc, abd));
  EXPECT_FALSE(less(abd, abc));
  EXPECT_FALSE(less(abc, abc));
  PString::destroy(abc);
  PString::destroy(abd);
}

// ---- Interning in the thread's pool ----

class StringPoolTest : public ::testing::Test {
 protected:
  SharedPointer<StringPool> pool = StringPool::create();
};

TEST_F(StringPoolTest, EveryWayOfInterningAnEqualTextGivesTheSameString) {
  const PString* first = StringPool::insert("street");
  ASSERT_NE(nullptr, first);
  const size_t count = pool->string_count();

  struct Case {
    const char* what;
    std::function<const PString*()> intern;
  };
  StringPool& p = *pool;
  const Case cases[] = {
      {"insert(char*)", [] { return StringPool::insert("street"); }},
      {"insert(char*, len)", [] { return StringPool::insert("streets", 6); }},
      {"insert(std::string)", [] { return StringPool::insert(std::string("street")); }},
      {"init_handle(char*)", [&p] { Handle h; p.init_handle(h, "street"); return h.get(); }},
      {"init_handle(char*, len)",
       [&p] { Handle h; p.init_handle(h, "street!!", 6); return h.get(); }},
      {"init_handle(std::string)",
       [&p] { Handle h; p.init_handle(h, std::string("street")); return h.get(); }},
      {"set_handle(char*)", [] { Handle h; StringPool::set_handle(h, "street"); return h.get(); }},
      {"set_handle(char*, len)",
       [] { Handle h; StringPool::set_handle(h, "streetX", 6); return h.get(); }},
      {"set_handle(std::string)",
       [] { Handle h; StringPool::set_handle(h, std::string("street")); return h.get(); }},
      {"find", [&p] { return p.find("street"); }},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(first, c.intern()) << c.what;
  }
  EXPECT_EQ(count, pool->string_count());
  EXPECT_EQ(Handle(first), Handle(StringPool::insert("street")));
}

TEST_F(StringPoolTest, DifferentTextsGetDifferentStrings) {
  const char* const texts[] = {"a", "b", "ab", "A", "street", "streets", "stree"};
  const size_t before = pool->string_count();
  std::vector<const PString*> seen;
  for (const char* text : texts) {
    const PString* s = StringPool::insert(text);
    ASSERT_NE(nullptr, s) << text;
    EXPECT_STREQ(text, s->get_text());
    for (const PString* other : seen) EXPECT_NE(other, s) << text;
    seen.push_back(s);
  }
  EXPECT_EQ(before + seen.size(), pool->string_count());
}

TEST_F(StringPoolTest, EmptyTextsAreNeverInterned) {
  const size_t before = pool->string_count();
  EXPECT_EQ(nullptr, StringPool::insert(""));
  EXPECT_EQ(nullptr, StringPool::insert(static_cast<const char*>(nullptr)));
  EXPECT_EQ(nullptr, StringPool::insert("abc", 0));
  EXPECT_EQ(nullptr, StringPool::insert(std::string()));
  EXPECT_EQ(nullptr, pool->find(""));
  EXPECT_EQ(nullptr, pool->find(nullptr));
  EXPECT_EQ(before, pool->string_count());
}

TEST_F(StringPoolTest, InitHandleSetsOnlyAnUnsetHandle) {
  Handle h;
  EXPECT_FALSE(h.is_valid());
  EXPECT_EQ(nullptr, StringPool::get_text(h));
  EXPECT_EQ("", StringPool::get_string(h));

  pool->init_handle(h, "");
  EXPECT_FALSE(h.is_valid());
  pool->init_handle(h, "name");
  ASSERT_TRUE(h.is_valid());
  EXPECT_STREQ("name", StringPool::get_text(h));
  EXPECT_EQ("name", StringPool::get_string(h));

  // A set handle keeps its text, also when asked for another one.
  pool->init_handle(h, "other");
  StringPool::set_handle(h, "other");
  StringPool::set_handle(h, std::string("other"));
  EXPECT_EQ("name", StringPool::get_string(h));
  EXPECT_EQ(nullptr, pool->find("other"));
}

TEST_F(StringPoolTest, FindNeverAdds) {
  const size_t before = pool->string_count();
  EXPECT_EQ(nullptr, pool->find("never interned"));
  EXPECT_EQ(before, pool->string_count());
  const PString* s = StringPool::insert("interned");
  EXPECT_EQ(s, pool->find("interned"));
}

// Texts are keyed as strcmp sees them, and every string keeps its place while the
// pool grows far beyond its first size.
TEST_F(StringPoolTest, ManyTextsKeepTheirStringsAndZerosEndTheKey) {
  const size_t before = pool->string_count();
  std::vector<const PString*> strings;
  for (int i = 0; i < 5000; ++i) strings.push_back(StringPool::insert("name " + std::to_string(i)));
  EXPECT_EQ(before + 5000, pool->string_count());
  for (int i = 0; i < 5000; ++i) {
    const std::string text = "name " + std::to_string(i);
    ASSERT_EQ(strings[i], StringPool::insert(text)) << i;
    ASSERT_EQ(strings[i], pool->find(text.c_str())) << i;
  }
  EXPECT_EQ(before + 5000, pool->string_count());

  // A zero byte ends the text as strcmp reads it: "ab" and "ab\0cd" are one string,
  // kept with the bytes it was first interned with.
  const PString* with_zero = StringPool::insert("ab\0cd", 5);
  ASSERT_NE(nullptr, with_zero);
  EXPECT_EQ(5u, with_zero->length());
  EXPECT_EQ(with_zero, StringPool::insert("ab"));
  EXPECT_EQ(with_zero, pool->find("ab"));
  EXPECT_NE(with_zero, StringPool::insert("abc"));
  // A text that starts with a zero byte is a string of its own, found by no text.
  const PString* leading_zero = StringPool::insert("\0x", 2);
  ASSERT_NE(nullptr, leading_zero);
  EXPECT_EQ(leading_zero, StringPool::insert("\0y", 2));
  EXPECT_EQ(nullptr, pool->find(""));
}

TEST_F(StringPoolTest, CreateTwiceOnOneThreadSharesThePool) {
  SharedPointer<StringPool> again = StringPool::create();
  EXPECT_EQ(pool.get(), again.get());
  EXPECT_EQ(2u, pool->get_ref_count());
  EXPECT_EQ(pool.get(), StringPool::instance());
}

// ---- Name sets ----

int g_built = 0;
int g_destroyed = 0;

struct AddressTestStrings : StringPool::StringSet {
  Handle street;
  Handle city;
  ~AddressTestStrings() override { ++g_destroyed; }
  static StringPool::StringSet* create_strings(StringPool& pool) {
    ++g_built;
    AddressTestStrings* set = new AddressTestStrings;
    pool.init_handle(set->street, "street");
    pool.init_handle(set->city, "city");
    return set;
  }
};

struct OtherTestStrings : StringPool::StringSet {
  static StringPool::StringSet* create_strings(StringPool&) { return new OtherTestStrings; }
};

int g_null_calls = 0;
StringPool::StringSet* null_strings(StringPool&) {
  ++g_null_calls;
  return nullptr;
}

TEST(StringSet, BuiltOncePerPoolAndDeletedWithIt) {
  g_built = g_destroyed = 0;
  StringPool::StringSet* first = nullptr;
  {
    SharedPointer<StringPool> pool = StringPool::create();
    first = StringPool::register_string_set(&AddressTestStrings::create_strings);
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(first, StringPool::register_string_set(&AddressTestStrings::create_strings));
    EXPECT_EQ(1, g_built);
    EXPECT_EQ(1u, pool->set_count());

    // The set's handles are the pool's strings.
    auto* names = static_cast<AddressTestStrings*>(first);
    EXPECT_EQ(Handle(StringPool::insert("street")), names->street);
    EXPECT_EQ(Handle(StringPool::insert("city")), names->city);

    StringPool::StringSet* other =
        StringPool::register_string_set(&OtherTestStrings::create_strings);
    EXPECT_NE(first, other);
    EXPECT_EQ(2u, pool->set_count());
    EXPECT_EQ(0, g_destroyed);
  }
  EXPECT_EQ(1, g_destroyed);

  // A new pool builds its own set.
  SharedPointer<StringPool> pool = StringPool::create();
  ASSERT_NE(nullptr, StringPool::register_string_set(&AddressTestStrings::create_strings));
  EXPECT_EQ(2, g_built);
}

TEST(StringSet, NullFromFactoryThrowsAndIsNotRecorded) {
  g_null_calls = 0;
  SharedPointer<StringPool> pool = StringPool::create();
  EXPECT_THROW(StringPool::register_string_set(&null_strings), std::bad_alloc);
  EXPECT_THROW(StringPool::register_string_set(&null_strings), std::bad_alloc);
  EXPECT_EQ(2, g_null_calls);
  EXPECT_EQ(0u, pool->set_count());
  EXPECT_EQ(nullptr, StringPool::register_string_set(nullptr));
}

// ---- Life of the pool ----

unsigned long address_in(const std::string& text) {
  const size_t at = text.find("0x");
  return at == std::string::npos ? 0 : std::stoul(text.substr(at + 2), nullptr, 16);
}

TEST(StringPoolLife, TracesCreationReuseAndDestruction) {
  keldra_test::LogCapture log;
  {
    SharedPointer<StringPool> pool = StringPool::create();
    SharedPointer<StringPool> again = StringPool::create();
    StringPool::insert("one");
    StringPool::insert("two");
    StringPool::insert("one");
    StringPool::register_string_set(&OtherTestStrings::create_strings);
  }
  const std::vector<std::string> lines = log.matching({"StringPool::create", "~StringPool"});
  ASSERT_EQ(4u, lines.size());
  EXPECT_EQ(0u, lines[0].find("StringPool::create: new 0x"));
  EXPECT_EQ(0u, lines[1].find("StringPool::create: already exists at 0x"));
  const unsigned long address = address_in(lines[0]);
  EXPECT_EQ(address, address_in(lines[1]));
  char expected[64];
  snprintf(expected, sizeof(expected), "~StringPool, 0x%lX, 1 sets", address);
  EXPECT_EQ(expected, lines[2]);
  snprintf(expected, sizeof(expected), "~StringPool, 0x%lX, 2 strings", address);
  EXPECT_EQ(expected, lines[3]);
}

// The fixed assertion line stays as it always was (crash reports key on it); the next
// line tells the developer what to do.
TEST(StringPoolLife, UseWithoutPoolStopsTheProcessSayingWhatToDo) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const char* const message =
      R"(src/engine/StringsPool:159: .*StringPool::instance.*: Assertion `0' failed\.)"
      "\n"
      R"(keldra: this thread has no string pool: create the string pool on this thread first )"
      R"(\(orva::keldra::StringPool::create\(\) or orva::keldra::Static::instance\(\)\))";
  EXPECT_DEATH(StringPool::instance(), message);
  EXPECT_DEATH(StringPool::insert("name"), message);
  EXPECT_DEATH(StringPool::register_string_set(&OtherTestStrings::create_strings), message);
  EXPECT_DEATH(
      {
        orva::keldra::LocationObject place;  // a newcomer's first line
        (void)place;
      },
      message);
}

}  // namespace
