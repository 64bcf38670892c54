// A point in time: signed 64-bit milliseconds since 1970-01-01T00:00:00 UTC. The
// largest value means "not set"; every other value, negative ones included, is valid.
// Converts to and from ISO 8601 text (basic and extended forms) and an HTTP date.
// A plain value; the conversions are thread-safe.
#pragma once

#include <ctime>
#include <string>

namespace orva {
namespace keldra {
namespace internal {

class Timestamp {
 public:
  static constexpr long long NOT_SET = 0x7FFFFFFFFFFFFFFFLL;

  Timestamp() : m_value(NOT_SET) {}
  Timestamp(long long ms) : m_value(ms) {}  // NOLINT: timestamps travel as plain numbers
  Timestamp(const Timestamp& other) : m_value(other.m_value) {}
  Timestamp& operator=(const Timestamp& other) {
    m_value = other.m_value;
    return *this;
  }

  operator long long() const { return m_value; }
  bool is_valid() const { return m_value != NOT_SET; }

  // On the raw values: "not set" is greater than every valid timestamp.
  bool operator==(const Timestamp& other) const { return m_value == other.m_value; }
  bool operator<(const Timestamp& other) const { return m_value < other.m_value; }
  bool operator>(const Timestamp& other) const { return m_value > other.m_value; }

  // The system clock in whole seconds, as milliseconds.
  static Timestamp get_current();

  // The formatters give an empty text for "not set" and for times the UTC
  // conversion rejects. Times before 1970 count whole seconds downwards, so the
  // milliseconds are always 0 to 999.
  // "20110506T102030Z"
  std::string to_iso() const;
  // "2011-05-06T10:20:30.123Z" with milliseconds, "2011-05-06T10:20:30Z" without.
  std::string to_iso_extended(bool with_ms) const;
  // "Fri, 06 May 2011 10:20:30 GMT"
  std::string to_http_date() const;
  // format filled with year, month, day, hour, minute, second and, when it has a
  // seventh conversion, the milliseconds.
  std::string to_string(const char* format) const;

  // Parsers. strict: a missing date, time of day (after 'T'), zone designator
  // ('Z', '+' or '-') or an unreadable offset gives "not set"; otherwise missing
  // fields count as 0 (midnight, 1970-01-01, UTC). Text after the parsed fields
  // is ignored.
  static Timestamp from_iso_extended(const std::string& s, bool strict);
  static Timestamp from_iso(const std::string& s, bool strict);
  // The extended form when s[4] is '-' (and that parse gives a value), else the basic.
  static Timestamp from_iso_any(const std::string& s, bool strict);
  // date_format scans year, month, day; time_format (optional, starting with its
  // designator) hour, minute, second; ms_format (optional, starting with its
  // separator) the fraction of the second: 1, 2 or 3 digits (".5" is 500 ms). A time
  // whose milliseconds do not fit in 64 bits gives "not set", strict or not.
  static Timestamp from_string(const std::string& s, const char* date_format,
                               const char* time_format, const char* ms_format, bool strict);
  // Scans the text from index pos with format into hours then minutes; true when
  // exactly count items were converted and the offset fits an int, then
  // offset_seconds = (h × 60 + m) × 60.
  static bool zone_from_string(const std::string& s, int pos, const char* format, int count,
                               int& offset_seconds);

 private:
  long long m_value;
};

// Broken-down UTC time of the seconds; false, with out untouched, when the
// conversion fails. Thread-safe.
bool safe_gmtime(long* seconds, tm* out);

}  // namespace internal
}  // namespace keldra
}  // namespace orva
