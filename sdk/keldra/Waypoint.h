// Waypoint: typed view of an attribute of class "way_point", one point of a route.
//
// Children: "position" (class "position", a Position view) where the waypoint lies,
// and "comment" (class "text", a Text view) the user's comment. Links: "location",
// the place the waypoint stands for, and "attachment", any object attached to it.
// The waypoint has no fields of its own.
//
// Setters create the waypoint's attribute (a root view makes its own unnamed one) and
// return 0, or 2 when it cannot be created. A child view's first write appends its
// attribute under its role name; reads never create anything. A copy is a root view
// over a new attribute holding a deep copy of the source and the source's name.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/AttributeHandle.h>
#include <keldra/ErrorCode.h>
#include <keldra/Link.h>
#include <keldra/Position.h>
#include <keldra/StringPool.h>
#include <keldra/Text.h>

namespace orva {
namespace keldra {

// Names of Waypoint, interned once per string pool.
class WaypointStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle way_point;  // the class
  StringPool::StringHandle comment;
  StringPool::StringHandle position;
  StringPool::StringHandle attachment;
  StringPool::StringHandle location;
};

class Waypoint : public AttributeHandle {
 public:
  // Unbound root view with unbound children.
  Waypoint();
  Waypoint(const Waypoint& other);
  // Copies |other|'s content into this view's own attribute and re-binds the children.
  Waypoint& operator=(const Waypoint& other);

  Position& position() { return m_position; }
  const Position& position() const { return m_position; }
  Text& comment() { return m_comment; }
  const Text& comment() const { return m_comment; }

  // Stores a copy of |link| named "location", replacing the link of that name; a
  // link without target removes it instead. 0, or 2.
  ErrorCode set_location(const Link& link);
  // The same for "attachment".
  ErrorCode set_attachment(const Link& link);
  // |link| receives the stored link of that name (ids and name); left as it was when
  // the view is unbound or has none.
  void get_location(Link& link) const;
  void get_attachment(Link& link) const;

  const StringPool::StringHandle& get_class_name_handle() const override;
  void do_init_child_handle(AttributeHandle& child) override;
  void attach_child_handles() override;

 private:
  void init_children();
  ErrorCode set_named_link(const Link& link, const StringPool::StringHandle& name);
  void get_named_link(Link& link, const StringPool::StringHandle& name) const;

  const WaypointStrings* m_strings;
  Position m_position;
  Text m_comment;
};

}  // namespace keldra
}  // namespace orva
