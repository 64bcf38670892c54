// Waypoints and their links and children; the waypoint list's operations, its item
// selection among other children and its refusal of positions outside the list.
#include "ItemViews.h"

#include <keldra/Link.h>
#include <keldra/LinkList.h>
#include <keldra/Waypoint.h>
#include <keldra/WaypointList.h>

#include <tervo/GeoCoordinates.h>

#include <vector>

namespace keldra_test {
namespace {

using orva::keldra::Link;
using orva::keldra::Waypoint;
using orva::keldra::WaypointList;

// A root waypoint whose attribute carries |name|, so that lists can be read by name.
Waypoint named_waypoint(const char* name) {
  Waypoint waypoint;
  EXPECT_EQ(0, waypoint.comment().set_text(ustring(name)));
  waypoint.attribute()->set_name(std::string(name));
  return waypoint;
}

// The names of the children of |list|, each with a '*' when it is of class way_point.
std::string children(const Attribute& list) {
  std::string out;
  for (const SharedPointer<Attribute>& child : list.get_attributes()) {
    if (!out.empty()) out += " ";
    out += child->get_name();
    if (child->get_class_name() == "way_point") out += "*";
  }
  return out;
}

// The comments of what get_waypoints hands out.
std::string comments(const WaypointList& list) {
  std::vector<Waypoint> waypoints;
  EXPECT_EQ(0, list.get_waypoints(waypoints));
  std::string out;
  for (const Waypoint& waypoint : waypoints) {
    ustring text;
    waypoint.comment().get_text(text);
    if (!out.empty()) out += " ";
    out += text.to_utf8();
  }
  return out;
}

// A stored list: waypoints a, b (named otherwise) and c, with other children between.
class WaypointListTest : public ItemViewTest {
 protected:
  WaypointListTest() {
    m_attribute->get_attributes().push_back(make_attribute("meta", "metadata"));
    add_stored("a", "a");
    m_attribute->get_attributes().push_back(make_attribute("note", "text"));
    add_stored("b", "point");
    add_stored("c", "c");
    m_attribute->get_attributes().push_back(make_attribute("tail", "list"));
    m_list.attach(m_attribute);
  }

  void add_stored(const char* comment, const char* name) {
    Waypoint waypoint = named_waypoint(comment);
    waypoint.attribute()->set_name(std::string(name));
    m_attribute->get_attributes().push_back(waypoint.attribute());
  }

