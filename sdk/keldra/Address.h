// Address: the view of an attribute of class "address", one postal address.
//
// Eighteen text parts chosen by number (Address::Field), each kept in a UTF-16 text
// field of its own; a part never set has no field. The child "meta" (class
// "metadata") describes the address. The parts 2, 4 to 10 and 14 to 17 are exchanged
// with the geo base library's LocationInfo; the others never are.
//
// The part numbers are passed straight through by the QML plug-in: they must not
// change.
//
// Results: setters 0; 2 the attribute cannot be created (a child view whose parent
// does not create it); 3 a part number outside 1 to 18 (nothing is created). Getters
// never create anything.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/AttributeHandle.h>
#include <keldra/ErrorCode.h>
#include <keldra/Metadata.h>
#include <keldra/StringPool.h>

namespace orva {
class LocationInfo;
class ustring;

namespace keldra {

// Name table of Address: the class, the metadata child and the part field names.
class AddressStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle address;  // the class
  StringPool::StringHandle meta;
  StringPool::StringHandle building_name;
  StringPool::StringHandle city;
  StringPool::StringHandle country;
  StringPool::StringHandle country_code;
  StringPool::StringHandle county_or_province;
  StringPool::StringHandle crossing1;
  StringPool::StringHandle crossing2;
  StringPool::StringHandle district;
  StringPool::StringHandle extension;
  StringPool::StringHandle floor;
  StringPool::StringHandle neighborhood;
  StringPool::StringHandle postal_code;
  StringPool::StringHandle room;
  StringPool::StringHandle room_name;
  StringPool::StringHandle state;
  StringPool::StringHandle street;
  StringPool::StringHandle street_number;
  StringPool::StringHandle zone;

  // The field name of |part|; null for a number outside 1 to 18.
  const StringPool::StringHandle* part_name(int part) const;
};

class Address : public AttributeHandle {
 public:
  // Number of an address part. Any other number names no part.
  enum Field : int {
    COUNTRY = 1,
    COUNTRY_CODE = 2,
    STATE = 3,
    COUNTY_OR_PROVINCE = 4,
    CITY = 5,
    DISTRICT = 6,
    POSTAL_CODE = 7,
    NEIGHBORHOOD = 8,
    STREET = 9,
    STREET_NUMBER = 10,
    EXTENSION = 11,
    CROSSING1 = 12,
    CROSSING2 = 13,
    BUILDING_NAME = 14,
    FLOOR = 15,
    ZONE = 16,
    ROOM = 17,
    ROOM_NAME = 18
  };

  // Unbound root view.
  Address();
  // A root view over a new attribute holding a deep copy of |other| (with its name);
  // unbound when |other| is.
  Address(const Address& other);
  // Copies |other|'s content into this view's own attribute (created when needed).
  Address& operator=(const Address& other);

  const StringPool::StringHandle& get_class_name_handle() const override;

  Metadata& metadata() { return m_metadata; }
  const Metadata& metadata() const { return m_metadata; }

  // Clears |out|; false for an unbound view, a part outside 1 to 18 or a part not
  // held. Otherwise true, with the text (a field of another type leaves |out| empty).
  bool get_address_field(Field part, orva::ustring& out) const;
  // Creates; stores |text| (an empty one too) as the part. 0, 2, or 3.
  ErrorCode set_address_field(Field part, const orva::ustring& text);

  // Sets in |info| the key of every exchanged part the address holds; the other keys
  // keep what they held.
  void get_location_info(orva::LocationInfo& info) const;
  // Writes each exchanged part whose key |info| holds; parts of keys it does not hold
  // stay as they are. 0, or the first failure (the parts before it stay written).
  ErrorCode set_location_info(const orva::LocationInfo& info);

  void do_init_child_handle(AttributeHandle& child) override;
  void attach_child_handles() override;

 private:
  void init_members();

  AddressStrings* m_strings;
  Metadata m_metadata;
};

}  // namespace keldra
}  // namespace orva
