#include <keldra/Waypoint.h>

#include <keldra/Attribute.h>
#include <keldra/LinkList.h>

namespace orva {
namespace keldra {

StringPool::StringSet* WaypointStrings::create_strings(StringPool& pool) {
  WaypointStrings* strings = new WaypointStrings();
  pool.init_handle(strings->way_point, "way_point");
  pool.init_handle(strings->comment, "comment");
  pool.init_handle(strings->position, "position");
  pool.init_handle(strings->attachment, "attachment");
  pool.init_handle(strings->location, "location");
  return strings;
}

Waypoint::Waypoint() : m_strings(view_strings<WaypointStrings>()) { init_children(); }

Waypoint::Waypoint(const Waypoint& other) : AttributeHandle(other), m_strings(other.m_strings) {
  init_children();
  copy(other);
  attach_child_handles();
}

Waypoint& Waypoint::operator=(const Waypoint& other) {
  m_strings = other.m_strings;
  AttributeHandle::operator=(other);
  return *this;
}

void Waypoint::init_children() {
  m_position.set_parent(this);
  m_comment.set_parent(this);
}

ErrorCode Waypoint::set_location(const Link& link) {
  return set_named_link(link, m_strings->location);
}

ErrorCode Waypoint::set_attachment(const Link& link) {
  return set_named_link(link, m_strings->attachment);
}

void Waypoint::get_location(Link& link) const { get_named_link(link, m_strings->location); }

void Waypoint::get_attachment(Link& link) const { get_named_link(link, m_strings->attachment); }

ErrorCode Waypoint::set_named_link(const Link& link, const StringPool::StringHandle& name) {
  if (!init_self()) return ORVA_ERROR_OUT_OF_MEMORY;
  Link named(link);
  named.set_name(name);
  attribute()->get_links().set_link(named);
  return ORVA_ERROR_NONE;
}

void Waypoint::get_named_link(Link& link, const StringPool::StringHandle& name) const {
  if (!is_safe()) return;
  const Attribute& waypoint = *attribute();
  const LinkList& links = waypoint.get_links();
  int index = links.find_link(name);
  if (index >= 0) link = links[static_cast<unsigned int>(index)];
}

const StringPool::StringHandle& Waypoint::get_class_name_handle() const {
  return m_strings->way_point;
}

void Waypoint::do_init_child_handle(AttributeHandle& child) {
  if (&child == &m_position) {
    add_handle(child, m_strings->position);
  } else if (&child == &m_comment) {
    add_handle(child, m_strings->comment);
  } else {
    AttributeHandle::do_init_child_handle(child);
  }
}

void Waypoint::attach_child_handles() {
  attach_handle(m_position, m_strings->position);
  attach_handle(m_comment, m_strings->comment);
}

}  // namespace keldra
}  // namespace orva
