// Route objects: first writes create the route and its sections, binding finds the
// sections by name and class, copies are independent routes.
#include "support/PlaceFixture.h"

#include <keldra/Attribute.h>
#include <keldra/Object.h>
#include <keldra/RouteObject.h>
#include <keldra/RouteProperties.h>
#include <keldra/Waypoint.h>

#include <string>

namespace keldra_test {
namespace {

using orva::SharedPointer;
using orva::ustring;
using orva::keldra::Attribute;
using orva::keldra::Object;
using orva::keldra::RouteObject;
using orva::keldra::RouteProperties;
using orva::keldra::Waypoint;

Waypoint waypoint(const char* comment) {
  Waypoint point;
  EXPECT_EQ(0, point.comment().set_text(ustring(comment)));
  return point;
}

using RouteObjectTest = PlaceTest;

TEST_F(RouteObjectTest, FirstWritesCreateTheRouteAndItsSections) {
  RouteObject route;
  EXPECT_FALSE(route.is_safe());
  EXPECT_EQ(0, route.properties().get_mode());
  EXPECT_FALSE(route.is_safe());

  ASSERT_EQ(0, route.properties().set_mode(RouteProperties::MODE_BIKE));
  ASSERT_TRUE(route.is_safe());
  EXPECT_EQ("route", route.object()->get_class_name());
  EXPECT_EQ("properties:route_properties(mode=bike)", tree(route.object()->get_attributes()));

  ASSERT_EQ(0, route.waypoints().add_waypoint(waypoint("start")));
  ASSERT_EQ(0, route.metadata().set_copyright(ustring("c")));
  EXPECT_EQ(
      "properties:route_properties(mode=bike) points:list[:way_point[comment:text(text=start)]] "
      "meta:metadata(copyright=c)",
      tree(route.object()->get_attributes()));
}

// Each section is the first top-level attribute of its name and class, wherever it
// stands.
TEST_F(RouteObjectTest, BindingFindsTheSectionsByNameAndClass) {
  SharedPointer<Object> stored(new Object("route"));
  SharedPointer<Attribute> wrong_class(new Attribute("properties", "text"));
  SharedPointer<Attribute> points(new Attribute("points", "list"));
  SharedPointer<Attribute> settings(new Attribute("properties", "route_properties"));
  stored->get_attributes().push_back(wrong_class);
  stored->get_attributes().push_back(points);
  stored->get_attributes().push_back(settings);

  RouteObject route;
  route.attach(stored);
  EXPECT_EQ(settings.get(), route.properties().attribute().get());
  EXPECT_EQ(points.get(), route.waypoints().attribute().get());

  ASSERT_EQ(0, route.properties().set_type(RouteProperties::TYPE_FASTEST));
  EXPECT_EQ("properties:route_properties(type=fastest)", tree(*settings));
  EXPECT_EQ(3u, stored->get_attributes().size());

  route.reset();
  EXPECT_FALSE(route.properties().is_safe());
  EXPECT_FALSE(route.waypoints().is_safe());
}

TEST_F(RouteObjectTest, CopiesAreIndependentRoutes) {
  RouteObject source;
  ASSERT_EQ(0, source.properties().set_mode(RouteProperties::MODE_CAR));
  ASSERT_EQ(0, source.waypoints().add_waypoint(waypoint("a")));
  source.object()->set_local_id(12);

  RouteObject copy(source);
  ASSERT_TRUE(copy.is_safe());
  EXPECT_NE(source.object().get(), copy.object().get());
  EXPECT_EQ("route", copy.object()->get_class_name());
  EXPECT_EQ(12u, copy.get_local_id());
  EXPECT_EQ(tree(source.object()->get_attributes()), tree(copy.object()->get_attributes()));

  ASSERT_EQ(0, copy.properties().set_mode(RouteProperties::MODE_PEDESTRIAN));
  ASSERT_EQ(0, copy.waypoints().add_waypoint(waypoint("b")));
  EXPECT_EQ(RouteProperties::MODE_CAR, source.properties().get_mode());
  EXPECT_EQ(
      "properties:route_properties(mode=car) points:list[:way_point[comment:text(text=a)]]",
      tree(source.object()->get_attributes()));

  RouteObject unbound;
  RouteObject unbound_copy(unbound);
  EXPECT_FALSE(unbound_copy.is_safe());

  RouteObject assigned;
  assigned = source;
  EXPECT_EQ("route", assigned.object()->get_class_name());
  EXPECT_EQ(RouteProperties::MODE_CAR, assigned.properties().get_mode());
  EXPECT_NE(source.object().get(), assigned.object().get());
}

// Assigning settings into the route's section rewrites the stored section in place.
TEST_F(RouteObjectTest, AssigningIntoThePropertiesRewritesTheRoute) {
  RouteObject route;
  ASSERT_EQ(0, route.properties().set_mode(RouteProperties::MODE_CAR));
  ASSERT_EQ(0, route.properties().set_option(RouteProperties::OPTION_FERRIES_NOT_ALLOWED, true));
  const Attribute* section = route.properties().attribute().get();

  RouteProperties planned;
  ASSERT_EQ(0, planned.set_type(RouteProperties::TYPE_SHORTEST));
  ASSERT_EQ(0, planned.set_departure_time("2011-05-06T10:20:30Z"));
  route.properties() = planned;

  EXPECT_EQ(section, route.properties().attribute().get());
  EXPECT_EQ("properties:route_properties(type=shortest,departure=2011-05-06T10:20:30Z)",
            tree(route.object()->get_attributes()));

  // A copy of the section is a root view of its own.
  RouteProperties copy(route.properties());
  ASSERT_EQ(0, copy.set_type(RouteProperties::TYPE_NO_TRANSFERS));
  EXPECT_EQ(RouteProperties::TYPE_SHORTEST, route.properties().get_type());
  EXPECT_EQ("properties", copy.get_name());
}

}  // namespace
}  // namespace keldra_test
