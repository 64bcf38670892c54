#include <keldra/DynamicBuffer.h>
#include <keldra/Field.h>
#include <keldra/FieldList.h>
#include <tervo/ustring.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "ObjectTestSupport.h"

namespace {

using orva::SharedPointer;
using orva::keldra::DynamicBuffer;
using orva::keldra::Field;
using orva::keldra::FieldList;
using orva::keldra::StringPool;
using objects_test::from_hex;
using objects_test::read_record;
using objects_test::record_hex;

class FieldTest : public objects_test::PoolTest {};

SharedPointer<DynamicBuffer> buffer_of(const std::string& bytes) {
  SharedPointer<DynamicBuffer> buffer(new DynamicBuffer());
  buffer->write(reinterpret_cast<const unsigned char*>(bytes.data()),
                static_cast<unsigned int>(bytes.size()));
  return buffer;
}

// Which typed getters succeed: each is tried with a sentinel that must survive a
// refusal.
std::string accepted_getters(const Field& f) {
  std::string accepted;
  auto probe = [&](const char* name, orva::ErrorCode code, bool untouched) {
    if (code == 0) {
      accepted += name;
    } else {
      EXPECT_EQ(0x6002, code) << name;
      EXPECT_TRUE(untouched) << name << " changed its output on a refusal";
    }
  };
  int i32 = 77;
  probe("i", f.get_value(i32), i32 == 77);
  unsigned int u32 = 77;
  probe("u", f.get_value(u32), u32 == 77);
  long long i64 = 77;
  probe("I", f.get_value(i64), i64 == 77);
  unsigned long long u64 = 77;
  probe("U", f.get_value(u64), u64 == 77);
  float fl = 7.5f;
  probe("f", f.get_value(fl), fl == 7.5f);
  double d = 7.5;
  probe("d", f.get_value(d), d == 7.5);
  long long ts = 77;
  probe("t", f.get_timestamp(ts), ts == 77);
  orva::ustring us("keep");
  probe("s", f.get_value(us), us.to_utf8() == "keep");
  std::string s = "keep";
  probe("S", f.get_value(s), s == "keep");
  std::vector<unsigned char> v(1, 9);
  probe("v", f.get_value(v), v.size() == 1);
  SharedPointer<DynamicBuffer> b;
  probe("b", f.get_value(b), !b.is_valid());
  return accepted;
}

TEST_F(FieldTest, TypedGettersAcceptOnlyTheHeldType) {
  const unsigned short units[] = {'x', 0};
  struct Case {
    const char* what;
    std::function<void(Field&)> fill;
    Field::DataType type;
    unsigned int length;
    const char* accepted;
  } cases[] = {
      {"none", [](Field&) {}, Field::TYPE_NONE, 0, ""},
      {"int32", [](Field& f) { f.set_value(-3); }, Field::TYPE_INT32, 4, "i"},
      {"uint32", [](Field& f) { f.set_value(3u); }, Field::TYPE_UINT32, 4, "u"},
      {"int64", [](Field& f) { f.set_value(-3LL); }, Field::TYPE_INT64, 8, "I"},
      {"uint64", [](Field& f) { f.set_value(3ULL); }, Field::TYPE_UINT64, 8, "U"},
      {"float", [](Field& f) { f.set_value(1.5f); }, Field::TYPE_FLOAT, 4, "f"},
      {"double", [](Field& f) { f.set_value(1.5); }, Field::TYPE_DOUBLE, 8, "d"},
      {"timestamp", [](Field& f) { f.set_timestamp(5); }, Field::TYPE_TIMESTAMP, 8, "t"},
      {"text", [&](Field& f) { f.set_value(units); }, Field::TYPE_USTRING, 1, "sS"},
      {"special text",
       [&](Field& f) {
         f.set_value(units);
         f.set_special_type(Field::TYPE_SPECIAL_USTRING);
       },
       Field::TYPE_SPECIAL_USTRING, 1, "sS"},
      {"binary", [](Field& f) { f.set_value(buffer_of("abc")); }, Field::TYPE_BINARY, 3, "vb"},
      {"binary without buffer", [](Field& f) { f.set_value(SharedPointer<DynamicBuffer>()); },
       Field::TYPE_BINARY, 0, "vb"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Field f;
    c.fill(f);
    EXPECT_EQ(c.type, f.get_type());
    EXPECT_EQ(c.type != Field::TYPE_NONE, f.has_value());
    EXPECT_EQ(c.length, f.get_value_length());
    EXPECT_EQ(c.accepted, accepted_getters(f));
  }
}

TEST_F(FieldTest, GettersReturnTheValues) {
  Field text(std::string("\xC3\xA9t\xC3\xA9"));
  orva::ustring units;
  ASSERT_EQ(0, text.get_value(units));
  EXPECT_EQ(3u, units.length());
  EXPECT_EQ(0x00E9, units.c_str()[0]);
  std::string utf8;
  ASSERT_EQ(0, text.get_value(utf8));
  EXPECT_EQ("\xC3\xA9t\xC3\xA9", utf8);
  EXPECT_EQ(0x00E9, text.get_ustring()[0]);
  EXPECT_EQ(nullptr, Field(5).get_ustring());

  SharedPointer<DynamicBuffer> buffer = buffer_of("xyz");
  Field binary(buffer);
  std::vector<unsigned char> bytes(1, '>');
  ASSERT_EQ(0, binary.get_value(bytes));
  EXPECT_EQ(std::string(">xyz"), std::string(bytes.begin(), bytes.end()));  // appended
  SharedPointer<DynamicBuffer> shared;
  ASSERT_EQ(0, binary.get_value(shared));
  EXPECT_EQ(buffer.get(), shared.get());
  EXPECT_EQ(buffer->get_data(), binary.get_value_data());
  EXPECT_EQ(nullptr, Field(5).get_value_data());

  double d = 0;
  ASSERT_EQ(0, Field(-2.25).get_value(d));
  EXPECT_EQ(-2.25, d);
  long long big = 0;
  ASSERT_EQ(0, Field(std::numeric_limits<long long>::min()).get_value(big));
  EXPECT_EQ(std::numeric_limits<long long>::min(), big);
}

// Texts set from UTF-8 and read back as UTF-8 are what orva::ustring makes of them,
// well-formed or not: a sequence that is not UTF-8 becomes U+FFFD, a surrogate alone
// U+FFFD, a surrogate pair one character.
TEST_F(FieldTest, TextConversionsMatchTheGeoLibrarysStrings) {
  const std::string kUtf8[] = {
      "",
      "plain ASCII: ;\\",
      std::string("zero \0 inside", 13),
      "K\xC3\xB6ln \xE6\x9D\xB1\xE4\xBA\xAC \xF0\x9F\x8F\xA0",
      "cut \xE6\x9D",  // a sequence cut by the end
      "lone \x80 continuation",
      "overlong \xC0\xAF and \xE0\x80\xAF",
      "surrogate \xED\xA0\x80 encoded",
      "beyond \xF4\x90\x80\x80 U+10FFFF",
      "\xFF\xFE",
  };
  for (const std::string& utf8 : kUtf8) {
    SCOPED_TRACE(::testing::PrintToString(utf8));
    const orva::ustring expected(utf8);
    Field f;
    ASSERT_EQ(0, f.set_value(utf8));
    orva::ustring units;
    ASSERT_EQ(0, f.get_value(units));
    EXPECT_EQ(expected, units);
    Field g;
    ASSERT_EQ(0, g.set_value(utf8.data(), static_cast<unsigned int>(utf8.size())));
    EXPECT_TRUE(f.is_equal(g, false));
    std::string back = "stale";
    ASSERT_EQ(0, f.get_value(back));
    EXPECT_EQ(expected.to_utf8(), back);
  }

  const std::vector<std::vector<unsigned short>> kUnits = {
      {0x41, 0xD83C, 0xDFE0, 0x42},  // a pair
      {0xD83C},                      // a high surrogate alone, at the end
      {0xD83C, 0x41},                // ... before another unit
      {0xDFE0, 0xD83C},              // low before high
      {0x7F, 0x80, 0x7FF, 0x800, 0xFFFF},
  };
  for (const std::vector<unsigned short>& text : kUnits) {
    Field f;
    ASSERT_EQ(0, f.set_value(text.data(), static_cast<unsigned int>(text.size())));
    orva::ustring units;
    units.assign(text.data(), static_cast<unsigned int>(text.size()));
    std::string back;
    ASSERT_EQ(0, f.get_value(back));
    EXPECT_EQ(units.to_utf8(), back) << ::testing::PrintToString(text);
  }
}

TEST_F(FieldTest, ToStringGivesEachTypesTextForm) {
  struct Case {
    const char* what;
    Field field;
    const char* text;
  } cases[] = {
      {"int32", Field(-5), "-5"},
      {"uint32", Field(3000000000u), "3000000000"},
      {"int64", Field(std::numeric_limits<long long>::min()), "-9223372036854775808"},
      {"uint64", Field(std::numeric_limits<unsigned long long>::max()), "18446744073709551615"},
      {"float", Field(0.1f), "0.1"},
      {"double", Field(1e20), "1e+20"},
      {"double precision", Field(1.0 / 3.0), "0.333333333333333"},
      {"text", Field(std::string("a\xC3\xA9")), "a\xC3\xA9"},
      {"binary", Field(buffer_of("abcd")), "YWJjZA=="},
      {"binary empty buffer", Field(SharedPointer<DynamicBuffer>(new DynamicBuffer())), ""},
  };
  for (const Case& c : cases) {
    std::string out = "previous";
    c.field.to_string(out);
    EXPECT_EQ(c.text, out) << c.what;
  }
  Field stamp;
  stamp.set_timestamp(0);
  std::string out;
  stamp.to_string(out);
  EXPECT_EQ("1970-01-01T00:00:00.000Z", out);
}

TEST_F(FieldTest, ToStringLeavesOutputOfValuelessFieldsUntouched) {
  Field none;
  Field no_buffer(SharedPointer<DynamicBuffer>{});
  for (const Field* f : {&none, &no_buffer}) {
    std::string out = "previous";
    f->to_string(out);
    EXPECT_EQ("previous", out);
  }
}

TEST_F(FieldTest, FromStringParsesEachTypeWithThirtyTwoBitLongRules) {
  struct Case {
    Field::DataType type;
    const char* text;
    orva::ErrorCode result;
    Field::DataType stored;
    const char* value;  // to_string of the result
  } cases[] = {
      {Field::TYPE_INT32, "99999999999", 0, Field::TYPE_INT32, "2147483647"},
      {Field::TYPE_INT32, "-99999999999", 0, Field::TYPE_INT32, "-2147483648"},
      {Field::TYPE_INT32, "  -17abc", 0, Field::TYPE_INT32, "-17"},
      {Field::TYPE_INT32, "", 0, Field::TYPE_INT32, "0"},
      {Field::TYPE_UINT32, "-1", 0, Field::TYPE_UINT32, "4294967295"},
      {Field::TYPE_UINT32, "5000000000", 0, Field::TYPE_UINT32, "4294967295"},
      {Field::TYPE_UINT32, "12abc", 0, Field::TYPE_UINT32, "12"},
      {Field::TYPE_INT64, " +12xyz", 0, Field::TYPE_INT64, "12"},
      {Field::TYPE_INT64, "99999999999999999999", 0, Field::TYPE_INT64, "9223372036854775807"},
      {Field::TYPE_UINT64, "18446744073709551615", 0, Field::TYPE_UINT64,
       "18446744073709551615"},
      {Field::TYPE_FLOAT, "0.1", 0, Field::TYPE_FLOAT, "0.1"},
      // Beyond the float range: the infinity of that sign, never an undefined cast.
      {Field::TYPE_FLOAT, "1e39", 0, Field::TYPE_FLOAT, "inf"},
      {Field::TYPE_FLOAT, "-1e300", 0, Field::TYPE_FLOAT, "-inf"},
      {Field::TYPE_DOUBLE, "-2.5e3", 0, Field::TYPE_DOUBLE, "-2500"},
      {Field::TYPE_TIMESTAMP, "2011-05-06T10:20:30.123Z", 0, Field::TYPE_TIMESTAMP,
       "2011-05-06T10:20:30.123Z"},
      {Field::TYPE_TIMESTAMP, "20110506T102030Z", 0, Field::TYPE_TIMESTAMP,
       "2011-05-06T10:20:30.000Z"},
      {Field::TYPE_TIMESTAMP, "yesterday", 3, Field::TYPE_NONE, "untouched"},
      {Field::TYPE_USTRING, "a\xC3\xA9", 0, Field::TYPE_USTRING, "a\xC3\xA9"},
      {Field::TYPE_SPECIAL_USTRING, "a", 0, Field::TYPE_SPECIAL_USTRING, "a"},
      {Field::TYPE_BINARY, "YWJjZA==", 0, Field::TYPE_BINARY, "YWJjZA=="},
      // Six characters holding four bytes: the partial last group is dropped.
      {Field::TYPE_BINARY, "YWJjZA", 0, Field::TYPE_BINARY, "YWJj"},
      {Field::TYPE_BINARY, "YW", 0, Field::TYPE_BINARY, ""},
      {Field::TYPE_KEYWORD, "x", 3, Field::TYPE_NONE, "untouched"},
      {Field::TYPE_NONE, "x", 3, Field::TYPE_NONE, "untouched"},
      {static_cast<Field::DataType>(12), "x", 3, Field::TYPE_NONE, "untouched"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("type ") + std::to_string(c.type) + " text '" + c.text + "'");
    Field f(42);
    f.set_name(std::string("kept"));
    f.set_external(true);
    f.set_modified(false);
    EXPECT_EQ(c.result, f.from_string(c.type, c.text));
    EXPECT_EQ(c.stored, f.get_type());
    EXPECT_EQ("kept", f.get_name());
    EXPECT_TRUE(f.is_modified());
    EXPECT_FALSE(f.is_external());
    std::string out = "untouched";
    f.to_string(out);
    EXPECT_EQ(c.value, out);
  }
}

TEST_F(FieldTest, FromStringOfShortBase64KeepsAnEmptyBuffer) {
  Field f;
  ASSERT_EQ(0, f.from_string(Field::TYPE_BINARY, "YW"));
  SharedPointer<DynamicBuffer> buffer;
  f.get_value(buffer);
  ASSERT_TRUE(buffer.is_valid());
  EXPECT_EQ(0u, buffer->get_data_length());
  EXPECT_EQ("000000000B00000000", record_hex(f));
}

TEST_F(FieldTest, StringToIntegerHelpersFollowTheCLibraryRules) {
  using orva::keldra::internal::string_to_int64;
  using orva::keldra::internal::string_to_uint32;
  using orva::keldra::internal::string_to_uint64;
  struct Case {
    const char* text;
    unsigned int u32;
    unsigned long long u64;
    long long i64;
  } cases[] = {
      {"42", 42u, 42ull, 42},
      {"  \t+7x", 7u, 7ull, 7},
      {"abc", 0u, 0ull, 0},
      {"", 0u, 0ull, 0},
      {"-1", 4294967295u, 18446744073709551615ull, -1},
      {"-5", 4294967291u, 18446744073709551611ull, -5},
      {"4294967295", 4294967295u, 4294967295ull, 4294967295ll},
      {"4294967296", 4294967295u, 4294967296ull, 4294967296ll},
      {"5000000000", 4294967295u, 5000000000ull, 5000000000ll},
      {"-5000000000", 4294967295u, 18446744068709551616ull, -5000000000ll},
      {"99999999999999999999", 4294967295u, 18446744073709551615ull, 9223372036854775807ll},
      {"-99999999999999999999", 4294967295u, 18446744073709551615ull,
       std::numeric_limits<long long>::min()},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.u32, string_to_uint32(c.text)) << c.text;
    EXPECT_EQ(c.u64, string_to_uint64(c.text)) << c.text;
    EXPECT_EQ(c.i64, string_to_int64(c.text)) << c.text;
  }
}

TEST_F(FieldTest, Base64ToBinaryKeepsWholeGroupsOnly) {
  using orva::keldra::internal::base64_to_binary;
  struct Case {
    const char* text;
    const char* bytes;
  } cases[] = {
      {"YWJj", "abc"}, {"YWI=", "ab"}, {"YWJjZA", "abc"}, {"YWJ", ""}, {"", ""},
  };
  for (const Case& c : cases) {
    SharedPointer<DynamicBuffer> buffer = base64_to_binary(
        reinterpret_cast<const unsigned char*>(c.text), static_cast<unsigned int>(strlen(c.text)));
    ASSERT_TRUE(buffer.is_valid()) << c.text;
    std::vector<unsigned char> bytes;
    buffer->copy(bytes);
    EXPECT_EQ(c.bytes, std::string(bytes.begin(), bytes.end())) << c.text;
  }
}

// Record layouts, and each written record read back into an equal field.
TEST_F(FieldTest, RecordLayoutsRoundTrip) {
  auto named = [](Field f, const char* name) {
    f.set_name(std::string(name));
    return f;
  };
  Field stamp;
  stamp.set_timestamp(-2);
  Field special(std::string("a"));
  special.set_special_type(Field::TYPE_SPECIAL_USTRING);
  struct Case {
    const char* what;
    Field field;
    const char* hex;
  } cases[] = {
      {"int32", named(Field(-2), "n"), "010000006E" "01" "FEFFFFFF"},
      {"uint32", Field(0x01020304u), "00000000" "02" "04030201"},
      {"int64", Field(-2LL), "00000000" "03" "FEFFFFFFFFFFFFFF"},
      {"uint64", Field(0x0102030405060708ULL), "00000000" "04" "0807060504030201"},
      {"float", Field(1.0f), "00000000" "05" "0000803F"},
      {"double", Field(1.0), "00000000" "06" "000000000000F03F"},
      {"timestamp", stamp, "00000000" "07" "FEFFFFFFFFFFFFFF"},
      {"text", named(Field(std::string("\xC3\xA9")), "n"), "010000006E" "08" "02000000E900"},
      {"empty text", Field(std::string()), "00000000" "08" "00000000"},
      {"special text", special, "00000000" "0A" "020000006100"},
      {"binary", Field(buffer_of("ab")), "00000000" "0B" "020000006162"},
      {"binary without buffer", Field(SharedPointer<DynamicBuffer>()), "00000000" "0B" "00000000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.hex, record_hex(c.field));
    Field back(7);
    back.set_name(std::string("old"));
    ASSERT_TRUE(read_record(back, c.hex));
    EXPECT_TRUE(back.is_equal(c.field, true));
    EXPECT_TRUE(back.is_modified());
  }
}

// A text block of an odd byte count holds its whole code units only; a block of one
// byte is the empty text, which holds no units at all.
TEST_F(FieldTest, OddTextBlocksKeepWholeUnitsOnly) {
  const struct {
    const char* hex;
    unsigned int units;
  } cases[] = {
      {"00000000" "08" "01000000" "41", 0},
      {"00000000" "0A" "01000000" "41", 0},
      {"00000000" "08" "03000000" "410042", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.hex);
    Field f(std::string("old"));
    ASSERT_TRUE(read_record(f, c.hex));
    ASSERT_EQ(c.units, f.get_value_length());
    if (c.units == 0) {
      EXPECT_EQ(nullptr, f.get_ustring());
      Field empty{std::string()};
      if (f.get_type() == Field::TYPE_SPECIAL_USTRING) {
        empty.set_special_type(Field::TYPE_SPECIAL_USTRING);
      }
      EXPECT_TRUE(f.is_equal(empty, true));
    } else {
      ASSERT_NE(nullptr, f.get_ustring());
      EXPECT_EQ(0x41, f.get_ustring()[0]);
      EXPECT_EQ(0, f.get_ustring()[1]);
    }
  }
}

TEST_F(FieldTest, RecordWithoutValueTypeReadsBackUnnamed) {
  Field named_none;
  named_none.set_name(std::string("n"));
  EXPECT_EQ("010000006E00", record_hex(named_none));
  const char* hexes[] = {"010000006E00", "010000006E09", "010000006E0C", "010000006E0F"};
  for (const char* hex : hexes) {
    Field f(5);
    ASSERT_TRUE(read_record(f, hex)) << hex;
    EXPECT_EQ(Field::TYPE_NONE, f.get_type()) << hex;
    EXPECT_FALSE(f.get_name_handle().is_valid()) << hex;
  }
}

TEST_F(FieldTest, ShortRecordsFailToRead) {
  const char* hexes[] = {
      "",                          // nothing
      "010000",                    // short name count
      "050000006E",                // name shorter than announced
      "00000000",                  // no type byte
      "0000000001FEFF",            // short int32
      "0000000008040000006100",    // text shorter than announced
      "000000000BFFFFFFFF61",      // binary far longer than the record
  };
  for (const char* hex : hexes) {
    Field f;
    EXPECT_FALSE(read_record(f, hex)) << hex;
  }
}

TEST_F(FieldTest, ExternalFlagIsKeptByAssignmentButNotByRecords) {
  Field f(3);
  f.set_external(true);
  f.set_modified(false);
  EXPECT_TRUE(f.is_external());
  EXPECT_FALSE(f.is_modified());  // set_external marks nothing
  Field copy(f);
  EXPECT_TRUE(copy.is_external());
  Field back;
  ASSERT_TRUE(read_record(back, record_hex(f)));
  EXPECT_FALSE(back.is_external());
  f.set_value(std::string("x"));
  EXPECT_FALSE(f.is_external());
}

TEST_F(FieldTest, EqualityComparesBitsTypesAndOptionallyNames) {
  double nan = std::numeric_limits<double>::quiet_NaN();
  SharedPointer<DynamicBuffer> shared = buffer_of("ab");
  Field a_name(1);
  a_name.set_name(std::string("a"));
  Field b_name(1);
  b_name.set_name(std::string("b"));
  struct Case {
    const char* what;
    Field left;
    Field right;
    bool with_names;
    bool equal;
  } cases[] = {
      {"same NaN bits", Field(nan), Field(nan), true, true},
      {"zero and minus zero", Field(0.0), Field(-0.0), true, false},
      {"float zero and minus zero", Field(0.0f), Field(-0.0f), true, false},
      {"int32 and uint32 of the same bits", Field(1), Field(1u), true, false},
      {"texts", Field(std::string("ab")), Field(std::string("ab")), true, true},
      {"texts differ in length", Field(std::string("ab")), Field(std::string("abc")), true, false},
      {"shared buffer", Field(shared), Field(shared), true, true},
      {"equal buffers", Field(buffer_of("ab")), Field(buffer_of("ab")), true, true},
      {"different buffers", Field(buffer_of("ab")), Field(buffer_of("ac")), true, false},
      {"no buffers", Field(SharedPointer<DynamicBuffer>()), Field(SharedPointer<DynamicBuffer>()),
       true, true},
      {"one without buffer", Field(SharedPointer<DynamicBuffer>()), Field(buffer_of("")), true,
       false},
      {"two fields of type none", Field(), Field(), false, false},
      {"names taking part", a_name, b_name, true, false},
      {"names left out", a_name, b_name, false, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.equal, c.left.is_equal(c.right, c.with_names)) << c.what;
  }
  Field none;
  EXPECT_TRUE(none.is_equal(none, true));
}

TEST_F(FieldTest, ModifiedMarkRules) {
  Field f(5);
  EXPECT_TRUE(f.is_modified());

  // Setters and set_name mark even when nothing changes.
  std::vector<std::function<void(Field&)>> marking = {
      [](Field& x) { x.set_value(5); },
      [](Field& x) { x.set_name(x.get_name_handle()); },
      [](Field& x) { x.reset_value(); },
      [](Field& x) { x.from_string(Field::TYPE_INT32, "5"); },
  };
  for (auto& change : marking) {
    f.set_modified(false);
    change(f);
    EXPECT_TRUE(f.is_modified());
  }

  // Type changes of the lower level leave the mark.
  Field text(std::string("t"));
  text.set_modified(false);
  EXPECT_EQ(0, text.set_special_type(Field::TYPE_SPECIAL_USTRING));
  EXPECT_EQ(3, text.set_special_type(Field::TYPE_SPECIAL_USTRING));  // no longer type 8
  text.set_type(Field::TYPE_USTRING);
  text.set_external(true);
  EXPECT_FALSE(text.is_modified());
  EXPECT_EQ(3, Field(1).set_special_type(Field::TYPE_SPECIAL_USTRING));

  // Assignment of an equal field keeps the target's mark; a different one sets it.
  Field target(7);
  target.set_modified(false);
  Field equal(7);
  target = equal;
  EXPECT_FALSE(target.is_modified());
  target = Field(8);
  EXPECT_TRUE(target.is_modified());

  // A copy is always marked, even of an unmarked field.
  Field copy(target);
  EXPECT_TRUE(copy.is_modified());
}

TEST_F(FieldTest, AssignmentSharesBuffersAndCopiesTexts) {
  SharedPointer<DynamicBuffer> buffer = buffer_of("xy");
  Field source(buffer);
  source.set_name(std::string("bin"));
  Field target(std::string("old text"));
  target = source;
  SharedPointer<DynamicBuffer> held;
  target.get_value(held);
  EXPECT_EQ(buffer.get(), held.get());
  EXPECT_EQ("bin", target.get_name());
  EXPECT_EQ(4u, buffer->get_ref_count());  // |buffer|, |source|, |target|, |held|

  Field text(std::string("abc"));
  Field other;
  other = text;
  EXPECT_NE(text.get_ustring(), other.get_ustring());
  text.set_value(std::string("zzz"));
  std::string value;
  other.get_value(value);
  EXPECT_EQ("abc", value);

  // A text set from its own units survives the release of the old copy.
  text.set_value(text.get_ustring() + 1, 2);
  text.get_value(value);
  EXPECT_EQ("zz", value);
}

TEST_F(FieldTest, ResetKeepsOrDropsTheName) {
  Field f(std::string("v"));
  f.set_name(std::string("n"));
  f.set_external(true);
  f.reset_value();
  EXPECT_EQ(Field::TYPE_NONE, f.get_type());
  EXPECT_EQ("n", f.get_name());
  EXPECT_FALSE(f.is_external());
  f.reset();
  EXPECT_EQ("", f.get_name());
  EXPECT_TRUE(f.is_modified());

  Field b;
  EXPECT_EQ(0, b.init_buffer());
  EXPECT_EQ(Field::TYPE_NONE, b.get_type());  // init_buffer does not change the type
}

TEST_F(FieldTest, InitEmptiesAnyFieldWithoutLeakingItsValue) {
  SharedPointer<DynamicBuffer> shared = buffer_of("ab");
  const struct {
    const char* what;
    Field field;
  } cases[] = {
      {"int", Field(5)},
      {"text", Field(std::string("text"))},
      {"binary", Field(shared)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Field f(c.field);
    f.set_name(std::string("n"));
    f.set_external(true);
    f.set_modified(false);
    f.init();
    EXPECT_EQ(Field::TYPE_NONE, f.get_type());
    EXPECT_FALSE(f.get_name_handle().is_valid());
    EXPECT_TRUE(f.is_modified());
    EXPECT_FALSE(f.is_external());
    EXPECT_EQ(0u, f.get_value_length());
    EXPECT_EQ(nullptr, f.get_ustring());
    f.set_type(Field::TYPE_BINARY);
    EXPECT_EQ(nullptr, f.get_value_data());  // the buffer is no longer held
  }
  EXPECT_EQ(2u, shared->get_ref_count());  // |shared| and the binary case's field
}

TEST_F(FieldTest, BinarySettersCopyBytes) {
  std::vector<unsigned char> bytes = {1, 2, 3};
  Field f;
  EXPECT_EQ(0, f.set_value(bytes));
  bytes[0] = 9;
  EXPECT_EQ(1, f.get_value_data()[0]);
  EXPECT_EQ(3u, f.get_value_length());
  EXPECT_EQ(0, f.set_value_data(f.get_value_data() + 1, 2));  // from its own buffer
  EXPECT_EQ("000000000B020000000203", record_hex(f));
}

// --- field lists ---

class FieldListTest : public objects_test::PoolTest {};

Field named_field(const char* name, int value) {
  Field f(value);
  f.set_name(std::string(name));
  return f;
}

TEST_F(FieldListTest, LookupsByHandleAndText) {
  FieldList list;
  list.push_back(named_field("a", 1));
  list.push_back(Field(2));  // unnamed
  list.push_back(named_field("b", 3));
  list.push_back(named_field("a", 4));
  StringPool::StringHandle a = list[0].get_name_handle();
  struct Case {
    const char* name;
    unsigned int start;
    int index;
  } cases[] = {
      {"a", 0, 0}, {"a", 1, 3}, {"a", 4, -1}, {"a", 99, -1}, {"b", 0, 2},
      {"", 0, 1},  // an empty text finds the first unnamed field
      {"c", 0, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.index, list.find_field(std::string(c.name), c.start)) << c.name << c.start;
  }
  EXPECT_EQ(3, list.find_field(a, 1));
  EXPECT_EQ(1, list.find_field(StringPool::StringHandle(), 0));
}

TEST_F(FieldListTest, SetFieldReplacesInPlaceOrAppends) {
  FieldList list;
  list.push_back(named_field("a", 1));
  list.push_back(Field(2));
  list.set_modified(false);
  list[0].set_modified(false);

  Field replacement(std::string("text"));
  replacement.set_name(std::string("a"));
  EXPECT_EQ(0, list.set_field(replacement));
  EXPECT_FALSE(list.is_modified());
  EXPECT_TRUE(list[0].is_modified());
  EXPECT_EQ(Field::TYPE_USTRING, list[0].get_type());

  list[0].set_modified(false);
  EXPECT_EQ(0, list.set_field(replacement));  // equal: nothing changes
  EXPECT_FALSE(list[0].is_modified());

  EXPECT_EQ(1, list.set_field(Field(9)));  // unnamed replaces the first unnamed
  int value = 0;
  list[1].get_value(value);
  EXPECT_EQ(9, value);

  EXPECT_EQ(2, list.set_field(named_field("b", 5)));
  EXPECT_TRUE(list.is_modified());
  EXPECT_EQ(3u, list.size());
}

TEST_F(FieldListTest, RemoveErasesEveryFieldOfTheName) {
  FieldList list;
  for (const char* name : {"x", "y", "x", "x", "z"}) list.push_back(named_field(name, 0));
  list.set_modified(false);
  list.remove(std::string("x"));
  ASSERT_EQ(2u, list.size());
  EXPECT_EQ("y", list[0].get_name());
  EXPECT_EQ("z", list[1].get_name());
  EXPECT_TRUE(list.is_modified());
  list.remove(list[0].get_name_handle());
  ASSERT_EQ(1u, list.size());
  EXPECT_THROW(list.at(1), std::out_of_range);
}

TEST_F(FieldListTest, GrowthAndInsertKeepMarksWhileEraseMarksMovedFields) {
  FieldList list;
  for (int i = 0; i < 3; ++i) list.push_back(named_field("f", i));
  for (Field& f : list) f.set_modified(false);
  // Enough appends to make the vector reallocate several times.
  for (int i = 0; i < 100; ++i) list.push_back(named_field("g", i));
  list.insert(0, named_field("h", 0));
  for (unsigned int i = 1; i <= 3; ++i) EXPECT_FALSE(list[i].is_modified()) << i;

  // erase moves later fields down by assignment: a field is marked unless it equals
  // the one it overwrites.
  FieldList small;
  small.push_back(named_field("a", 1));
  small.push_back(named_field("b", 2));
  small.push_back(named_field("b", 2));
  for (Field& f : small) f.set_modified(false);
  small.erase(0);
  ASSERT_EQ(2u, small.size());
  EXPECT_TRUE(small[0].is_modified());   // "b" over "a"
  EXPECT_FALSE(small[1].is_modified());  // "b" over an equal "b"
}

TEST_F(FieldListTest, RecordRoundTripAndExternalFlags) {
  FieldList list;
  list.push_back(named_field("a", 1));
  list.push_back(Field(std::string("t")));
  EXPECT_EQ("02000000" "0100000061" "01" "01000000" "00000000" "08" "020000007400",
            record_hex(list));
  FieldList back;
  back.push_back(Field(99));
  back.set_modified(false);
  ASSERT_TRUE(read_record(back, record_hex(list)));
  ASSERT_EQ(2u, back.size());
  EXPECT_TRUE(back.is_modified());
  EXPECT_TRUE(back[0] == list[0]);
  EXPECT_TRUE(back[1] == list[1]);

  list.set_modified(false);
  list.set_external(true);
  EXPECT_TRUE(list[0].is_external() && list[1].is_external());
  EXPECT_FALSE(list.is_modified());
}

}  // namespace
