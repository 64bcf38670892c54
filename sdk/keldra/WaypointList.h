// WaypointList: the waypoints of a route (its child "points", class "list").
//
// Every child attribute of class "way_point" of the list's attribute is a waypoint,
// whatever its name, in the order of the attribute's children; other children may
// lie between them and keep their places. Positions count waypoints only. Waypoints
// handed in are stored as deep copies; waypoints handed out are copies in new
// attributes of their own, so changing them does not reach the list.
//
// Results: 0 success; 2 the list's attribute (or a waypoint's copy) cannot be made;
// 3 an unbound waypoint, or a position outside the list given by the caller; 4
// get_waypoints on an unbound list.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/AttributeHandleList.h>
#include <keldra/ErrorCode.h>
#include <keldra/ListAttributeHandle.h>
#include <keldra/StringPool.h>
#include <keldra/Waypoint.h>

#include <cstdint>
#include <vector>

namespace orva {
namespace keldra {

// Names of WaypointList, interned once per string pool (its class "list" comes from
// ListAttributeHandleStrings).
class WaypointListStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle way_point;  // the item class
};

class WaypointList : public ListAttributeHandle {
 public:
  // Unbound root view with an empty list.
  WaypointList();
  // A root view over a new attribute holding a deep copy of |other|'s content.
  WaypointList(const WaypointList& other);
  // Copies |other|'s content into this view's own attribute and re-reads the items.
  WaypointList& operator=(const WaypointList& other);

  // Appends a copy of |waypoint|. 0; 3 when it is unbound; 2.
  ErrorCode add_waypoint(const Waypoint& waypoint);
  // Inserts a copy before the waypoint at |position|; at or past the end appends.
  // 0; 3 when |waypoint| is unbound; 2.
  ErrorCode insert_waypoint(const Waypoint& waypoint, uint32_t position);
  // Replaces the waypoint at |index| by a copy of |waypoint|. 0; 3 when |index| names
  // no waypoint or |waypoint| is unbound (nothing changes then).
  ErrorCode replace_waypoint(const Waypoint& waypoint, uint32_t index);
  // Removes the waypoint at |index|; an index at or past the end removes nothing. 0.
  ErrorCode remove_waypoint(uint32_t index);
  // Moves the waypoint at |from| before the one at |to| (|to| equal to count(): to the
  // end). 0; 3, changing nothing, when |from| names no waypoint or |to| is past count().
  ErrorCode move_waypoint(uint32_t from, uint32_t to);
  // Replaces every waypoint by copies of |waypoints|, in order. 0; 2 at the first
  // copy that cannot be added (an unbound waypoint), keeping those added before it.
  ErrorCode set_waypoints(const std::vector<Waypoint>& waypoints);
  // |waypoints| is emptied, then receives a copy of each waypoint in order. 0; 4 when
  // the list is unbound.
  ErrorCode get_waypoints(std::vector<Waypoint>& waypoints) const;

  void attach_child_handles() override;

 private:
  void init_list();
  unsigned int count() const { return m_waypoints.count(); }

  const WaypointListStrings* m_strings;
  AttributeHandleList<Waypoint> m_waypoints;
};

}  // namespace keldra
}  // namespace orva
