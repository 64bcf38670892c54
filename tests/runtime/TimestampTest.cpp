#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <ctime>
#include <string>

#include "runtime/Timestamp.h"

namespace {

using orva::keldra::internal::Timestamp;
using orva::keldra::internal::safe_gmtime;

const long long kNotSet = Timestamp::NOT_SET;
const long long kMay6 = 1304677230000LL;  // 2011-05-06T10:20:30Z

// Formatting and parsing must not depend on the machine's zone: run in one far from UTC.
class TimestampTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = getenv("TZ");
    m_saved = tz ? tz : "";
    m_had = tz != nullptr;
    setenv("TZ", "NPT-5:45", 1);
    tzset();
  }
  void TearDown() override {
    if (m_had) {
      setenv("TZ", m_saved.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  std::string m_saved;
  bool m_had = false;
};

TEST_F(TimestampTest, NotSetIsTheLargestValue) {
  Timestamp unset;
  EXPECT_FALSE(unset.is_valid());
  EXPECT_EQ(LLONG_MAX, static_cast<long long>(unset));
  EXPECT_TRUE(Timestamp(0).is_valid());
  EXPECT_TRUE(Timestamp(-1).is_valid());
  EXPECT_TRUE(Timestamp(LLONG_MAX - 1) < unset);
  EXPECT_TRUE(unset > Timestamp(0));
  EXPECT_TRUE(Timestamp(5) == Timestamp(5));
  EXPECT_FALSE(Timestamp(-5) > Timestamp(5));
  // Formatting "not set" gives no text rather than a date far in the future.
  EXPECT_EQ("", unset.to_iso());
  EXPECT_EQ("", unset.to_iso_extended(true));
  EXPECT_EQ("", unset.to_http_date());
  // The extremes split into seconds and milliseconds without overflow.
  EXPECT_EQ("-292275055-05-16T16:47:04.192Z", Timestamp(LLONG_MIN).to_iso_extended(true));
}

TEST_F(TimestampTest, TextForms) {
  struct Case {
    long long value;
    const char* basic;
    const char* extended;
    const char* extended_ms;
    const char* http;
  } cases[] = {
      {0, "19700101T000000Z", "1970-01-01T00:00:00Z", "1970-01-01T00:00:00.000Z",
       "Thu, 01 Jan 1970 00:00:00 GMT"},
      {1304677230123LL, "20110506T102030Z", "2011-05-06T10:20:30Z", "2011-05-06T10:20:30.123Z",
       "Fri, 06 May 2011 10:20:30 GMT"},
      {951782400000LL, "20000229T000000Z", "2000-02-29T00:00:00Z", "2000-02-29T00:00:00.000Z",
       "Tue, 29 Feb 2000 00:00:00 GMT"},
      // Before 1970 the seconds count downwards and the milliseconds stay 0..999.
      {-1, "19691231T235959Z", "1969-12-31T23:59:59Z", "1969-12-31T23:59:59.999Z",
       "Wed, 31 Dec 1969 23:59:59 GMT"},
      {-1000, "19691231T235959Z", "1969-12-31T23:59:59Z", "1969-12-31T23:59:59.000Z",
       "Wed, 31 Dec 1969 23:59:59 GMT"},
      {-1001, "19691231T235958Z", "1969-12-31T23:59:58Z", "1969-12-31T23:59:58.999Z",
       "Wed, 31 Dec 1969 23:59:58 GMT"},
      {-14182939500LL, "19690720T201740Z", "1969-07-20T20:17:40Z", "1969-07-20T20:17:40.500Z",
       "Sun, 20 Jul 1969 20:17:40 GMT"},
      {-2208556800000LL, "19000106T000000Z", "1900-01-06T00:00:00Z", "1900-01-06T00:00:00.000Z",
       "Sat, 06 Jan 1900 00:00:00 GMT"},
      {253402300799999LL, "99991231T235959Z", "9999-12-31T23:59:59Z", "9999-12-31T23:59:59.999Z",
       "Fri, 31 Dec 9999 23:59:59 GMT"},
  };
  for (const Case& c : cases) {
    Timestamp t(c.value);
    EXPECT_EQ(c.basic, t.to_iso()) << c.value;
    EXPECT_EQ(c.extended, t.to_iso_extended(false)) << c.value;
    EXPECT_EQ(c.extended_ms, t.to_iso_extended(true)) << c.value;
    EXPECT_EQ(c.http, t.to_http_date()) << c.value;
  }
}

enum Form { EXTENDED, BASIC, ANY };

TEST_F(TimestampTest, Parsing) {
  struct Case {
    const char* text;
    Form form;
    bool strict;
    long long expected;
  } cases[] = {
      {"2011-05-06T10:20:30.123Z", ANY, true, 1304677230123LL},
      {"20110506T102030Z", ANY, true, kMay6},
      {"2011-05-06T10:20:30Z", ANY, true, kMay6},
      {"2011-05-06T10:20:30Z", EXTENDED, true, kMay6},
      {"20110506T102030Z", BASIC, true, kMay6},
      {"20110506T102030Z", EXTENDED, true, kNotSet},
      // Zones: the UTC time is the local time minus the offset.
      {"2011-05-06T12:20:30+02:00", EXTENDED, true, kMay6},
      {"2011-05-06T12:20:30+0200", EXTENDED, true, kMay6},
      {"2011-05-06T12:20:30+02", EXTENDED, true, kMay6},
      {"2011-05-06T05:20:30-05:00", EXTENDED, true, kMay6},
      {"2011-05-06T16:05:30+05:45", EXTENDED, true, kMay6},
      {"2011-05-06T10:20:30.250-01:30", EXTENDED, true, kMay6 + 5400000 + 250},
      {"20110506T122030+0200", BASIC, true, kMay6},
      {"2011-05-06T12:20:30+", EXTENDED, true, kNotSet},
      {"2011-05-06T12:20:30+", EXTENDED, false, 1304684430000LL},
      {"2011-05-06T12:20:30+xx", EXTENDED, true, kNotSet},
      // Missing fields: strict refuses, otherwise they count as 0.
      {"2011-05-06T10:20:30", EXTENDED, true, kNotSet},
      {"2011-05-06T10:20:30", EXTENDED, false, kMay6},
      {"2011-05-06", EXTENDED, true, kNotSet},
      {"2011-05-06", EXTENDED, false, 1304640000000LL},
      {"2011-05-06 10:20:30Z", EXTENDED, true, kNotSet},
      {"2011-05-06 10:20:30Z", EXTENDED, false, 1304640000000LL},
      {"2011-05-06T10:2Z", EXTENDED, true, kNotSet},
      {"2011-05-06T10:2Z", EXTENDED, false, 1304640000000LL},
      {"garbage", EXTENDED, true, kNotSet},
      {"", ANY, true, kNotSet},
      {"", ANY, false, 0},
      {"2011", ANY, false, 0},  // too short for the extended form; the basic one fails
      // Fractions: one or two digits are tenths and hundredths.
      {"2011-05-06T10:20:30.5Z", EXTENDED, true, kMay6 + 500},
      {"2011-05-06T10:20:30.05Z", EXTENDED, true, kMay6 + 50},
      {"2011-05-06T10:20:30.007Z", EXTENDED, true, kMay6 + 7},
      {"2011-05-06T10:20:30.1239Z", EXTENDED, true, kMay6 + 123},
      {"2011-05-06T10:20:30.Z", EXTENDED, true, kMay6},
      // Before 1970 the fraction still moves forward in time.
      {"1969-12-31T23:59:59.999Z", EXTENDED, true, -1},
      {"1969-12-31T23:59:59.5Z", EXTENDED, true, -500},
      {"1969-07-20T20:17:40.500Z", EXTENDED, true, -14182939500LL},
      {"1900-01-06T00:00:00Z", EXTENDED, true, -2208556800000LL},
      // Out-of-range dates carry over.
      {"2011-13-01T00:00:00Z", EXTENDED, true, 1325376000000LL},
      {"2000-02-30T00:00:00Z", EXTENDED, true, 951782400000LL + 86400000},
      // Text after the parsed fields is ignored.
      {"2011-05-06T10:20:30Z trailing", EXTENDED, true, kMay6},
  };
  for (const Case& c : cases) {
    Timestamp t = c.form == EXTENDED ? Timestamp::from_iso_extended(c.text, c.strict)
                  : c.form == BASIC  ? Timestamp::from_iso(c.text, c.strict)
                                     : Timestamp::from_iso_any(c.text, c.strict);
    EXPECT_EQ(c.expected, static_cast<long long>(t))
        << '"' << c.text << "\" form " << c.form << " strict " << c.strict;
  }
}

TEST_F(TimestampTest, FormattedTextParsesBack) {
  const long long values[] = {0,       1,          -1,          999,         -999,
                              1000,    -1001,      kMay6 + 7,   -14182939500LL, 951782400000LL,
                              -2208556800000LL, 253402300799999LL, -62135596800000LL + 1};
  for (long long v : values) {
    Timestamp t(v);
    EXPECT_EQ(v,
              static_cast<long long>(Timestamp::from_iso_extended(t.to_iso_extended(true), true)))
        << v;
    EXPECT_EQ(v, static_cast<long long>(Timestamp::from_iso_any(t.to_iso_extended(true), true)))
        << v;
    long long whole = v - ((v % 1000) + 1000) % 1000;
    EXPECT_EQ(whole, static_cast<long long>(Timestamp::from_iso(t.to_iso(), true))) << v;
    EXPECT_EQ(whole, static_cast<long long>(Timestamp::from_iso_any(t.to_iso(), true))) << v;
  }
}

TEST_F(TimestampTest, ZoneOffsets) {
  struct Case {
    const char* text;
    const char* format;
    int count;
    bool ok;
    int seconds;
  } cases[] = {
      {"+02:30", "%2d:%2d", 2, true, 9000},
      {"+0230", "%2d:%2d", 2, false, 0},
      {"+0230", "%2d%2d", 2, true, 9000},
      {"+02", "%2d", 1, true, 7200},
      {"+02", "%2d%2d", 2, false, 0},
      {"+", "%2d", 1, false, 0},
      // Formats without a width: offsets beyond an int are refused.
      {"+596523", "%d", 1, true, 2147482800},
      {"+-596523", "%d", 1, true, -2147482800},
      {"+596524", "%d", 1, false, 0},
      {"+967295", "%d", 1, false, 0},
      {"+0:2147483647", "%d:%d", 2, false, 0},
  };
  for (const Case& c : cases) {
    int offset = -1;
    EXPECT_EQ(c.ok, Timestamp::zone_from_string(c.text, 1, c.format, c.count, offset)) << c.text;
    EXPECT_EQ(c.ok ? c.seconds : -1, offset) << c.text;
  }
  int offset = -1;
  EXPECT_FALSE(Timestamp::zone_from_string("+02", 9, "%2d", 1, offset));
}

// Formats without a width can read years whose milliseconds leave 64 bits: those
// give "not set" instead of a wrapped value.
TEST_F(TimestampTest, TimesBeyondTheMillisecondRangeAreNotSet) {
  struct Case {
    const char* text;
    const char* date_format;
    const char* time_format;
    bool strict;
    bool valid;
  } cases[] = {
      {"292000000-1-1", "%d-%d-%d", nullptr, true, true},
      {"-292000000-1-1", "%d-%d-%d", nullptr, true, true},
      {"293000000-1-1", "%d-%d-%d", nullptr, true, false},
      {"-293000000-1-1", "%d-%d-%d", nullptr, false, false},
      {"2147483647-2147483647-2147483647", "%d-%d-%d", nullptr, false, false},
      {"2147483647-1-1", "%d-%d-%d", "T%d:%d:%d", false, false},
      {"1-1-1T2147483647:2147483647:2147483647Z", "%d-%d-%d", "T%d:%d:%d", true, true},
      {"292200000-1-1T2147483647:0:0Z", "%d-%d-%d", "T%d:%d:%d", true, false},
  };
  for (const Case& c : cases) {
    Timestamp t = Timestamp::from_string(c.text, c.date_format, c.time_format, nullptr, c.strict);
    EXPECT_EQ(c.valid, t.is_valid()) << c.text << " = " << static_cast<long long>(t);
  }
}

TEST_F(TimestampTest, SafeGmtimeCopiesOrLeavesUntouched) {
  long seconds = 1304677230;
  tm out = {};
  ASSERT_TRUE(safe_gmtime(&seconds, &out));
  EXPECT_EQ(111, out.tm_year);
  EXPECT_EQ(4, out.tm_mon);
  EXPECT_EQ(6, out.tm_mday);
  EXPECT_EQ(10, out.tm_hour);  // UTC, not the process's zone

  long huge = LONG_MAX;
  tm untouched = {};
  untouched.tm_year = 42;
  EXPECT_FALSE(safe_gmtime(&huge, &untouched));
  EXPECT_EQ(42, untouched.tm_year);
}

TEST_F(TimestampTest, CurrentTimeIsWholeSeconds) {
  long long before = static_cast<long long>(time(nullptr)) * 1000;
  long long now = Timestamp::get_current();
  long long after = static_cast<long long>(time(nullptr)) * 1000;
  EXPECT_EQ(0, now % 1000);
  EXPECT_LE(before, now);
  EXPECT_GE(after, now);
}

}  // namespace
