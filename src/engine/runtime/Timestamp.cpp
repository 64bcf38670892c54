#include "runtime/Timestamp.h"

#include <climits>
#include <cstdio>
#include <cstring>

namespace orva {
namespace keldra {
namespace internal {

namespace {

const char* const kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

long long floor_div(long long a, long long b) {
  long long q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

// Days from 1970-01-01 to the given day of the proleptic Gregorian calendar. Months
// and days outside their range carry over (month 13 is January of the next year).
long long days_from_civil(long long year, long long month, long long day) {
  year += floor_div(month - 1, 12);
  month = month - 1 - floor_div(month - 1, 12) * 12 + 1;  // 1..12
  // Shift the year to start in March so that the leap day is the year's last.
  long long y = month <= 2 ? year - 1 : year;
  long long era = floor_div(y, 400);
  long long yoe = y - era * 400;
  long long mp = (month + 9) % 12;
  long long doy = (153 * mp + 2) / 5;
  long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 + (day - 1);
}

// Splits a valid value into whole seconds (rounded down) and milliseconds 0..999.
bool split(long long value, long* seconds, int* ms, tm* out) {
  if (value == Timestamp::NOT_SET) return false;
  long long s = value / 1000;
  int rest = static_cast<int>(value % 1000);
  if (rest < 0) {
    rest += 1000;
    --s;
  }
  *ms = rest;
  *seconds = static_cast<long>(s);
  return safe_gmtime(seconds, out);
}

// Reads up to three digits of a fraction of a second as milliseconds: "5" is 500,
// "05" is 50, "123" is 123; further digits are dropped.
int read_fraction(const char* digits) {
  int ms = 0;
  int n = 0;
  for (; n < 3 && digits[n] >= '0' && digits[n] <= '9'; ++n) ms = ms * 10 + (digits[n] - '0');
  for (int i = n; n > 0 && i < 3; ++i) ms *= 10;
  return ms;
}

// Seconds and milliseconds as a timestamp; "not set" when the milliseconds do not
// fit in 64 bits (fields read with unbounded formats can get that far).
Timestamp from_seconds(long long seconds, int ms) {
  if (seconds > LLONG_MAX / 1000 - 1 || seconds < LLONG_MIN / 1000 + 1) return Timestamp();
  return Timestamp(seconds * 1000 + ms);
}

}  // namespace

bool safe_gmtime(long* seconds, tm* out) {
  if (!seconds || !out) return false;
  time_t t = static_cast<time_t>(*seconds);
  tm result;
  if (!gmtime_r(&t, &result)) return false;
  *out = result;
  return true;
}

Timestamp Timestamp::get_current() {
  return Timestamp(static_cast<long long>(time(nullptr)) * 1000);
}

std::string Timestamp::to_iso() const { return to_string("%04d%02d%02dT%02d%02d%02dZ"); }

std::string Timestamp::to_iso_extended(bool with_ms) const {
  return to_string(with_ms ? "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ"
                           : "%04d-%02d-%02dT%02d:%02d:%02dZ");
}

std::string Timestamp::to_string(const char* format) const {
  long seconds;
  int ms;
  tm t;
  if (!format || !split(m_value, &seconds, &ms, &t)) return std::string();
  char text[128];
  // Formats without milliseconds ignore the seventh argument.
  int n = snprintf(text, sizeof text, format, t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour,
                   t.tm_min, t.tm_sec, ms);
  if (n < 0) return std::string();
  return std::string(text, static_cast<size_t>(n) < sizeof text ? n : sizeof text - 1);
}

std::string Timestamp::to_http_date() const {
  long seconds;
  int ms;
  tm t;
  if (!split(m_value, &seconds, &ms, &t)) return std::string();
  char text[64];
  snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", kWeekdays[t.tm_wday],
           t.tm_mday, kMonths[t.tm_mon], t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
  return text;
}

Timestamp Timestamp::from_iso_extended(const std::string& s, bool strict) {
  return from_string(s, "%4d-%2d-%2d", "T%2d:%2d:%2d", ".%3d", strict);
}

Timestamp Timestamp::from_iso(const std::string& s, bool strict) {
  return from_string(s, "%4d%2d%2d", "T%2d%2d%2d", nullptr, strict);
}

Timestamp Timestamp::from_iso_any(const std::string& s, bool strict) {
  if (s.size() > 5 && s[4] == '-') {
    Timestamp t = from_iso_extended(s, strict);
    if (t.is_valid()) return t;
  }
  return from_iso(s, strict);
}

bool Timestamp::zone_from_string(const std::string& s, int pos, const char* format, int count,
                                 int& offset_seconds) {
  if (pos < 0 || static_cast<size_t>(pos) > s.size()) return false;
  int hours = 0;
  int minutes = 0;
  if (sscanf(s.c_str() + pos, format, &hours, &minutes) != count) return false;
  const long long offset = (static_cast<long long>(hours) * 60 + minutes) * 60;
  if (offset < INT_MIN || offset > INT_MAX) return false;
  offset_seconds = static_cast<int>(offset);
  return true;
}

Timestamp Timestamp::from_string(const std::string& s, const char* date_format,
                                 const char* time_format, const char* ms_format, bool strict) {
  const Timestamp unset;
  const char* text = s.c_str();

  long long seconds = 0;
  int year = 0, month = 0, day = 0;
  if (date_format && sscanf(text, date_format, &year, &month, &day) == 3) {
    seconds = days_from_civil(year, month, day) * 86400;
  } else if (strict) {
    return unset;
  }
  if (!time_format || !*time_format) return from_seconds(seconds, 0);

  size_t designator = s.find(time_format[0]);
  if (designator == std::string::npos) return strict ? unset : from_seconds(seconds, 0);
  int hour = 0, minute = 0, second = 0;
  if (sscanf(text + designator, time_format, &hour, &minute, &second) == 3) {
    seconds += hour * 3600LL + minute * 60LL + second;
  } else if (strict) {
    return unset;
  }

  int ms = 0;
  size_t zone_from = designator;
  if (ms_format && *ms_format) {
    size_t separator = s.find(ms_format[0], designator);
    if (separator != std::string::npos) {
      ms = read_fraction(text + separator + 1);
      zone_from = separator;
    }
  }

  size_t zone = s.find_first_of("Z+-", zone_from);
  if (zone == std::string::npos) {
    if (strict) return unset;
  } else if (s[zone] != 'Z') {
    int offset = 0;
    int after = static_cast<int>(zone) + 1;
    if (zone_from_string(s, after, "%2d:%2d", 2, offset) ||
        zone_from_string(s, after, "%2d%2d", 2, offset) ||
        zone_from_string(s, after, "%2d", 1, offset)) {
      seconds -= s[zone] == '-' ? -offset : offset;
    } else if (strict) {
      return unset;
    }
  }
  // The fraction always moves forward in time, also before 1970.
  return from_seconds(seconds, ms);
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
