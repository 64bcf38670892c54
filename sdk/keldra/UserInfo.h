// UserInfo: view of one entry of the users object, an attribute of class "user".
//
// The attribute's name is the entry's key, the user id (account name); the field
// "display_name" (UTF-16 text) holds the user's display name, and the field "edited"
// (unsigned 32-bit) holds 1 while the entry was changed locally and has not come back
// from the server (absent otherwise).
//
// A view handed out by the user manager is a detached copy owning its own attribute:
// changing it changes nothing stored until it is given back. Views bound inside a
// users object work on that object's attribute.
//
// Results: 0; 2 when the attribute or a field cannot be made; 3 attach of an attribute
// of another class. Getters never create anything.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/Attribute.h>
#include <keldra/AttributeHandle.h>
#include <keldra/ErrorCode.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>

#include <string>

namespace orva {
class ustring;

namespace keldra {

// Names of UserInfo, interned once per string pool.
class UserInfoStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle user;  // the class
  StringPool::StringHandle display_name;
  StringPool::StringHandle edited;
};

class UserInfo : public AttributeHandle {
 public:
  // Unbound view (no attribute yet).
  UserInfo();
  // A view with its own new attribute holding a deep copy of |other|'s fields,
  // children and links, named with |other|'s id; unbound when |other| is.
  UserInfo(const UserInfo& other);
  // Replaces the content of this view's own attribute (created when needed) by a copy
  // of |other|'s; a non-empty id stays, an unnamed root view takes |other|'s id.
  UserInfo& operator=(const UserInfo& other);

  const StringPool::StringHandle& get_class_name_handle() const override;

  // Binds the view to |attribute| (an empty pointer unbinds it); 3, leaving the view
  // unbound, when the attribute is not of class "user". 0 otherwise.
  ErrorCode attach(const orva::SharedPointer<Attribute>& attribute);

  // The user id; empty when unbound.
  std::string id() const;
  // Creates the attribute when unbound and names it with the first 64 bytes of |id|
  // (cut at a character boundary). 0, or 2.
  ErrorCode set_id(const std::string& id);

  // False when unbound or without "display_name"; otherwise true, |name| receiving
  // the text (left as it was when the field holds another type).
  bool get_display_name(orva::ustring& name) const;
  // Creates the attribute when unbound and sets "display_name". 0, or 2.
  ErrorCode set_display_name(const orva::ustring& name);

  // True when "edited" holds the unsigned 32-bit value 1.
  bool is_modified() const;
  // True: creates the attribute when unbound and sets "edited" to 1 (nothing when no
  // attribute can be made). False: removes every "edited" field.
  void set_modified(bool edited);

 private:
  const UserInfoStrings* m_strings;
};

}  // namespace keldra
}  // namespace orva
