#include <tervo/GeoCoordinates.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using orva::GeoCoordinates;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

TEST(GeoCoordinates, Validity) {
  EXPECT_FALSE(GeoCoordinates().is_valid());
  EXPECT_EQ(orva::ORVA_NO_VALUE, GeoCoordinates().get_altitude());
  EXPECT_EQ(1073741824.0, orva::ORVA_NO_VALUE);
  EXPECT_EQ(orva::ORVA_NO_VALUE, GeoCoordinates(1, 2).get_altitude());

  struct Case {
    double lat, lon;
    bool valid;
  } cases[] = {
      {0, 0, true},       {90, 180, true},     {-90, -180, true}, {90.0001, 0, false},
      {-90.0001, 0, false}, {0, 180.0001, false}, {0, -181, false},  {kNaN, 0, false},
      {0, kNaN, false},   {kInf, 0, false},    {0, -kInf, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.valid, GeoCoordinates(c.lat, c.lon, 0).is_valid()) << c.lat << ", " << c.lon;
  }
}

TEST(GeoCoordinates, AccessorsAndEquality) {
  GeoCoordinates c;
  c.set_latitude(1.5);
  c.set_longitude(-2.5);
  c.set_altitude(100);
  EXPECT_EQ(1.5, c.get_latitude());
  EXPECT_EQ(-2.5, c.get_longitude());
  EXPECT_EQ(100, c.get_altitude());
  EXPECT_EQ(GeoCoordinates(1.5, -2.5, 100), c);
  EXPECT_NE(GeoCoordinates(1.5, -2.5, 101), c);
  EXPECT_NE(GeoCoordinates(1.5, -2.4, 100), c);
  EXPECT_EQ(GeoCoordinates(), GeoCoordinates());
}

TEST(GeoCoordinates, DistanceIsHaversineOnTheSearchSphere) {
  // One degree along a meridian on a sphere of radius 6371010 m.
  const double one_degree = 6371010.0 * M_PI / 180.0;
  EXPECT_NEAR(one_degree, GeoCoordinates(0, 0).get_distance_m(GeoCoordinates(1, 0)), 1e-6);
  EXPECT_NEAR(one_degree, GeoCoordinates(0, 179.5).get_distance_m(GeoCoordinates(0, -179.5)), 1e-6);
  EXPECT_NEAR(one_degree / 2, GeoCoordinates(60, 0).get_distance_m(GeoCoordinates(60, 1)), 1.0);
  EXPECT_NEAR(M_PI * 6371010.0, GeoCoordinates(90, 0).get_distance_m(GeoCoordinates(-90, 0)), 1e-6);
  EXPECT_EQ(0.0, GeoCoordinates(12, 34).get_distance_m(GeoCoordinates(12, 34)));
  EXPECT_TRUE(std::isnan(GeoCoordinates().get_distance_m(GeoCoordinates(0, 0))));
}

// Rounding can push the haversine term just above 1 for antipodal points: the
// distance must still be half the circumference (within the formula's precision
// there), never NaN.
TEST(GeoCoordinates, AntipodalPointsAreHalfTheCircumferenceApart) {
  const double half = M_PI * 6371010.0;
  for (int latitude = -90; latitude <= 90; ++latitude) {
    for (double longitude : {0.0, 33.0, -120.5}) {
      const GeoCoordinates here(latitude, longitude);
      const GeoCoordinates there(-latitude, longitude > 0 ? longitude - 180 : longitude + 180);
      EXPECT_NEAR(half, here.get_distance_m(there), 1.0) << latitude << ", " << longitude;
    }
  }
}

TEST(GeoCoordinates, Heading) {
  struct Case {
    double lat1, lon1, lat2, lon2, heading;
  } cases[] = {
      {0, 0, 1, 0, 0},     {0, 0, 0, 1, 90},      {0, 0, -1, 0, 180},
      {0, 0, 0, -1, 270},  {0, 179, 0, -179, 90}, {0, -179, 0, 179, 270},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(c.heading,
                GeoCoordinates(c.lat1, c.lon1).get_heading(GeoCoordinates(c.lat2, c.lon2)), 1e-9);
  }
  EXPECT_TRUE(std::isnan(GeoCoordinates(5, 5).get_heading(GeoCoordinates(5, 5))));
  EXPECT_TRUE(std::isnan(GeoCoordinates(5, 5).get_heading(GeoCoordinates())));
}

TEST(GeoCoordinates, Normalize) {
  struct Case {
    double lat, lon, want_lat, want_lon;
  } cases[] = {
      {10, 20, 10, 20},    {0, 190, 0, -170},    {0, -190, 0, 170},  {45, 360, 45, 0},
      {100, 0, 80, 180},   {-100, 10, -80, -170}, {0, 180, 0, 180},  {0, -180, 0, -180},
      {270, 0, -90, 0},
  };
  for (const Case& c : cases) {
    double lat = c.lat, lon = c.lon;
    GeoCoordinates::normalize_coordinates(lat, lon);
    EXPECT_NEAR(c.want_lat, lat, 1e-9) << c.lat << ", " << c.lon;
    EXPECT_NEAR(c.want_lon, lon, 1e-9) << c.lat << ", " << c.lon;
  }
  double lat = kNaN, lon = 500;
  GeoCoordinates::normalize_coordinates(lat, lon);  // left as it is
  EXPECT_TRUE(std::isnan(lat));
}

}  // namespace
