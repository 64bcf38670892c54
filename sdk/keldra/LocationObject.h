// LocationObject: the view of an object of class "location", a place.
//
// Besides "meta" and "bounding_box" (BoundedObjectBase) it shows the children
// "position", "address", "contact", "categories" and "properties", and two lists over
// the object's attributes: every attribute of class "address" and every attribute of
// class "position", whatever its name. So the child "address" is also an item of
// addresses(), and "position" of positions(); further ones are named by context
// ("address.home", "position.entrance").
//
// A whole orva::Location of the geo base library is written into the position, the
// address and the contact (phone number and web address) and read back from them.
//
// Results: 0; 2 an attribute or the object cannot be created; 3 a location that is not
// valid. Binding to an object of another class is a broken invariant.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/Address.h>
#include <keldra/AddressArray.h>
#include <keldra/BoundedObjectBase.h>
#include <keldra/Contact.h>
#include <keldra/ErrorCode.h>
#include <keldra/LocationCategories.h>
#include <keldra/LocationProperties.h>
#include <keldra/Position.h>
#include <keldra/PositionArray.h>
#include <keldra/StringPool.h>

namespace orva {
class Location;

namespace keldra {

// Name table of LocationObject; "location" is the class.
class LocationObjectStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle address;
  StringPool::StringHandle categories;
  StringPool::StringHandle contact;
  StringPool::StringHandle position;
  StringPool::StringHandle properties;
  StringPool::StringHandle location;  // the class
};

class LocationObject : public BoundedObjectBase {
 public:
  // Unbound view with unbound members.
  LocationObject();
  // A view over a new object of class "location" holding a deep copy of |other|'s
  // object; unbound when |other| is.
  LocationObject(const LocationObject& other);
  // Copies |other|'s object into this view's own object (created when needed).
  LocationObject& operator=(const LocationObject& other);

  const StringPool::StringHandle& get_class_name_handle() const override;

  Position& position() { return m_position; }
  const Position& position() const { return m_position; }
  Address& address() { return m_address; }
  const Address& address() const { return m_address; }
  Contact& contact() { return m_contact; }
  const Contact& contact() const { return m_contact; }
  LocationCategories& categories() { return m_categories; }
  const LocationCategories& categories() const { return m_categories; }
  LocationProperties& properties() { return m_properties; }
  const LocationProperties& properties() const { return m_properties; }
  AddressArray& addresses() { return m_addresses; }
  const AddressArray& addresses() const { return m_addresses; }
  PositionArray& positions() { return m_positions; }
  const PositionArray& positions() const { return m_positions; }

  // Writes the position, then the address parts the location's info holds, then its
  // web address and phone number when it holds them. Bounding box, categories and
  // properties are not touched. 0; 3 for a location that is not valid (nothing is
  // written); otherwise the first failure (earlier steps stay written).
  ErrorCode set_location(const orva::Location& location);
  // Reads the position, the address parts and the contact into |location|. True
  // when the place has a phone or mobile number.
  bool get_location(orva::Location& location) const;

  void attach_child_handles() override;
  void do_init_child_handle(AttributeHandle& child) override;

 private:
  void init_members();

  LocationObjectStrings* m_strings;
  Position m_position;
  Address m_address;
  Contact m_contact;
  LocationCategories m_categories;
  LocationProperties m_properties;
  AddressArray m_addresses;
  PositionArray m_positions;
};

}  // namespace keldra
}  // namespace orva
