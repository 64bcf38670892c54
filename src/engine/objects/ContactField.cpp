#include <keldra/ContactField.h>

#include <tervo/ustring.h>

namespace orva {
namespace keldra {

StringPool::StringSet* ContactFieldStrings::create_strings(StringPool& pool) {
  ContactFieldStrings* s = new ContactFieldStrings;
  pool.init_handle(s->contact_field, "contact_field");
  pool.init_handle(s->description, "description");
  pool.init_handle(s->value, "value");
  return s;
}

ContactField::ContactField() : m_strings(view_strings<ContactFieldStrings>()) { init_members(); }

ContactField::ContactField(const ContactField& other)
    : AttributeHandle(other), m_strings(other.m_strings) {
  init_members();
  copy(other);
  attach_child_handles();
}

ContactField& ContactField::operator=(const ContactField& other) {
  if (this != &other) {
    m_strings = other.m_strings;
    AttributeHandle::operator=(other);
  }
  return *this;
}

void ContactField::init_members() { m_description.set_parent(this); }

const StringPool::StringHandle& ContactField::get_class_name_handle() const {
  return m_strings->contact_field;
}

ErrorCode ContactField::set_value(const orva::ustring& value) {
  return set_field(m_strings->value, value);
}

bool ContactField::get_value(orva::ustring& out) const { return get_field(m_strings->value, out); }

ErrorCode ContactField::set_description(const orva::ustring& text) {
  return m_description.set_text(text);
}

bool ContactField::get_description(orva::ustring& out) const {
  return m_description.get_text(out);
}

void ContactField::do_init_child_handle(AttributeHandle& child) {
  if (&child == &m_description) {
    add_handle(child, m_strings->description);
  } else {
    AttributeHandle::do_init_child_handle(child);
  }
}

void ContactField::attach_child_handles() {
  attach_handle(m_description, m_strings->description);
}

}  // namespace keldra
}  // namespace orva
