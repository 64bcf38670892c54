// Contact: the view of an attribute of class "contact", the contact data of a place.
//
// Children: "meta" (class "metadata") and six entries of class "contact_field", one
// per Contact::Field, each named after its entry ("phone", "fax", "mobile", "email",
// "web", "sip") and holding a value and a description. The entry numbers are those of
// the QML plug-in's contact element: they must not change.
//
// The contact exchanges its web address and phone number with the geo base library's
// LocationInfo (keys 28 and 27), which is how a whole Location is written into a
// place and read back.
//
// Results: setters 0; 2 an attribute cannot be created (a view whose parent does not
// create it); 3 an entry number outside 1 to 6 (nothing is created). Getters never
// create anything.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/AttributeHandle.h>
#include <keldra/ContactField.h>
#include <keldra/ErrorCode.h>
#include <keldra/Metadata.h>
#include <keldra/StringPool.h>

namespace orva {
class LocationInfo;
class ustring;

namespace keldra {

// Name table of Contact.
class ContactStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle contact;  // the class
  StringPool::StringHandle email;
  StringPool::StringHandle fax;
  StringPool::StringHandle meta;
  StringPool::StringHandle mobile;
  StringPool::StringHandle phone;
  StringPool::StringHandle sip;
  StringPool::StringHandle web;
};

class Contact : public AttributeHandle {
 public:
  // Number of a contact entry. Any other number names no entry.
  enum Field : int { PHONE = 1, FAX = 2, MOBILE = 3, EMAIL = 4, WEB = 5, SIP = 6 };

  // Unbound root view with unbound children.
  Contact();
  // A root view over a new attribute holding a deep copy of |other| (with its name);
  // unbound when |other| is.
  Contact(const Contact& other);
  // Copies |other|'s content into this view's own attribute (created when needed).
  Contact& operator=(const Contact& other);

  const StringPool::StringHandle& get_class_name_handle() const override;

  Metadata& metadata() { return m_metadata; }
  const Metadata& metadata() const { return m_metadata; }

  // The view of an entry; null for a number outside 1 to 6.
  ContactField* get_contact_field(Field entry);
  const ContactField* get_contact_field(Field entry) const;

  // The entry's value and description. Setters: 3 for a number outside 1 to 6, else
  // as ContactField. Getters clear |out| first and return false for such a number.
  ErrorCode set_field_value(Field entry, const orva::ustring& value);
  bool get_field_value(Field entry, orva::ustring& out) const;
  ErrorCode set_field_description(Field entry, const orva::ustring& text);
  bool get_field_description(Field entry, orva::ustring& out) const;

  // Stores the web address (key 28) as the "web" value and the phone number (key 27)
  // as the "phone" value, each only when |info| holds its key: a location that does
  // not carry one keeps the stored one. 0, or the first failure (an earlier write
  // stays).
  ErrorCode set_location_info(const orva::LocationInfo& info);
  // Sets key 28 to the "web" value and key 27 to the "phone" value, or the "mobile"
  // value when there is no phone value (each the empty text when absent). True when
  // the phone or mobile entry had a value.
  bool get_location_info(orva::LocationInfo& info) const;

  void do_init_child_handle(AttributeHandle& child) override;
  void attach_child_handles() override;

 private:
  static const int kEntries = 6;

  void init_members();
  // The role name of entry |index| (0 for PHONE).
  const StringPool::StringHandle& entry_name(int index) const;

  ContactStrings* m_strings;
  Metadata m_metadata;
  ContactField m_entries[kEntries];
};

}  // namespace keldra
}  // namespace orva
