// Positions: coordinates and locations in and out of the fields, the no-value marker,
// datum and time, and the list of positions by context.
#include "support/SampleViews.h"

#include <keldra/Field.h>
#include <keldra/FieldList.h>

#include <tervo/GeoCoordinates.h>
#include <tervo/Location.h>

#include <cmath>
#include <functional>
#include <limits>

namespace keldra_test {
namespace {

using orva::GeoCoordinates;
using orva::Location;
using orva::keldra::Position;
using orva::keldra::PositionArray;
using orva::keldra::PositionItemNameCompare;

const double kNoValue = 1073741824.0;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

Location location(double altitude, float x_acc, float z_acc, double course, double speed,
                  long long time) {
  Location l(GeoCoordinates(60.25, 24.5, altitude));
  l.set_x_accuracy_m(x_acc);
  l.set_y_accuracy_m(99.0f);
  l.set_z_accuracy_m(z_acc);
  l.set_course_degrees(course);
  l.set_speed_m_s(speed);
  l.set_timestamp(time);
  return l;
}

TEST_F(ViewTest, SetCoordinatesStoresAltitudeOnlyWithAValue) {
  const struct {
    double altitude;
    const char* fields;
    double read_back;
  } cases[] = {
      {12.5, "latitude,longitude,altitude", 12.5},
      {kNoValue, "latitude,longitude", kNoValue},
      {kNaN, "latitude,longitude", kNoValue},
      {kInf, "latitude,longitude", kNoValue},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.altitude);
    Position position;
    position.set_coordinates(GeoCoordinates(1.0, 2.0, 100.0));  // a stale altitude goes
    EXPECT_EQ(0, position.set_coordinates(GeoCoordinates(60.25, 24.5, c.altitude)));
    EXPECT_EQ(std::string(":position(") + c.fields + ")", name_tree(*position.attribute()));
    GeoCoordinates read;
    position.get_coordinates(read);
    EXPECT_EQ(60.25, read.get_latitude());
    EXPECT_EQ(24.5, read.get_longitude());
    EXPECT_EQ(c.read_back, read.get_altitude());
  }
}

TEST_F(ViewTest, InvalidCoordinatesAndLocationsWriteNothing) {
  Position position;
  EXPECT_EQ(3, position.set_coordinates(GeoCoordinates()));
  EXPECT_EQ(3, position.set_coordinates(GeoCoordinates(91.0, 0.0)));
  EXPECT_EQ(3, position.set_location(Location()));
  EXPECT_FALSE(position.is_safe());
}

TEST_F(ViewTest, SetLocationWritesOnlyValuesThatHaveOne) {
  const struct {
    const char* what;
    Location given;
    const char* fields;
  } cases[] = {
      {"everything", location(10.0, 5.0f, 7.0f, 90.0, 3.0, 1000),
       "latitude,longitude,altitude,accuracy,alt_accuracy,course,speed,time"},
      {"no altitude drops the vertical accuracy",
       location(kNoValue, 5.0f, 7.0f, 90.0, 3.0, 1000),
       "latitude,longitude,accuracy,course,speed,time"},
      {"a NaN altitude keeps the vertical accuracy", location(kNaN, 5.0f, 7.0f, 90.0, 3.0, 0),
       "latitude,longitude,accuracy,alt_accuracy,course,speed"},
      {"nothing but coordinates",
       location(kNoValue, 1073741824.0f, 1073741824.0f, kNoValue, kNoValue, 0),
       "latitude,longitude"},
      {"NaN values are stored as such", location(10.0, NAN, NAN, kNaN, kNaN, 0),
       "latitude,longitude,altitude,accuracy,alt_accuracy,course,speed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Position position;
    // A full earlier fix: fields without a value now must go.
    ASSERT_EQ(0, position.set_location(location(1.0, 1.0f, 1.0f, 1.0, 1.0, 0)));
    EXPECT_EQ(0, position.set_location(c.given));
    EXPECT_EQ(std::string(":position(") + c.fields + ")", name_tree(*position.attribute()));
  }
}

TEST_F(ViewTest, LocationRoundTrip) {
  Position position;
  ASSERT_EQ(0, position.set_location(location(10.0, 5.0f, 7.0f, 90.0, 3.0, 1000)));
  Location read;
  position.get_location(read);
  EXPECT_EQ(60.25, read.get_coordinates().get_latitude());
  EXPECT_EQ(24.5, read.get_coordinates().get_longitude());
  EXPECT_EQ(10.0, read.get_coordinates().get_altitude());
  EXPECT_EQ(5.0f, read.get_x_accuracy_m());
  EXPECT_EQ(5.0f, read.get_y_accuracy_m());  // the y accuracy given was not kept
  EXPECT_EQ(7.0f, read.get_z_accuracy_m());
  EXPECT_EQ(90.0, read.get_course_degrees());
  EXPECT_EQ(3.0, read.get_speed_m_s());
  EXPECT_EQ(1000, read.get_timestamp());
}

TEST_F(ViewTest, ZeroTimestampKeepsStoredTime) {
  Position position;
  position.set_location(location(10.0, 5.0f, 7.0f, 90.0, 3.0, 1000));
  position.set_location(location(10.0, 5.0f, 7.0f, 90.0, 3.0, 0));
  EXPECT_EQ(1000, position.get_timestamp());
  EXPECT_EQ(0, position.set_timestamp(0));
  EXPECT_TRUE(position.has_field_value(handle("time")));
  EXPECT_EQ(0, position.get_timestamp());
}

TEST_F(ViewTest, StoredValuesWithoutMeaningReadAsNoValue) {
  const struct {
    float stored_course;
    double course;
  } cases[] = {{400.0f, kNoValue}, {-1.0f, kNoValue}, {NAN, kNoValue},
               {0.0f, 0.0},        {360.0f, 360.0},   {359.5f, 359.5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored_course);
    Position position;
    position.set_coordinates(GeoCoordinates(1.0, 2.0, 3.0));
    position.set_field(handle("course"), c.stored_course);
    position.set_field(handle("speed"), std::numeric_limits<float>::infinity());
    Location read;
    position.get_location(read);
    EXPECT_EQ(c.course, read.get_course_degrees());
    EXPECT_EQ(kNoValue, read.get_speed_m_s());
    EXPECT_EQ(1073741824.0f, read.get_x_accuracy_m());
  }
}

TEST_F(ViewTest, VerticalAccuracyIsReadOnlyWithAnAltitude) {
  Position position;
  position.set_coordinates(GeoCoordinates(1.0, 2.0));
  position.set_field(handle("alt_accuracy"), 4.0f);
  Location read;
  read.set_z_accuracy_m(1.0f);
  position.get_location(read);
  EXPECT_EQ(1073741824.0f, read.get_z_accuracy_m());
}

TEST_F(ViewTest, LocationWithoutCoordinatesKeepsItsValuesButTakesTheTime) {
  Position position;
  position.set_timestamp(77);
  position.set_field(handle("speed"), 5.0f);
  Location read = location(1.0, 2.0f, 3.0f, 4.0, 6.0, 8);
  position.get_location(read);
  EXPECT_FALSE(read.get_coordinates().is_valid());
  EXPECT_EQ(6.0, read.get_speed_m_s());
  EXPECT_EQ(2.0f, read.get_x_accuracy_m());
  EXPECT_EQ(77, read.get_timestamp());

  // An unbound view gives default coordinates and nothing else.
  Position unbound;
  read = location(1.0, 2.0f, 3.0f, 4.0, 6.0, 8);
  unbound.get_location(read);
  EXPECT_FALSE(read.get_coordinates().is_valid());
  EXPECT_EQ(8, read.get_timestamp());
  EXPECT_FALSE(unbound.is_safe());
}

TEST_F(ViewTest, Datum) {
  Position position;
  EXPECT_EQ(orva::keldra::COORDINATE_DATUM_WGS84, position.get_datum());
  position.set_timestamp(1);
  EXPECT_EQ(orva::keldra::COORDINATE_DATUM_WGS84, position.get_datum());
  EXPECT_EQ(0, position.set_datum(orva::keldra::COORDINATE_DATUM_CHINA));
  EXPECT_EQ(orva::keldra::COORDINATE_DATUM_CHINA, position.get_datum());
  int stored = 0;
  EXPECT_TRUE(position.get_field(handle("datum"), stored));
  EXPECT_EQ(-1, stored);
  position.remove_field(handle("datum"));
  position.set_field(handle("datum"), 1.0f);  // another type reads as WGS 84
  EXPECT_EQ(orva::keldra::COORDINATE_DATUM_WGS84, position.get_datum());
}

// A child position whose parent does not create it: every setter reports 2 and
// nothing comes into being.
TEST_F(ViewTest, PositionWritesThroughAChildThatCannotBeCreatedFail) {
  Position parent;
  Position orphan;
  orphan.set_parent(&parent);
  EXPECT_EQ(2, orphan.set_coordinates(GeoCoordinates(1.0, 2.0, 3.0)));
  EXPECT_EQ(2, orphan.set_location(location(10.0, 5.0f, 7.0f, 90.0, 3.0, 1000)));
  EXPECT_EQ(2, orphan.set_datum(orva::keldra::COORDINATE_DATUM_CHINA));
  EXPECT_EQ(2, orphan.set_timestamp(5));
  EXPECT_FALSE(orphan.is_safe());
  // Invalid input is still refused first.
  EXPECT_EQ(3, orphan.set_location(Location()));
}

// ---- PositionArray ----

TEST_F(ViewTest, PositionsByContext) {
  TestPlace place;
  PositionArray& positions = place.positions();
  EXPECT_EQ("position", positions.item_name_by_context(""));
  EXPECT_EQ("position.Home", positions.item_name_by_context("Home"));

  Position home;
  home.set_coordinates(GeoCoordinates(60.0, 25.0));
  EXPECT_EQ(0, positions.set_item_by_context(home, "Home"));
  EXPECT_EQ("position.Home:position(latitude,longitude)",
            name_tree(place.object()->get_attributes()));

  // A second call rewrites the same item.
  home.set_coordinates(GeoCoordinates(61.0, 26.0, 5.0));
  EXPECT_EQ(0, positions.set_item_by_context(home, "Home"));
  EXPECT_EQ(1u, positions.count());
  EXPECT_EQ("position.Home:position(latitude,longitude,altitude)",
            name_tree(place.object()->get_attributes()));

  EXPECT_TRUE(positions.get_item_by_context("Home").is_valid());
  EXPECT_FALSE(positions.get_item_by_context("home").is_valid());
  EXPECT_FALSE(positions.get_item_by_context("").is_valid());

  // The same item as source is refused.
  EXPECT_EQ(3, positions.set_item_by_context(*positions.get_item_by_context("Home"), "Home"));
}

// A list whose parent cannot be created makes no item and reports 2.
TEST_F(ViewTest, PositionByContextWithoutAParentThatCanBeCreatedFails) {
  Position grandparent;
  Position parent;
  parent.set_parent(&grandparent);  // never created
  PositionArray positions;
  positions.set_items_name();
  positions.set_parent(&parent);
  Position home;
  ASSERT_EQ(0, home.set_coordinates(GeoCoordinates(60.0, 25.0)));
  EXPECT_EQ(2, positions.set_item_by_context(home, "Home"));
  EXPECT_EQ(0u, positions.count());
  EXPECT_FALSE(parent.is_safe());
}

TEST_F(ViewTest, EmptyContextAddressesTheOwnPosition) {
  TestPlace place;
  place.position().set_coordinates(GeoCoordinates(1.0, 2.0));
  place.attach(place.object());
  ASSERT_EQ(1u, place.positions().count());
  EXPECT_EQ(place.position().attribute(), place.positions().get_item_by_context("")->attribute());

  Position moved;
  moved.set_coordinates(GeoCoordinates(3.0, 4.0));
  EXPECT_EQ(0, place.positions().set_item_by_context(moved, ""));
  GeoCoordinates read;
  place.position().get_coordinates(read);
  EXPECT_EQ(3.0, read.get_latitude());
  EXPECT_EQ("position:position(latitude,longitude)", name_tree(place.object()->get_attributes()));
}

TEST_F(ViewTest, PositionNameCompareIsExact) {
  SharedPointer<Position> item(new Position);
  item->attach(make_attribute("position.a", "position"));
  EXPECT_TRUE(PositionItemNameCompare("position.a")(item));
  EXPECT_FALSE(PositionItemNameCompare("position.A")(item));
  EXPECT_FALSE(PositionItemNameCompare("position.a ")(item));
  EXPECT_FALSE(PositionItemNameCompare("position.a")(SharedPointer<Position>()));
}

TEST_F(ViewTest, PositionCopyIsIndependent) {
  Position source;
  source.attach(make_attribute("position.x", "position"));
  source.set_coordinates(GeoCoordinates(1.0, 2.0));
  Position copy(source);
  EXPECT_EQ("position.x:position(latitude,longitude)", name_tree(*copy.attribute()));
  copy.set_timestamp(5);
  EXPECT_EQ(0, source.get_timestamp());

  Position assigned;
  assigned = source;
  EXPECT_EQ("position.x:position(latitude,longitude)", name_tree(*assigned.attribute()));
}

}  // namespace
}  // namespace keldra_test
