#include <keldra/MapsLocationCustomData.h>

namespace orva {
namespace keldra {

StringPool::StringSet* MapsLocationCustomDataStrings::create_strings(StringPool& pool) {
  MapsLocationCustomDataStrings* s = new MapsLocationCustomDataStrings;
  pool.init_handle(s->custom, "custom");
  pool.init_handle(s->maps_properties, "maps_properties");
  return s;
}

MapsLocationCustomData::MapsLocationCustomData()
    : m_strings(view_strings<MapsLocationCustomDataStrings>()) {
  init_members();
}

MapsLocationCustomData::MapsLocationCustomData(const MapsLocationCustomData& other)
    : AttributeHandle(other), m_strings(other.m_strings) {
  init_members();
  copy(other);
  attach_child_handles();
}

MapsLocationCustomData& MapsLocationCustomData::operator=(const MapsLocationCustomData& other) {
  if (this != &other) {
    m_strings = other.m_strings;
    AttributeHandle::operator=(other);
  }
  return *this;
}

void MapsLocationCustomData::init_members() { m_properties.set_parent(this); }

const StringPool::StringHandle& MapsLocationCustomData::get_class_name_handle() const {
  return m_strings->custom;
}

void MapsLocationCustomData::do_init_child_handle(AttributeHandle& child) {
  if (&child == &m_properties) {
    add_handle(child, m_strings->maps_properties);
  } else {
    AttributeHandle::do_init_child_handle(child);
  }
}

void MapsLocationCustomData::attach_child_handles() {
  attach_handle(m_properties, m_strings->maps_properties);
}

}  // namespace keldra
}  // namespace orva
