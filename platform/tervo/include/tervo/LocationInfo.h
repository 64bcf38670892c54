// Texts that describe a location (address parts, phone number, web address), keyed by
// field number. Any number is accepted as a key; the named ones are those the library
// exchanges. A key that was never set is absent: has() is false and get() gives the
// empty text. Setting a key to the empty text stores it (has() becomes true).
// A value type; not shared between threads while it is changed.
#pragma once

#include <tervo/ustring.h>

#include <map>

namespace orva {

class LocationInfo {
 public:
  enum Field : int {
    COUNTRY_CODE = 0,
    COUNTY = 5,
    CITY = 6,
    DISTRICT = 7,
    POSTAL_CODE = 8,
    NEIGHBORHOOD = 10,
    STREET = 11,
    STREET_NUMBER = 12,
    BUILDING_NAME = 16,
    FLOOR = 17,
    ROOM = 18,
    ZONE = 19,
    PHONE_NUMBER = 27,
    WEB_ADDRESS = 28
  };

  bool has(Field field) const;
  // The stored text; the empty text when the key is absent.
  ustring get(Field field) const;
  void set(Field field, const ustring& text);
  // Makes every key absent.
  void clear() { m_values.clear(); }

  bool operator==(const LocationInfo& other) const { return m_values == other.m_values; }
  bool operator!=(const LocationInfo& other) const { return !(*this == other); }

 private:
  std::map<int, ustring> m_values;
};

}  // namespace orva
