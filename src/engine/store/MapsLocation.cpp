#include <keldra/MapsLocation.h>

namespace orva {
namespace keldra {

StringPool::StringSet* MapsLocationStrings::create_strings(StringPool& pool) {
  MapsLocationStrings* s = new MapsLocationStrings;
  pool.init_handle(s->location, "location");
  pool.init_handle(s->maps, "maps");
  return s;
}

MapsLocation::MapsLocation() : m_strings(view_strings<MapsLocationStrings>()) { init_members(); }

// LocationObject's copy constructor copies the whole object, "maps" included; the
// section's view, constructed after it, is bound here.
MapsLocation::MapsLocation(const MapsLocation& other)
    : StorableLocation(other), m_strings(other.m_strings) {
  init_members();
  attach_child_handles();
}

MapsLocation& MapsLocation::operator=(const MapsLocation& other) {
  if (this != &other) {
    m_strings = other.m_strings;
    StorableLocation::operator=(other);
  }
  return *this;
}

MapsLocation::~MapsLocation() {}

void MapsLocation::init_members() { m_custom.set_parent(this); }

const StringPool::StringHandle& MapsLocation::get_class_name_handle() const {
  return m_strings->location;
}

void MapsLocation::attach_child_handles() {
  StorableLocation::attach_child_handles();
  attach_handle(m_custom, m_strings->maps);
}

void MapsLocation::do_init_child_handle(AttributeHandle& child) {
  if (&child == &m_custom) {
    add_handle(child, m_strings->maps);
  } else {
    StorableLocation::do_init_child_handle(child);
  }
}

}  // namespace keldra
}  // namespace orva
