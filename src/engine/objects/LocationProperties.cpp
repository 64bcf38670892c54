#include <keldra/LocationProperties.h>

namespace orva {
namespace keldra {

StringPool::StringSet* LocationPropertiesStrings::create_strings(StringPool& pool) {
  LocationPropertiesStrings* s = new LocationPropertiesStrings;
  pool.init_handle(s->location_properties, "location_properties");
  pool.init_handle(s->radius, "radius");
  return s;
}

LocationProperties::LocationProperties() : m_strings(view_strings<LocationPropertiesStrings>()) {}

LocationProperties::LocationProperties(const LocationProperties& other)
    : AttributeHandle(other), m_strings(other.m_strings) {
  copy(other);
  attach_child_handles();
}

LocationProperties& LocationProperties::operator=(const LocationProperties& other) {
  if (this != &other) {
    m_strings = other.m_strings;
    AttributeHandle::operator=(other);
  }
  return *this;
}

const StringPool::StringHandle& LocationProperties::get_class_name_handle() const {
  return m_strings->location_properties;
}

ErrorCode LocationProperties::set_radius(float radius) {
  return set_field(m_strings->radius, radius);
}

float LocationProperties::get_radius() const { return get_float_val(m_strings->radius); }

}  // namespace keldra
}  // namespace orva
