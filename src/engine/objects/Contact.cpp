#include <keldra/Contact.h>

#include <tervo/LocationInfo.h>
#include <tervo/ustring.h>

namespace orva {
namespace keldra {

StringPool::StringSet* ContactStrings::create_strings(StringPool& pool) {
  ContactStrings* s = new ContactStrings;
  pool.init_handle(s->contact, "contact");
  pool.init_handle(s->email, "email");
  pool.init_handle(s->fax, "fax");
  pool.init_handle(s->meta, "meta");
  pool.init_handle(s->mobile, "mobile");
  pool.init_handle(s->phone, "phone");
  pool.init_handle(s->sip, "sip");
  pool.init_handle(s->web, "web");
  return s;
}

Contact::Contact() : m_strings(view_strings<ContactStrings>()) { init_members(); }

Contact::Contact(const Contact& other) : AttributeHandle(other), m_strings(other.m_strings) {
  init_members();
  copy(other);
  attach_child_handles();
}

Contact& Contact::operator=(const Contact& other) {
  if (this != &other) {
    m_strings = other.m_strings;
    AttributeHandle::operator=(other);
  }
  return *this;
}

void Contact::init_members() {
  m_metadata.set_parent(this);
  for (ContactField& entry : m_entries) entry.set_parent(this);
}

const StringPool::StringHandle& Contact::get_class_name_handle() const {
  return m_strings->contact;
}

const StringPool::StringHandle& Contact::entry_name(int index) const {
  StringPool::StringHandle ContactStrings::*const names[kEntries] = {
      &ContactStrings::phone, &ContactStrings::fax, &ContactStrings::mobile,
      &ContactStrings::email, &ContactStrings::web, &ContactStrings::sip};
  return m_strings->*names[index];
}

ContactField* Contact::get_contact_field(Field entry) {
  return entry >= PHONE && entry <= SIP ? &m_entries[entry - PHONE] : nullptr;
}

const ContactField* Contact::get_contact_field(Field entry) const {
  return entry >= PHONE && entry <= SIP ? &m_entries[entry - PHONE] : nullptr;
}

ErrorCode Contact::set_field_value(Field entry, const orva::ustring& value) {
  ContactField* field = get_contact_field(entry);
  return field ? field->set_value(value) : ORVA_ERROR_INVALID_PARAMETERS;
}

bool Contact::get_field_value(Field entry, orva::ustring& out) const {
  out.clear();
  const ContactField* field = get_contact_field(entry);
  return field && field->get_value(out);
}

ErrorCode Contact::set_field_description(Field entry, const orva::ustring& text) {
  ContactField* field = get_contact_field(entry);
  return field ? field->set_description(text) : ORVA_ERROR_INVALID_PARAMETERS;
}

bool Contact::get_field_description(Field entry, orva::ustring& out) const {
  out.clear();
  const ContactField* field = get_contact_field(entry);
  return field && field->get_description(out);
}

ErrorCode Contact::set_location_info(const orva::LocationInfo& info) {
  // A key the location does not carry says nothing about the place: keep its entry.
  if (info.has(orva::LocationInfo::WEB_ADDRESS)) {
    ErrorCode result = set_field_value(WEB, info.get(orva::LocationInfo::WEB_ADDRESS));
    if (result != ORVA_ERROR_NONE) return result;
  }
  if (info.has(orva::LocationInfo::PHONE_NUMBER)) {
    return set_field_value(PHONE, info.get(orva::LocationInfo::PHONE_NUMBER));
  }
  return ORVA_ERROR_NONE;
}

bool Contact::get_location_info(orva::LocationInfo& info) const {
  orva::ustring text;
  get_field_value(WEB, text);
  info.set(orva::LocationInfo::WEB_ADDRESS, text);
  bool found = get_field_value(PHONE, text) || get_field_value(MOBILE, text);
  info.set(orva::LocationInfo::PHONE_NUMBER, text);
  return found;
}

void Contact::do_init_child_handle(AttributeHandle& child) {
  if (&child == &m_metadata) {
    add_handle(child, m_strings->meta);
    return;
  }
  for (int i = 0; i < kEntries; ++i) {
    if (&child == &m_entries[i]) {
      add_handle(child, entry_name(i));
      return;
    }
  }
  AttributeHandle::do_init_child_handle(child);
}

void Contact::attach_child_handles() {
  attach_handle(m_metadata, m_strings->meta);
  for (int i = 0; i < kEntries; ++i) attach_handle(m_entries[i], entry_name(i));
}

}  // namespace keldra
}  // namespace orva
