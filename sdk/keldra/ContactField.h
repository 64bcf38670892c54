// ContactField: the view of an attribute of class "contact_field", one entry of a
// contact (a phone number, an e-mail address, a web address ...).
//
// Content: the text field "value" (UTF-16) and the child "description" (class
// "text") whose field "text" describes the entry.
//
// Results: setters 0, or 2 when the attribute cannot be created (a child view whose
// parent does not create it). Getters never create anything.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/AttributeHandle.h>
#include <keldra/ErrorCode.h>
#include <keldra/StringPool.h>
#include <keldra/Text.h>

namespace orva {
class ustring;

namespace keldra {

// Name table of ContactField.
class ContactFieldStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle contact_field;  // the class
  StringPool::StringHandle description;
  StringPool::StringHandle value;
};

class ContactField : public AttributeHandle {
 public:
  // Unbound root view.
  ContactField();
  // A root view over a new attribute holding a deep copy of |other| (with its name);
  // unbound when |other| is.
  ContactField(const ContactField& other);
  // Copies |other|'s content into this view's own attribute (created when needed).
  ContactField& operator=(const ContactField& other);

  const StringPool::StringHandle& get_class_name_handle() const override;

  // Creates; stores a copy of |value| in "value". 0, or 2.
  ErrorCode set_value(const orva::ustring& value);
  // False (|out| untouched) when unbound or without "value"; otherwise true, copying
  // the value when it is text.
  bool get_value(orva::ustring& out) const;

  // Creates the entry and its "description" child as needed and stores the text.
  // 0, or 2.
  ErrorCode set_description(const orva::ustring& text);
  // The text of the "description" child; false when there is none.
  bool get_description(orva::ustring& out) const;

  void do_init_child_handle(AttributeHandle& child) override;
  void attach_child_handles() override;

 private:
  void init_members();

  ContactFieldStrings* m_strings;
  Text m_description;
};

}  // namespace keldra
}  // namespace orva
