// ConfigObject: the view of the config system object, which the client sends in every
// synchronisation and the server sends back.
//
// The object has the class "config", the name "sys.keldra.config", the local id
// 0x7FFFFFFF, the global id 999 and the no-sync flag. Its top-level attributes carry
// their meaning in class and name and have no fields: "last_string_supported" named
// "222" (the highest name code of the compact format this client reads),
// "subscriptions", "users_object" and "echo" (unnamed), and "anchor", whose NAME is the
// sync anchor the server sent last (possibly empty), returned to it unchanged. Other
// attributes of a received object stay as they are.
//
// The anchor has no length limit: it is interned whole here, and the readers of
// stored and received objects (database rows, the compact format, binary records)
// keep the name of an "anchor" attribute whole too, while every other name they read
// is cut to 64 bytes as the text setters cut it.
//
// The static operations work on any object (the sync extension's loaded or received
// copy); the members on the view's object, created first where they write.
//
// Results: 0; 2 when no object or attribute can be made; 3 attach of an object of
// another class; 8 get_anchor without an anchor (or on an unbound view).
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/ErrorCode.h>
#include <keldra/Object.h>
#include <keldra/ObjectHandle.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>

#include <string>

namespace orva {
namespace keldra {
namespace internal {

// Names of ConfigObject, interned once per string pool.
class ConfigObjectStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle config;  // the class
  StringPool::StringHandle last_string_supported;
  StringPool::StringHandle subscriptions;
  StringPool::StringHandle users_object;
  StringPool::StringHandle echo;
  StringPool::StringHandle anchor;
};

class ConfigObject : public ObjectHandle {
 public:
  static constexpr unsigned int LOCAL_ID = 0x7FFFFFFF;
  static constexpr unsigned long long GLOBAL_ID = 999;
  // The highest compact-format name code this client understands.
  static constexpr unsigned int LAST_STRING_SUPPORTED = 222;

  // Unbound view.
  ConfigObject();
  // A view over a new config object holding a deep copy of |other|'s object;
  // unbound when |other| is.
  ConfigObject(const ConfigObject& other);
  // Copies |other|'s object into this view's own object (created when needed).
  ConfigObject& operator=(const ConfigObject& other);

  const StringPool::StringHandle& get_class_name_handle() const override;

  // Unbound: holds a new config object with the reserved ids, name and no-sync flag.
  // An object already held is left as it is. is_safe().
  bool init_self() override;

  // Binds the view to |object|; 3, leaving the view unbound, when the object is not
  // of class "config". 0 otherwise.
  ErrorCode attach(const orva::SharedPointer<Object>& object);

  // The name of the first top-level attribute of class "anchor", whatever its name,
  // whole. 0; 8 when there is none (|anchor| untouched).
  static ErrorCode get_anchor(const Object& object, std::string& anchor);
  // 8 when the view is unbound, else the static form on its object.
  ErrorCode get_anchor(std::string& anchor) const;

  // A new attribute of class "anchor" named |anchor| (unnamed for an empty text)
  // replaces the first "anchor" attribute in its place, or is appended. 0, or 2.
  static ErrorCode set_anchor(Object& object, const std::string& anchor);
  // init_self (2 when no object can be made), then the static form.
  ErrorCode set_anchor(const std::string& anchor);

  // Puts, in this order, fresh "last_string_supported" (named "222"),
  // "subscriptions", "users_object" and "echo" attributes: each replaces the first
  // attribute of its class in place, whatever its name and content, or is appended.
  // 0; 2 as soon as one cannot be made (those put before it stay).
  static ErrorCode set_initial_values(Object& object);
  // init_self (2 when no object can be made), then the static form.
  ErrorCode set_initial_values();

 private:
  ConfigObjectStrings* m_strings;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
