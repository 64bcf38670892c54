// RouteObject: the view of an object of class "route", a planned way from one place
// to another.
//
// Besides "meta" and "bounding_box" (BoundedObjectBase) it shows the children
// "properties" (class "route_properties", the settings the route was planned under)
// and "points" (class "list", the waypoints in order). Each child is bound to the
// first top-level attribute of its name and class and appended to the object on its
// first write.
//
// Results as the child views give them. Binding to an object of another class is a
// broken invariant.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/BoundedObjectBase.h>
#include <keldra/RouteProperties.h>
#include <keldra/StringPool.h>
#include <keldra/WaypointList.h>

namespace orva {
namespace keldra {

// Name table of RouteObject.
class RouteObjectStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle route;  // the class
  StringPool::StringHandle properties;
  StringPool::StringHandle points;
};

class RouteObject : public BoundedObjectBase {
 public:
  // Unbound view with unbound children.
  RouteObject();
  // A view over a new object of class "route" holding a deep copy of |other|'s
  // object; unbound when |other| is.
  RouteObject(const RouteObject& other);
  // Copies |other|'s object into this view's own object (created when needed).
  RouteObject& operator=(const RouteObject& other);

  const StringPool::StringHandle& get_class_name_handle() const override;

  RouteProperties& properties() { return m_properties; }
  const RouteProperties& properties() const { return m_properties; }
  WaypointList& waypoints() { return m_waypoints; }
  const WaypointList& waypoints() const { return m_waypoints; }

  void attach_child_handles() override;
  void do_init_child_handle(AttributeHandle& child) override;

 private:
  void init_members();

  RouteObjectStrings* m_strings;
  RouteProperties m_properties;
  WaypointList m_waypoints;
};

}  // namespace keldra
}  // namespace orva