  SharedPointer<Attribute> m_attribute = make_attribute("points", "list");
  WaypointList m_list;
};

TEST_F(ItemViewTest, WaypointLinksKeepOneLinkPerName) {
  Waypoint waypoint;
  Link out(99);
  out.set_name(std::string("before"));
  waypoint.get_location(out);
  EXPECT_EQ(99u, out.get_local_link());

  Link first(5);
  Link second;
  second.set_global_link(7000);
  second.set_name(std::string("caller"));
  ASSERT_EQ(0, waypoint.set_location(first));
  ASSERT_EQ(0, waypoint.set_attachment(Link(6)));
  ASSERT_EQ(0, waypoint.set_location(second));
  EXPECT_EQ(":way_point{location,attachment}", typed_tree(*waypoint.attribute()));
  EXPECT_EQ("caller", second.get_name());

  waypoint.get_location(out);
  EXPECT_EQ(0u, out.get_local_link());
  EXPECT_EQ(7000u, out.get_global_link());
  EXPECT_EQ("location", out.get_name());
  waypoint.get_attachment(out);
  EXPECT_EQ(6u, out.get_local_link());
  EXPECT_EQ("attachment", out.get_name());

  // A link without target removes the location; reading it then changes nothing.
  ASSERT_EQ(0, waypoint.set_location(Link()));
  EXPECT_EQ(":way_point{attachment}", typed_tree(*waypoint.attribute()));
  waypoint.get_location(out);
  EXPECT_EQ(6u, out.get_local_link());
  EXPECT_EQ("attachment", out.get_name());
}

TEST_F(ItemViewTest, WaypointChildrenAreTheFirstOfTheirRoleAndClass) {
  SharedPointer<Attribute> stored = make_attribute("p", "way_point");
  SharedPointer<Attribute> foreign = make_attribute("comment", "note");
  SharedPointer<Attribute> comment = make_attribute("comment", "text");
  comment->prepare_field("text")->set_value(std::string("first"));
  SharedPointer<Attribute> later = make_attribute("comment", "text");
  later->prepare_field("text")->set_value(std::string("second"));
  stored->get_attributes().push_back(foreign);
  stored->get_attributes().push_back(comment);
  stored->get_attributes().push_back(later);

  Waypoint waypoint;
  waypoint.attach(stored);
  EXPECT_EQ(comment, waypoint.comment().attribute());
  EXPECT_FALSE(waypoint.position().is_safe());

  // The position is added after the existing children.
  ASSERT_EQ(0, waypoint.position().set_coordinates(orva::GeoCoordinates(1.0, 2.0)));
  EXPECT_EQ("p:way_point[comment:note comment:text(text/8) comment:text(text/8) "
            "position:position(latitude/6,longitude/6)]",
            typed_tree(*stored));
}

TEST_F(ItemViewTest, WaypointCopiesAreDetached) {
  WaypointList list;
  ASSERT_EQ(0, list.add_waypoint(named_waypoint("a")));
  std::vector<Waypoint> held;
  ASSERT_EQ(0, list.get_waypoints(held));
  ASSERT_EQ(1u, held.size());

  Waypoint copy(held[0]);
  EXPECT_EQ("a", copy.get_name());
  EXPECT_EQ(nullptr, copy.get_parent());
  ASSERT_EQ(0, copy.comment().set_text(ustring("changed")));
  ASSERT_EQ(0, held[0].set_location(Link(3)));
  EXPECT_EQ("a", comments(list));
  EXPECT_EQ(":list[a:way_point[comment:text(text/8)]]", typed_tree(*list.attribute()));

  Waypoint unbound;
  Waypoint unbound_copy(unbound);
  EXPECT_FALSE(unbound_copy.is_safe());
}

// Assigning into a stored waypoint keeps its attribute and name; its children and
// links become the other's, and the child views follow them.
TEST_F(ItemViewTest, AssigningAWaypointRewritesTheStoredOneInPlace) {
  SharedPointer<Attribute> stored = make_attribute("p", "way_point");
  Waypoint target;
  target.attach(stored);
  ASSERT_EQ(0, target.comment().set_text(ustring("old")));
  ASSERT_EQ(0, target.set_location(Link(1)));
  ASSERT_EQ(0, target.set_attachment(Link(2)));

  Waypoint source = named_waypoint("new");
  ASSERT_EQ(0, source.position().set_coordinates(orva::GeoCoordinates(3.0, 4.0)));
  ASSERT_EQ(0, source.set_location(Link(5)));
  target = source;

  EXPECT_EQ(stored, target.attribute());
  EXPECT_EQ("p:way_point{location}[comment:text(text/8) "
            "position:position(latitude/6,longitude/6)]",
            typed_tree(*stored));
  ASSERT_TRUE(target.position().is_safe());
  EXPECT_EQ(stored->get_attributes()[1], target.position().attribute());
  ustring comment;
  EXPECT_TRUE(target.comment().get_text(comment));
  EXPECT_EQ(ustring("new"), comment);
  Link location, attachment(9);
  target.get_location(location);
  target.get_attachment(attachment);
  EXPECT_EQ(5u, location.get_local_link());
  EXPECT_EQ(9u, attachment.get_local_link());

  // Later writes through either view stay on their own side.
  ASSERT_EQ(0, source.comment().set_text(ustring("source")));
  ASSERT_EQ(0, target.comment().set_text(ustring("target")));
  EXPECT_TRUE(source.comment().get_text(comment));
  EXPECT_EQ(ustring("source"), comment);
}

TEST_F(WaypointListTest, ItemsAreEveryWaypointWhateverItsName) {
  EXPECT_EQ("a b c", comments(m_list));
  EXPECT_EQ("meta a* note point* c* tail", children(*m_attribute));
}

TEST_F(WaypointListTest, AddAndInsertStoreCopies) {
  Waypoint unbound;
  EXPECT_EQ(3, m_list.add_waypoint(unbound));
  EXPECT_EQ(3, m_list.insert_waypoint(unbound, 0));
  EXPECT_EQ("meta a* note point* c* tail", children(*m_attribute));

  // Once the waypoint has a position it is bound and can be added.
  ASSERT_EQ(0, unbound.position().set_coordinates(orva::GeoCoordinates(1.0, 2.0)));
  ASSERT_EQ(0, m_list.add_waypoint(unbound));
  EXPECT_EQ("meta a* note point* c* tail *", children(*m_attribute));
  EXPECT_NE(unbound.attribute(), m_attribute->get_attributes()[6]);

  ASSERT_EQ(0, m_list.insert_waypoint(named_waypoint("x"), 0));
  ASSERT_EQ(0, m_list.insert_waypoint(named_waypoint("y"), 2));
  ASSERT_EQ(0, m_list.insert_waypoint(named_waypoint("z"), 99));
  EXPECT_EQ("meta x* a* note y* point* c* tail * z*", children(*m_attribute));
  EXPECT_EQ("x a y b c  z", comments(m_list));
}

TEST_F(WaypointListTest, ReplaceKeepsTheOtherChildrenInPlace) {
  ASSERT_EQ(0, m_list.replace_waypoint(named_waypoint("x"), 1));
  EXPECT_EQ("meta a* note x* c* tail", children(*m_attribute));
  EXPECT_EQ("a x c", comments(m_list));
  ASSERT_EQ(0, m_list.replace_waypoint(named_waypoint("y"), 0));
  EXPECT_EQ("y x c", comments(m_list));
}

// Positions come straight from the library's callers: outside the list they are
// refused with 3 and nothing changes.
TEST_F(WaypointListTest, PositionsOutsideTheListAreRefused) {
  const std::string before = children(*m_attribute);
  EXPECT_EQ(3, m_list.replace_waypoint(named_waypoint("x"), 3));
  EXPECT_EQ(3, m_list.replace_waypoint(named_waypoint("x"), 0xFFFFFFFFu));
  EXPECT_EQ(3, m_list.replace_waypoint(Waypoint(), 0));
  EXPECT_EQ(3, m_list.move_waypoint(3, 0));
  EXPECT_EQ(3, m_list.move_waypoint(0, 4));
  EXPECT_EQ(3, m_list.move_waypoint(0xFFFFFFFFu, 0xFFFFFFFFu));
  EXPECT_EQ(0, m_list.remove_waypoint(3));
  EXPECT_EQ(0, m_list.remove_waypoint(0xFFFFFFFFu));
  EXPECT_EQ(before, children(*m_attribute));
  EXPECT_EQ("a b c", comments(m_list));

  // An empty, unbound list refuses every position and stays unbound.
  WaypointList empty;
  EXPECT_EQ(3, empty.replace_waypoint(named_waypoint("x"), 0));
  EXPECT_EQ(3, empty.move_waypoint(0, 0));
  EXPECT_EQ(0, empty.remove_waypoint(0));
  EXPECT_FALSE(empty.is_safe());
}

TEST_F(WaypointListTest, MoveAndRemoveKeepItemsAndChildrenInStep) {
  struct Case {
    unsigned int from, to;
    const char* order;
    const char* children;
  };
  const Case cases[] = {
      {0, 2, "b a c", "meta note point* a* c* tail"},
      {2, 0, "c a b", "meta c* a* note point* tail"},
      {0, 3, "b c a", "meta note point* c* tail a*"},
      {1, 1, "a b c", "meta a* note point* c* tail"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.from) + " to " + std::to_string(c.to));
    SharedPointer<Attribute> fresh(new Attribute(*m_attribute));
    WaypointList list;
    list.attach(fresh);
    ASSERT_EQ(0, list.move_waypoint(c.from, c.to));
    EXPECT_EQ(c.order, comments(list));
    EXPECT_EQ(c.children, children(*fresh));
  }

