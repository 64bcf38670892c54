// Bounding boxes: rectangles in and out, growing by locations, altitude bounds and
// the datum.
#include "support/PlaceFixture.h"

#include <keldra/BoundingBox.h>
#include <keldra/Field.h>

#include <tervo/GeoCoordinates.h>
#include <tervo/GeoRect.h>

#include <cmath>
#include <limits>

namespace keldra_test {
namespace {

using orva::GeoCoordinates;
using orva::GeoRect;
using orva::keldra::BoundingBox;

const double kNoValue = 1073741824.0;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

// The stored edges as "minlat maxlat minlong maxlong" and the altitudes.
std::string edges(const BoundingBox& box) {
  const GeoRect rect = box.get_rect();
  char text[160];
  snprintf(text, sizeof text, "lat %g..%g long %g..%g alt %g..%g",
           rect.get_bottom_right().get_latitude(), rect.get_top_left().get_latitude(),
           rect.get_top_left().get_longitude(), rect.get_bottom_right().get_longitude(),
           box.get_min_altitude(), box.get_max_altitude());
  return text;
}

using BoundingBoxTest = PlaceTest;

TEST_F(BoundingBoxTest, RectangleRoundTripsThroughTheEdgeFields) {
  BoundingBox box;
  ASSERT_EQ(0, box.set_rect(GeoRect(GeoCoordinates(50, 10), GeoCoordinates(40, 20))));
  EXPECT_EQ(":box(minlat=40,maxlat=50,minlong=10,maxlong=20)", tree(*box.attribute()));
  for (const orva::keldra::Field& field : box.attribute()->get_fields()) {
    EXPECT_EQ(orva::keldra::Field::TYPE_DOUBLE, field.get_type());
  }
  const GeoRect rect = box.get_rect();
  EXPECT_EQ(GeoCoordinates(50, 10, kNoValue), rect.get_top_left());
  EXPECT_EQ(GeoCoordinates(40, 20, kNoValue), rect.get_bottom_right());
}

TEST_F(BoundingBoxTest, RectangleThatIsNotValidStoresNaNEdges) {
  BoundingBox box;
  ASSERT_EQ(0, box.set_max_altitude(12.0f));
  ASSERT_EQ(0, box.set_rect(GeoRect()));
  EXPECT_EQ(5u, box.attribute()->get_fields().size());
  const GeoRect rect = box.get_rect();
  EXPECT_TRUE(std::isnan(rect.get_top_left().get_latitude()));
  EXPECT_TRUE(std::isnan(rect.get_bottom_right().get_longitude()));
  EXPECT_EQ(12.0f, box.get_max_altitude());
}

TEST_F(BoundingBoxTest, ReadingCreatesNothingAndAbsentValuesHaveFallbacks) {
  BoundingBox box;
  EXPECT_FALSE(box.get_rect().is_valid());
  EXPECT_TRUE(std::isnan(box.get_min_altitude()));
  EXPECT_TRUE(std::isnan(box.get_max_altitude()));
  EXPECT_EQ(orva::keldra::COORDINATE_DATUM_WGS84, box.get_datum());
  EXPECT_FALSE(box.is_safe());

  ASSERT_TRUE(box.init());
  const GeoRect rect = box.get_rect();
  EXPECT_TRUE(std::isnan(rect.get_top_left().get_latitude()));
  EXPECT_TRUE(std::isnan(rect.get_bottom_right().get_latitude()));
  EXPECT_EQ(orva::keldra::COORDINATE_DATUM_WGS84, box.get_datum());
}

TEST_F(BoundingBoxTest, DatumAndAltitudesOfOtherTypesReadAsAbsent) {
  BoundingBox box;
  ASSERT_EQ(0, box.set_datum(orva::keldra::COORDINATE_DATUM_CHINA));
  EXPECT_EQ(orva::keldra::COORDINATE_DATUM_CHINA, box.get_datum());
  EXPECT_EQ(":box(datum=-1)", tree(*box.attribute()));

  box.attribute()->prepare_field("datum")->set_value(std::string("china"));
  box.attribute()->prepare_field("minalt")->set_value(3.0);
  EXPECT_EQ(orva::keldra::COORDINATE_DATUM_WGS84, box.get_datum());
  EXPECT_TRUE(std::isnan(box.get_min_altitude()));
}

TEST_F(BoundingBoxTest, ExtendGrowsOnlyTheEdgesThePointLiesBeyond) {
  BoundingBox box;
  ASSERT_EQ(0, box.extend(location_at(45, 15, 100)));
  EXPECT_EQ("lat 45..45 long 15..15 alt 100..100", edges(box));

  ASSERT_EQ(0, box.extend(location_at(45, 15, 120)));
  EXPECT_EQ("lat 45..45 long 15..15 alt 100..120", edges(box));
  ASSERT_EQ(0, box.extend(location_at(45, 15, 90)));
  EXPECT_EQ("lat 45..45 long 15..15 alt 90..120", edges(box));

  ASSERT_EQ(0, box.extend(location_at(45, 10, 100)));  // west
  EXPECT_EQ("lat 45..45 long 10..15 alt 90..120", edges(box));
  ASSERT_EQ(0, box.extend(location_at(50, 12, 100)));  // north
  EXPECT_EQ("lat 45..50 long 10..15 alt 90..120", edges(box));
  ASSERT_EQ(0, box.extend(location_at(40, 20, 100)));  // south-east
  EXPECT_EQ("lat 40..50 long 10..20 alt 90..120", edges(box));
  ASSERT_EQ(0, box.extend(location_at(42, 11, 100)));  // inside
  EXPECT_EQ("lat 40..50 long 10..20 alt 90..120", edges(box));
}

TEST_F(BoundingBoxTest, ExtendNeverCrossesTheMeridian) {
  BoundingBox box;
  ASSERT_EQ(0, box.set_rect(GeoRect(GeoCoordinates(10, 170), GeoCoordinates(0, 179))));
  ASSERT_EQ(0, box.extend(location_at(5, -179, 0)));
  EXPECT_EQ("lat 0..10 long -179..179 alt 0..0", edges(box));
}

// A location without altitude, or with one no float can hold, leaves the altitude
// range alone instead of storing the marker as a bound.
TEST_F(BoundingBoxTest, AltitudesWithoutValueAreNoBounds) {
  const double inf = std::numeric_limits<double>::infinity();
  for (double altitude : {kNoValue, kNaN, inf, -inf, 1e300}) {
    SCOPED_TRACE(altitude);
    BoundingBox empty;
    ASSERT_EQ(0, empty.extend(location_at(45, 15, altitude)));
    EXPECT_EQ(":box(minlat=45,maxlat=45,minlong=15,maxlong=15)", tree(*empty.attribute()));

    BoundingBox box;
    ASSERT_EQ(0, box.extend(location_at(45, 15, 100)));
    ASSERT_EQ(0, box.extend(location_at(46, 15, altitude)));
    EXPECT_EQ("lat 45..46 long 15..15 alt 100..100", edges(box));
  }
}

TEST_F(BoundingBoxTest, StoredMarkerOrNaNBoundIsReplacedByTheNextAltitude) {
  BoundingBox box;
  ASSERT_EQ(0, box.set_rect(GeoRect(GeoCoordinates(50, 10), GeoCoordinates(40, 20))));
  ASSERT_EQ(0, box.set_min_altitude(std::nanf("")));
  ASSERT_EQ(0, box.set_max_altitude(static_cast<float>(kNoValue)));
  ASSERT_EQ(0, box.extend(location_at(45, 15, 30)));
  EXPECT_EQ("lat 40..50 long 10..20 alt 30..30", edges(box));
}

// A point off the globe would push an edge out of range and the box would be stored
// as NaN edges; such a location is refused and the box stays as it was.
TEST_F(BoundingBoxTest, ExtendRefusesALocationThatIsNotValid) {
  const struct {
    const char* what;
    double latitude, longitude;
  } cases[] = {
      {"longitude beyond the east", 45, 200},  {"longitude beyond the west", 45, -200},
      {"latitude beyond the pole", 95, 15},    {"latitude beyond the south pole", -95, 15},
      {"no latitude", kNaN, 15},               {"infinite longitude", 45, INFINITY},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BoundingBox box;
    ASSERT_EQ(0, box.extend(location_at(45, 15, 100)));
    ASSERT_EQ(0, box.extend(location_at(40, 10, 90)));
    const std::string before = tree(*box.attribute());
    EXPECT_EQ(ORVA_ERROR_INVALID_PARAMETERS, box.extend(location_at(c.latitude, c.longitude, 500)));
    EXPECT_EQ(before, tree(*box.attribute()));
    EXPECT_EQ("lat 40..45 long 10..15 alt 90..100", edges(box));

    BoundingBox empty;
    EXPECT_EQ(ORVA_ERROR_INVALID_PARAMETERS,
              empty.extend(location_at(c.latitude, c.longitude, 500)));
    EXPECT_FALSE(empty.is_safe());
  }
}

TEST_F(BoundingBoxTest, WritesThroughAChildThatCannotBeCreatedFail) {
  BoundingBox parent;
  BoundingBox orphan;
  orphan.set_parent(&parent);
  EXPECT_EQ(ORVA_ERROR_OUT_OF_MEMORY, orphan.set_rect(GeoRect(0, 1, 0, 1)));
  EXPECT_EQ(ORVA_ERROR_OUT_OF_MEMORY, orphan.extend(location_at(1, 1, 1)));
  EXPECT_EQ(ORVA_ERROR_OUT_OF_MEMORY, orphan.set_datum(orva::keldra::COORDINATE_DATUM_CHINA));
  EXPECT_EQ(ORVA_ERROR_OUT_OF_MEMORY, orphan.set_min_altitude(1.0f));
  EXPECT_FALSE(orphan.is_safe());
}

}  // namespace
}  // namespace keldra_test
