// Reference: an attribute that names another object by an id text ("uri") and the
// service the object belongs to ("service"), both UTF-16 text fields handed in and
// out as UTF-8.
//
// A new reference has no name, no class name and no fields; name and class are set
// through the Attribute operations. It is counted, copied and serialised like every
// attribute.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/Attribute.h>

#include <string>

namespace orva {
namespace keldra {

class Reference : public Attribute {
 public:
  // An empty attribute, marked modified.
  Reference();

  // Stores |id| in the field "uri", replacing the value of an existing one; when the
  // text cannot be copied the stored value stays as it was.
  void set_object_id(const std::string& id);
  // The same for "service".
  void set_service(const std::string& service);
  // |id| receives the text of "uri"; left as it was when there is no such field.
  void get_object_id(std::string& id) const;
  // The same for "service".
  void get_service(std::string& service) const;

 private:
  void set_text(const char* name, const std::string& text);
};

}  // namespace keldra
}  // namespace orva
