// Binding a route, multimedia, publisher or mapping view to stored data and reading
// every value through it changes nothing: no list is given to an attribute that had
// none and nothing is marked modified, so the store has nothing to write back.
#include "support/PlaceFixture.h"

#include "objects/MappingObject.h"

#include <keldra/Attribute.h>
#include <keldra/Contact.h>
#include <keldra/Link.h>
#include <keldra/MultimediaObject.h>
#include <keldra/Object.h>
#include <keldra/ObjectBase.h>
#include <keldra/PublisherObject.h>
#include <keldra/RouteObject.h>
#include <keldra/RouteProperties.h>
#include <keldra/Waypoint.h>

#include <tervo/GeoCoordinates.h>

#include <functional>
#include <string>
#include <vector>

namespace keldra_test {
namespace {

using orva::SharedPointer;
using orva::ustring;
using orva::keldra::Attribute;
using orva::keldra::Contact;
using orva::keldra::Link;
using orva::keldra::MultimediaObject;
using orva::keldra::Object;
using orva::keldra::ObjectBase;
using orva::keldra::PublisherObject;
using orva::keldra::RouteObject;
using orva::keldra::RouteProperties;
using orva::keldra::Waypoint;
using orva::keldra::internal::MappingObject;

void read_all(const RouteProperties& properties) {
  properties.get_mode();
  properties.get_type();
  std::vector<RouteProperties::RouteOption> options;
  properties.get_options(options);
  properties.is_option_set(RouteProperties::OPTION_BUS_NOT_ALLOWED);
  properties.get_departure_time();
  properties.get_arrival_time();
}

void read_meta(const orva::keldra::Metadata& meta) {
  ustring text;
  meta.get_name(text, ustring());
  meta.get_copyright(text);
}

// Each reader binds a new view of its kind to |object| and reads everything through it.
void read_route(const SharedPointer<Object>& object) {
  RouteObject route;
  route.attach(object);
  read_meta(route.metadata());
  read_all(route.properties());
  std::vector<Waypoint> waypoints;
  route.waypoints().get_waypoints(waypoints);
  ustring comment;
  for (const Waypoint& waypoint : waypoints) waypoint.comment().get_text(comment);
}

void read_multimedia(const SharedPointer<Object>& object) {
  MultimediaObject media;
  media.attach(object);
  read_meta(media.metadata());
  orva::GeoCoordinates point;
  media.position().get_coordinates(point);
  std::string mime;
  media.data_stream().get_mime(mime);
  std::vector<unsigned char> bytes;
  media.data_stream().get_data(bytes);
  ustring url;
  media.local_uri().get_url(url);
  media.remote_uri().get_url(url);
  media.remote_uri().get_mime(mime);
  // Every getter of the file facts is read in the attribute view tests.
  media.local_info().get_file_size();
  media.remote_info().get_duration();
}

void read_publisher(const SharedPointer<Object>& object) {
  PublisherObject publisher;
  publisher.attach(object);
  read_meta(publisher.metadata());
  ustring value;
  publisher.contact().get_field_value(Contact::PHONE, value);
  publisher.contact().get_field_description(Contact::PHONE, value);
}

void read_mapping(const SharedPointer<Object>& object) {
  MappingObject mapping;
  mapping.attach(object);
  Link pair(5);
  EXPECT_EQ(0, mapping.find_map(pair));
  std::vector<ObjectBase> identities;
  mapping.get_maps(identities);
  EXPECT_EQ(2u, identities.size());
}

using ReadingTest = PlaceTest;

// Each row writes one of everything through a view of its kind, then binds a second
// view of that kind to the object and reads everything back through it.
TEST_F(ReadingTest, ReadingAStoredObjectMarksNothing) {
  struct Case {
    const char* kind;
    std::function<SharedPointer<Object>()> fill;
    void (*read)(const SharedPointer<Object>&);
  };
  const Case cases[] = {
      {"route",
       [] {
         RouteObject route;
         EXPECT_EQ(0, route.metadata().set_name(ustring("Coast road"), ustring()));
         EXPECT_EQ(0, route.properties().set_mode(RouteProperties::MODE_CAR));
         EXPECT_EQ(0, route.properties().set_type(RouteProperties::TYPE_FASTEST));
         EXPECT_EQ(0, route.properties().set_options({RouteProperties::OPTION_BUS_NOT_ALLOWED}));
         EXPECT_EQ(0, route.properties().set_departure_time("2011-05-06T10:20:30Z"));
         Waypoint waypoint;
         EXPECT_EQ(0, waypoint.comment().set_text(ustring("start")));
         EXPECT_EQ(0, route.waypoints().add_waypoint(waypoint));
         return route.object();
       },
       read_route},
      {"multimedia",
       [] {
         MultimediaObject media;
         EXPECT_EQ(0, media.metadata().set_copyright(ustring("c")));
         EXPECT_EQ(0, media.position().set_coordinates(orva::GeoCoordinates(60.0, 24.0)));
         EXPECT_EQ(0, media.data_stream().set_mime("image/png"));
         EXPECT_EQ(0, media.local_uri().set_url(ustring("file:///a.jpg")));
         EXPECT_EQ(0, media.remote_uri().set_url(ustring("https://x/a.jpg")));
         EXPECT_EQ(0, media.local_info().set_file_size(10));
         EXPECT_EQ(0, media.remote_info().set_file_size(20));
         return media.object();
       },
       read_multimedia},
      {"publisher",
       [] {
         PublisherObject publisher;
         EXPECT_EQ(0, publisher.metadata().set_copyright(ustring("c")));
         EXPECT_EQ(0, publisher.contact().set_field_value(Contact::PHONE, ustring("123")));
         return publisher.object();
       },
       read_publisher},
      {"mapping",
       [] {
         MappingObject mapping;
         EXPECT_EQ(0, mapping.add_map(5, 50));
         EXPECT_EQ(0, mapping.add_map(6, 60));
         return mapping.object();
       },
       read_mapping},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    SharedPointer<Object> object = c.fill();
    ASSERT_TRUE(object.is_valid());
    const std::string before = tree(object->get_attributes());
    object->set_modified(false);
    c.read(object);
    EXPECT_FALSE(object->is_modified());
    EXPECT_EQ(before, tree(object->get_attributes()));
  }
}

// Sections as foreign data may hold them: no field, child or link list at all.
TEST_F(ReadingTest, ReadingBareSectionsMarksNothing) {
  struct Case {
    const char* object_class;
    const char* name;
    const char* class_name;
    void (*read)(const SharedPointer<Object>&);
  };
  const Case cases[] = {
      {"route", "properties", "route_properties", read_route},
      {"route", "points", "list", read_route},
      {"multimedia", "remote_info", "file_info", read_multimedia},
      {"publisher", "contact", "contact", read_publisher},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SharedPointer<Object> object(new Object(c.object_class));
    object->get_attributes().push_back(
        SharedPointer<Attribute>(new Attribute(c.name, c.class_name)));
    object->set_modified(false);
    c.read(object);
    EXPECT_FALSE(object->is_modified());
    EXPECT_EQ(std::string(c.name) + ":" + c.class_name, tree(object->get_attributes()));
  }
}

}  // namespace
}  // namespace keldra_test
