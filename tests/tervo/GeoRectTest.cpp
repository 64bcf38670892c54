#include <tervo/GeoRect.h>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using orva::GeoCoordinates;
using orva::GeoRect;

TEST(GeoRect, ConstructionAndCorners) {
  EXPECT_FALSE(GeoRect().is_valid());
  EXPECT_TRUE(std::isnan(GeoRect().get_top_left().get_latitude()));

  GeoRect edges(10, 20, 40, 50);
  GeoRect corners(GeoCoordinates(50, 10), GeoCoordinates(40, 20));
  EXPECT_EQ(edges, corners);
  EXPECT_EQ(50, edges.get_top_left().get_latitude());
  EXPECT_EQ(10, edges.get_top_left().get_longitude());
  EXPECT_EQ(40, edges.get_bottom_right().get_latitude());
  EXPECT_EQ(20, edges.get_bottom_right().get_longitude());

  // The non-const corners change the rectangle in place.
  edges.get_top_left().set_latitude(60);
  edges.get_bottom_right().set_longitude(25);
  EXPECT_EQ(60, edges.get_north());
  EXPECT_EQ(25, edges.get_east());
}

TEST(GeoRect, Validity) {
  struct Case {
    double west, east, south, north;
    bool valid;
  } cases[] = {
      {10, 20, 40, 50, true},   {10, 10, 40, 40, true},  {170, -170, -10, 10, true},
      {10, 20, 50, 40, false},  {10, 20, -91, 0, false}, {-181, 0, 0, 1, false},
      {NAN, 20, 40, 50, false}, {10, 20, 40, INFINITY, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.valid, GeoRect(c.west, c.east, c.south, c.north).is_valid())
        << c.west << " " << c.east << " " << c.south << " " << c.north;
  }
}

TEST(GeoRect, Contains) {
  const GeoRect plain(10, 20, 40, 50);
  const GeoRect across(170, -170, -10, 10);  // crosses the ±180° meridian
  struct Case {
    const GeoRect* rect;
    double lat, lon;
    bool inside;
  } cases[] = {
      {&plain, 45, 15, true},     {&plain, 40, 10, true},     {&plain, 50, 20, true},
      {&plain, 39.999, 15, false}, {&plain, 45, 20.001, false}, {&plain, 45, -15, false},
      {&across, 0, 175, true},    {&across, 0, -175, true},   {&across, 0, 180, true},
      {&across, 0, -180, true},   {&across, 0, 170, true},    {&across, 0, 0, false},
      {&across, 0, 169.9, false}, {&across, 0, -169.9, false}, {&across, 11, 175, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.inside, c.rect->contains(GeoCoordinates(c.lat, c.lon))) << c.lat << ", " << c.lon;
  }
  EXPECT_FALSE(plain.contains(GeoCoordinates()));
  EXPECT_FALSE(GeoRect().contains(GeoCoordinates(0, 0)));
  EXPECT_FALSE(GeoRect(10, 20, 50, 40).contains(GeoCoordinates(45, 15)));
}

}  // namespace
