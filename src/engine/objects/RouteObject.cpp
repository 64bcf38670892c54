#include <keldra/RouteObject.h>

namespace orva {
namespace keldra {

StringPool::StringSet* RouteObjectStrings::create_strings(StringPool& pool) {
  RouteObjectStrings* s = new RouteObjectStrings;
  pool.init_handle(s->route, "route");
  pool.init_handle(s->properties, "properties");
  pool.init_handle(s->points, "points");
  return s;
}

RouteObject::RouteObject() : m_strings(view_strings<RouteObjectStrings>()) { init_members(); }

RouteObject::RouteObject(const RouteObject& other)
    : BoundedObjectBase(other), m_strings(other.m_strings) {
  init_members();
  ObjectHandle::copy(other);
  attach_child_handles();
}

RouteObject& RouteObject::operator=(const RouteObject& other) {
  if (this != &other) {
    m_strings = other.m_strings;
    BoundedObjectBase::operator=(other);
  }
  return *this;
}

void RouteObject::init_members() {
  m_properties.set_parent(this);
  m_waypoints.set_parent(this);
}

const StringPool::StringHandle& RouteObject::get_class_name_handle() const {
  return m_strings->route;
}

void RouteObject::attach_child_handles() {
  BoundedObjectBase::attach_child_handles();
  attach_handle(m_properties, m_strings->properties);
  attach_handle(m_waypoints, m_strings->points);
}

void RouteObject::do_init_child_handle(AttributeHandle& child) {
  if (&child == &m_properties) {
    add_handle(child, m_strings->properties);
  } else if (&child == &m_waypoints) {
    add_handle(child, m_strings->points);
  } else {
    BoundedObjectBase::do_init_child_handle(child);
  }
}

}  // namespace keldra
}  // namespace orva
