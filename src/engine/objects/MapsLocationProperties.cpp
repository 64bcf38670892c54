#include <keldra/MapsLocationProperties.h>

#include <keldra/Field.h>

#include <tervo/ustring.h>

#include "views/ViewFields.h"

namespace orva {
namespace keldra {

StringPool::StringSet* MapsLocationPropertiesStrings::create_strings(StringPool& pool) {
  MapsLocationPropertiesStrings* s = new MapsLocationPropertiesStrings;
  pool.init_handle(s->maps_location_properties, "maps_location_properties");
  pool.init_handle(s->app_version, "app_version");
  pool.init_handle(s->map_version, "map_version");
  pool.init_handle(s->place_id, "place_id");
  pool.init_handle(s->place_url_id, "place_url_id");
  return s;
}

MapsLocationProperties::MapsLocationProperties()
    : m_strings(view_strings<MapsLocationPropertiesStrings>()) {}

MapsLocationProperties::MapsLocationProperties(const MapsLocationProperties& other)
    : AttributeHandle(other), m_strings(other.m_strings) {
  copy(other);
  attach_child_handles();
}

MapsLocationProperties& MapsLocationProperties::operator=(const MapsLocationProperties& other) {
  if (this != &other) {
    m_strings = other.m_strings;
    AttributeHandle::operator=(other);
  }
  return *this;
}

const StringPool::StringHandle& MapsLocationProperties::get_class_name_handle() const {
  return m_strings->maps_location_properties;
}

ErrorCode MapsLocationProperties::set_maps_app_version(const orva::ustring& version) {
  return set_field(m_strings->app_version, version);
}

bool MapsLocationProperties::get_maps_app_version(orva::ustring& version) const {
  return get_field(m_strings->app_version, version);
}

ErrorCode MapsLocationProperties::set_place_id(orva::ustring place_id) {
  return set_field(m_strings->place_id, place_id);
}

bool MapsLocationProperties::get_place_id(orva::ustring& place_id) const {
  return get_field(m_strings->place_id, place_id);
}

ErrorCode MapsLocationProperties::set_map_content_version(const MapContentVersion& version) {
  const unsigned int packed = static_cast<unsigned int>(version.parts[0]) |
                              static_cast<unsigned int>(version.parts[1]) << 8 |
                              static_cast<unsigned int>(version.parts[2]) << 16 |
                              static_cast<unsigned int>(version.parts[3]) << 24;
  return set_field(m_strings->map_version, packed);
}

bool MapsLocationProperties::get_map_content_version(MapContentVersion& version) const {
  const Field* field = internal::view_field(*this, m_strings->map_version);
  if (!field) return false;
  unsigned int packed = 0;
  field->get_value(packed);  // another type leaves 0
  for (int i = 0; i < 4; ++i) version.parts[i] = static_cast<unsigned char>(packed >> (8 * i));
  return true;
}

ErrorCode MapsLocationProperties::set_place_url_id(unsigned int id) {
  return set_field(m_strings->place_url_id, id);
}

unsigned int MapsLocationProperties::get_place_url_id() const {
  unsigned int id = 0;
  get_field(m_strings->place_url_id, id);  // another type leaves 0
  return id;
}

ErrorCode MapsLocationProperties::set_base_poi(unsigned long long) {
  return ORVA_ERROR_NOT_SUPPORTED;
}

unsigned long long MapsLocationProperties::get_base_poi() const { return 0; }

}  // namespace keldra
}  // namespace orva
