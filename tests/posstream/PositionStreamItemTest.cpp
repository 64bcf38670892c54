#include <keldra/LoggerUmbo.h>
#include <tervo/Location.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "PosStreamTestUtil.h"
#include "support/TestEnv.h"

namespace {

using orva::keldra::internal::LoggerUmbo;
using namespace posstream_test;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const double kNoValue = 1073741824.0;

TEST(PositionStreamItem, NewItemHasNothingAndIsNotValid) {
  PositionStreamItem item;
  EXPECT_EQ(0, item.flags);
  EXPECT_EQ(0, item.byte_value);
  EXPECT_EQ(0, item.time);
  EXPECT_TRUE(std::isnan(item.latitude) && std::isnan(item.speed) &&
              std::isnan(item.additional_value));
  EXPECT_FALSE(item.is_valid());
}

TEST(PositionStreamItem, Validity) {
  struct Case {
    double latitude, longitude;
    float horizontal, vertical;
    bool valid;
  };
  const float nan_f = std::numeric_limits<float>::quiet_NaN();
  const float inf_f = std::numeric_limits<float>::infinity();
  const Case kCases[] = {
      {90.0, -180.0, nan_f, nan_f, true},
      {-90.0, 179.9999999, nan_f, nan_f, true},
      {0.0, 180.0, nan_f, nan_f, false},
      {90.0000001, 0.0, nan_f, nan_f, false},
      {0.0, -180.0000001, nan_f, nan_f, false},
      {kInf, 0.0, nan_f, nan_f, false},
      {0.0, kNaN, nan_f, nan_f, false},
      {0.0, 0.0, -1.0f, nan_f, false},
      {0.0, 0.0, 0.0f, 0.0f, true},
      {0.0, 0.0, nan_f, -0.5f, false},
      {0.0, 0.0, -inf_f, -inf_f, true},  // only finite accuracies are checked
  };
  for (const Case& c : kCases) {
    PositionStreamItem item;
    item.latitude = c.latitude;
    item.longitude = c.longitude;
    item.horizontal_accuracy = c.horizontal;
    item.vertical_accuracy = c.vertical;
    EXPECT_EQ(c.valid, item.is_valid())
        << c.latitude << " " << c.longitude << " " << c.horizontal << " " << c.vertical;
    item.flags = 0xFFFF;  // flags do not matter
    EXPECT_EQ(c.valid, item.is_valid());
  }
}

orva::Location full_location() {
  orva::Location location;
  location.set_coordinates(orva::GeoCoordinates(52.5, 13.4, 34.0));
  location.set_x_accuracy_m(5.0f);
  location.set_z_accuracy_m(7.0f);
  location.set_course_degrees(90.0);
  location.set_speed_m_s(3.0);
  location.set_timestamp(1300000000123LL);
  return location;
}

TEST(PositionStreamItem, TakesALocationAndGivesItBack) {
  PositionStreamItem item;
  item.byte_value = 4;
  item.flags = PositionStreamItem::FLAG_BYTE_VALUE;
  item.set(full_location());
  EXPECT_EQ(0x3F, item.flags);
  EXPECT_EQ(0, item.byte_value);
  EXPECT_EQ(1300000000123LL, item.time);
  EXPECT_EQ(52.5, item.latitude);
  EXPECT_EQ(34.0, item.altitude);
  EXPECT_EQ(5.0f, item.horizontal_accuracy);
  EXPECT_EQ(7.0f, item.vertical_accuracy);
  EXPECT_TRUE(std::isnan(item.additional_value));

  orva::Location back;
  item.get(back);
  EXPECT_EQ(orva::GeoCoordinates(52.5, 13.4, 34.0), back.get_coordinates());
  EXPECT_EQ(5.0f, back.get_x_accuracy_m());
  EXPECT_EQ(5.0f, back.get_y_accuracy_m());
  EXPECT_EQ(7.0f, back.get_z_accuracy_m());
  EXPECT_EQ(90.0, back.get_course_degrees());
  EXPECT_EQ(3.0, back.get_speed_m_s());
  EXPECT_EQ(1300000000123LL, back.get_timestamp());
}

TEST(PositionStreamItem, TakesOnlyTheValuesALocationHas) {
  struct Case {
    const char* name;
    double altitude, speed, course;
    unsigned short flags;
  };
  const Case kCases[] = {
      // Without an altitude the vertical accuracy is not taken either.
      {"no altitude", kNoValue, 3.0, 90.0, 0x35},
      {"altitude not a number", kNaN, 3.0, 90.0, 0x35},
      {"infinite speed, no course", 34.0, kInf, kNoValue, 0x0F},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    orva::Location location = full_location();
    location.set_coordinates(orva::GeoCoordinates(52.5, 13.4, c.altitude));
    location.set_speed_m_s(c.speed);
    location.set_course_degrees(c.course);
    PositionStreamItem item;
    item.set(location);
    EXPECT_EQ(c.flags, item.flags);
    if (!(c.flags & PositionStreamItem::FLAG_VERTICAL_ACCURACY)) {
      EXPECT_TRUE(std::isnan(item.vertical_accuracy));
    }
  }

  PositionStreamItem item;
  item.set(orva::Location());  // nothing known
  EXPECT_EQ(0, item.flags);
  EXPECT_FALSE(item.is_valid());
}

TEST(PositionStreamItem, InvalidItemLeavesTheLocationAlone) {
  const orva::Location before = full_location();
  orva::Location location = before;
  PositionStreamItem item;
  item.get(location);
  item.latitude = 10.0;
  item.longitude = 10.0;
  item.horizontal_accuracy = -1.0f;
  item.flags = 0x05;
  item.get(location);
  EXPECT_EQ(before.get_coordinates(), location.get_coordinates());
  EXPECT_EQ(before.get_timestamp(), location.get_timestamp());
  EXPECT_EQ(before.get_x_accuracy_m(), location.get_x_accuracy_m());
}

TEST(PositionStreamItem, GivesOnlyTheFlaggedValues) {
  orva::Location location;
  PositionStreamItem item = make_item(42, 1.0, 2.0);
  item.altitude = 99.0;  // present but not flagged
  item.speed = 5.0;
  item.get(location);
  EXPECT_EQ(orva::GeoCoordinates(1.0, 2.0), location.get_coordinates());
  EXPECT_EQ(kNoValue, location.get_speed_m_s());
  EXPECT_EQ(42, location.get_timestamp());
}

TEST(PositionStreamItem, DumpLogsTheTimeAsA32BitLong) {
  const std::string level = keldra_test::home_dir() + "/dump_level";
  ASSERT_TRUE(keldra_test::write_file(keldra_test::home_dir() + "/.cities/.keep", ""));
  ASSERT_TRUE(keldra_test::write_file(level, "16"));
  LoggerUmbo::set_level_file_path(level);
  {
    orva::SharedPointer<LoggerUmbo> logger = LoggerUmbo::instance();
    PositionStreamItem item = make_item(5000000000LL, 52.4911234, 13.4012345);
    item.dump();
    const std::string log = keldra_test::read_file(logger->log_path());
    EXPECT_NE(std::string::npos,
              log.find("PositionStreamItem:  52.491123  13.401234        nan 705032704"))
        << log;
  }
  LoggerUmbo::set_level_file_path(keldra_test::home_dir() + "/no_such_level");
}

}  // namespace