  ASSERT_EQ(0, m_list.remove_waypoint(1));
  EXPECT_EQ("meta a* note c* tail", children(*m_attribute));
  EXPECT_EQ("a c", comments(m_list));
}

TEST_F(WaypointListTest, SetWaypointsReplacesAllAndStopsAtAnUnboundOne) {
  ASSERT_EQ(0, m_list.set_waypoints({named_waypoint("x"), named_waypoint("y")}));
  EXPECT_EQ("meta note tail x* y*", children(*m_attribute));
  EXPECT_EQ("x y", comments(m_list));

  EXPECT_EQ(2, m_list.set_waypoints({named_waypoint("p"), Waypoint(), named_waypoint("q")}));
  EXPECT_EQ("meta note tail p*", children(*m_attribute));
  EXPECT_EQ("p", comments(m_list));

  ASSERT_EQ(0, m_list.set_waypoints({}));
  EXPECT_EQ("meta note tail", children(*m_attribute));

  // On an unbound list an empty vector creates nothing.
  WaypointList unbound;
  ASSERT_EQ(0, unbound.set_waypoints({}));
  EXPECT_FALSE(unbound.is_safe());
}

TEST_F(WaypointListTest, GetWaypointsHandsOutDetachedCopies) {
  std::vector<Waypoint> waypoints{named_waypoint("old")};
  WaypointList unbound;
  EXPECT_EQ(4, unbound.get_waypoints(waypoints));
  EXPECT_TRUE(waypoints.empty());

  waypoints.push_back(named_waypoint("old"));
  WaypointList empty;
  empty.attach(make_attribute("points", "list"));
  EXPECT_EQ(0, empty.get_waypoints(waypoints));
  EXPECT_TRUE(waypoints.empty());

  ASSERT_EQ(0, m_list.get_waypoints(waypoints));
  ASSERT_EQ(3u, waypoints.size());
  EXPECT_EQ("point", waypoints[1].get_name());
  ASSERT_EQ(0, waypoints[1].comment().set_text(ustring("changed")));
  ASSERT_EQ(0, waypoints[1].set_location(Link(4)));
  EXPECT_EQ("a b c", comments(m_list));
}

TEST_F(WaypointListTest, CopiesAndAssignmentsOfTheList) {
  WaypointList copy(m_list);
  ASSERT_TRUE(copy.is_safe());
  EXPECT_NE(m_attribute, copy.attribute());
  EXPECT_EQ("a b c", comments(copy));
  ASSERT_EQ(0, copy.remove_waypoint(0));
  EXPECT_EQ("a b c", comments(m_list));

  // Assigning into a route's list rewrites its attribute in place.
  TestItem item;
  ASSERT_EQ(0, item.points().add_waypoint(named_waypoint("z")));
  SharedPointer<Attribute> points = item.points().attribute();
  item.points() = copy;
  EXPECT_EQ(points, item.points().attribute());
  EXPECT_EQ("b c", comments(item.points()));
  ASSERT_EQ(0, item.points().move_waypoint(1, 0));
  EXPECT_EQ("c b", comments(item.points()));
  EXPECT_EQ("b c", comments(copy));
}

}  // namespace
}  // namespace keldra_test
