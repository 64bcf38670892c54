#include <keldra/LocationObject.h>

#include <tervo/Location.h>

namespace orva {
namespace keldra {

StringPool::StringSet* LocationObjectStrings::create_strings(StringPool& pool) {
  LocationObjectStrings* s = new LocationObjectStrings;
  pool.init_handle(s->address, "address");
  pool.init_handle(s->categories, "categories");
  pool.init_handle(s->contact, "contact");
  pool.init_handle(s->position, "position");
  pool.init_handle(s->properties, "properties");
  pool.init_handle(s->location, "location");
  return s;
}

LocationObject::LocationObject() : m_strings(view_strings<LocationObjectStrings>()) {
  init_members();
}

LocationObject::LocationObject(const LocationObject& other)
    : BoundedObjectBase(other), m_strings(other.m_strings) {
  init_members();
  ObjectHandle::copy(other);
  attach_child_handles();
}

LocationObject& LocationObject::operator=(const LocationObject& other) {
  if (this != &other) {
    m_strings = other.m_strings;
    BoundedObjectBase::operator=(other);
  }
  return *this;
}

void LocationObject::init_members() {
  m_addresses.set_items_name();
  m_positions.set_items_name();
  m_position.set_parent(this);
  m_address.set_parent(this);
  m_contact.set_parent(this);
  m_categories.set_parent(this);
  m_properties.set_parent(this);
  m_addresses.set_parent(this);
  m_positions.set_parent(this);
}

const StringPool::StringHandle& LocationObject::get_class_name_handle() const {
  return m_strings->location;
}

ErrorCode LocationObject::set_location(const orva::Location& location) {
  ErrorCode result = m_position.set_location(location);
  if (result != ORVA_ERROR_NONE) return result;
  result = m_address.set_location_info(location.get_info());
  if (result != ORVA_ERROR_NONE) return result;
  return m_contact.set_location_info(location.get_info());
}

bool LocationObject::get_location(orva::Location& location) const {
  m_position.get_location(location);
  m_address.get_location_info(location.get_info());
  return m_contact.get_location_info(location.get_info());
}

void LocationObject::attach_child_handles() {
  BoundedObjectBase::attach_child_handles();
  attach_handle(m_properties, m_strings->properties);
  attach_handle(m_position, m_strings->position);
  attach_handle(m_address, m_strings->address);
  attach_handle(m_contact, m_strings->contact);
  attach_handle(m_categories, m_strings->categories);
  m_addresses.attach();
  m_positions.attach();
}

// The two lists create their items themselves.
void LocationObject::do_init_child_handle(AttributeHandle& child) {
  if (&child == &m_position) {
    add_handle(child, m_strings->position);
  } else if (&child == &m_address) {
    add_handle(child, m_strings->address);
  } else if (&child == &m_contact) {
    add_handle(child, m_strings->contact);
  } else if (&child == &m_categories) {
    add_handle(child, m_strings->categories);
  } else if (&child == &m_properties) {
    add_handle(child, m_strings->properties);
  } else {
    BoundedObjectBase::do_init_child_handle(child);
  }
}

}  // namespace keldra
}  // namespace orva
