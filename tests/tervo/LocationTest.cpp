#include <tervo/Location.h>
#include <tervo/LocationInfo.h>

#include <gtest/gtest.h>

namespace {

using orva::GeoCoordinates;
using orva::Location;
using orva::LocationInfo;
using orva::ustring;

TEST(Location, NewLocationHasNoValues) {
  Location l;
  EXPECT_FALSE(l.is_valid());
  EXPECT_FALSE(l.get_coordinates().is_valid());
  // The marker is exact in float too (2^30).
  EXPECT_EQ(1073741824.0f, l.get_x_accuracy_m());
  EXPECT_EQ(1073741824.0f, l.get_y_accuracy_m());
  EXPECT_EQ(1073741824.0f, l.get_z_accuracy_m());
  EXPECT_EQ(1073741824.0, static_cast<double>(l.get_x_accuracy_m()));
  EXPECT_EQ(1073741824.0, l.get_speed_m_s());
  EXPECT_EQ(1073741824.0, l.get_course_degrees());
  EXPECT_EQ(0, l.get_timestamp());
  EXPECT_FALSE(l.get_info().has(LocationInfo::CITY));
}

TEST(Location, SettersAndValidity) {
  Location l;
  l.set_coordinates(GeoCoordinates(60.17, 24.94, 12));
  EXPECT_TRUE(l.is_valid());
  l.set_x_accuracy_m(5.5f);
  l.set_y_accuracy_m(6.5f);
  l.set_z_accuracy_m(7.5f);
  l.set_speed_m_s(3.25);
  l.set_course_degrees(359.5);
  l.set_timestamp(1700000000123LL);  // milliseconds since 1970
  l.get_info().set(LocationInfo::CITY, ustring("Helsinki"));

  const Location copy = l;
  EXPECT_EQ(GeoCoordinates(60.17, 24.94, 12), copy.get_coordinates());
  EXPECT_EQ(5.5f, copy.get_x_accuracy_m());
  EXPECT_EQ(6.5f, copy.get_y_accuracy_m());
  EXPECT_EQ(7.5f, copy.get_z_accuracy_m());
  EXPECT_EQ(3.25, copy.get_speed_m_s());
  EXPECT_EQ(359.5, copy.get_course_degrees());
  EXPECT_EQ(1700000000123LL, copy.get_timestamp());
  EXPECT_EQ(ustring("Helsinki"), copy.get_info().get(LocationInfo::CITY));

  l.set_coordinates(GeoCoordinates(91, 0));
  EXPECT_FALSE(l.is_valid());
}

TEST(LocationInfo, KeysAndAbsence) {
  // The numbers are shared with the address and contact conversions.
  static_assert(LocationInfo::COUNTRY_CODE == 0 && LocationInfo::COUNTY == 5 &&
                    LocationInfo::CITY == 6 && LocationInfo::DISTRICT == 7 &&
                    LocationInfo::POSTAL_CODE == 8 && LocationInfo::NEIGHBORHOOD == 10 &&
                    LocationInfo::STREET == 11 && LocationInfo::STREET_NUMBER == 12 &&
                    LocationInfo::BUILDING_NAME == 16 && LocationInfo::FLOOR == 17 &&
                    LocationInfo::ROOM == 18 && LocationInfo::ZONE == 19 &&
                    LocationInfo::PHONE_NUMBER == 27 && LocationInfo::WEB_ADDRESS == 28,
                "field numbers");
  LocationInfo info;
  EXPECT_FALSE(info.has(LocationInfo::WEB_ADDRESS));
  EXPECT_TRUE(info.get(LocationInfo::WEB_ADDRESS).empty());

  info.set(LocationInfo::PHONE_NUMBER, ustring("+358 1"));
  info.set(LocationInfo::STREET, ustring(""));  // an empty text is still held
  EXPECT_TRUE(info.has(LocationInfo::PHONE_NUMBER));
  EXPECT_TRUE(info.has(LocationInfo::STREET));
  EXPECT_TRUE(info.get(LocationInfo::STREET).empty());
  EXPECT_EQ(ustring("+358 1"), info.get(LocationInfo::PHONE_NUMBER));
  EXPECT_FALSE(info.has(LocationInfo::STREET_NUMBER));

  info.set(LocationInfo::PHONE_NUMBER, ustring("2"));
  EXPECT_EQ(ustring("2"), info.get(LocationInfo::PHONE_NUMBER));
  info.clear();
  EXPECT_FALSE(info.has(LocationInfo::PHONE_NUMBER));
}

}  // namespace
