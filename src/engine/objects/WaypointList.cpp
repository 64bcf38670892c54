#include <keldra/WaypointList.h>

namespace orva {
namespace keldra {

StringPool::StringSet* WaypointListStrings::create_strings(StringPool& pool) {
  WaypointListStrings* strings = new WaypointListStrings();
  pool.init_handle(strings->way_point, "way_point");
  return strings;
}

WaypointList::WaypointList() : m_strings(view_strings<WaypointListStrings>()) { init_list(); }

// The base copies the content; the items are read once the list member exists.
WaypointList::WaypointList(const WaypointList& other)
    : ListAttributeHandle(other), m_strings(other.m_strings) {
  init_list();
  m_waypoints.attach();
}

WaypointList& WaypointList::operator=(const WaypointList& other) {
  m_strings = other.m_strings;
  ListAttributeHandle::operator=(other);
  return *this;
}

void WaypointList::init_list() {
  m_waypoints.set_item_names(m_strings->way_point, StringPool::StringHandle());
  m_waypoints.set_parent(this);
}

ErrorCode WaypointList::add_waypoint(const Waypoint& waypoint) {
  return insert_waypoint(waypoint, count());
}

ErrorCode WaypointList::insert_waypoint(const Waypoint& waypoint, uint32_t position) {
  if (!waypoint.is_safe()) return ORVA_ERROR_INVALID_PARAMETERS;
  if (!m_waypoints.insert_item(waypoint, position).is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  return ORVA_ERROR_NONE;
}

ErrorCode WaypointList::replace_waypoint(const Waypoint& waypoint, uint32_t index) {
  // Both come from callers: refused rather than trusted.
  if (index >= count() || !waypoint.is_safe()) return ORVA_ERROR_INVALID_PARAMETERS;
  if (!m_waypoints.set_item(index, waypoint).is_valid()) return ORVA_ERROR_INVALID_PARAMETERS;
  return ORVA_ERROR_NONE;
}

ErrorCode WaypointList::remove_waypoint(uint32_t index) {
  m_waypoints.remove_item(index);
  return ORVA_ERROR_NONE;
}

ErrorCode WaypointList::move_waypoint(uint32_t from, uint32_t to) {
  if (from >= count() || to > count()) return ORVA_ERROR_INVALID_PARAMETERS;
  return m_waypoints.move_item(from, to);
}

ErrorCode WaypointList::set_waypoints(const std::vector<Waypoint>& waypoints) {
  m_waypoints.remove_all();
  for (const Waypoint& waypoint : waypoints) {
    if (!m_waypoints.add_item(waypoint).is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  }
  return ORVA_ERROR_NONE;
}

ErrorCode WaypointList::get_waypoints(std::vector<Waypoint>& waypoints) const {
  waypoints.clear();
  if (!is_safe()) return ORVA_ERROR_NOT_SUPPORTED;
  waypoints.reserve(count());
  for (unsigned int i = 0; i < count(); ++i) waypoints.push_back(*m_waypoints.get_item(i));
  return ORVA_ERROR_NONE;
}

void WaypointList::attach_child_handles() { m_waypoints.attach(); }

}  // namespace keldra
}  // namespace orva
