// Route settings: keywords both ways, the order of the option fields, and the strict
// check of departure and arrival times.
#include "support/PlaceFixture.h"

#include <keldra/Attribute.h>
#include <keldra/Field.h>
#include <keldra/FieldList.h>
#include <keldra/RouteObject.h>
#include <keldra/RouteProperties.h>

#include <climits>
#include <string>
#include <vector>

namespace keldra_test {
namespace {

using orva::SharedPointer;
using orva::keldra::Attribute;
using orva::ErrorCode;
using orva::keldra::Field;
using orva::keldra::RouteObject;
using orva::keldra::RouteProperties;

using Mode = RouteProperties::RouteMode;
using Type = RouteProperties::RouteType;
using Option = RouteProperties::RouteOption;

// A settings attribute holding the given fields, in order.
SharedPointer<Attribute> settings(const std::vector<Field>& fields) {
  SharedPointer<Attribute> attribute(new Attribute("route_properties"));
  for (const Field& field : fields) attribute->get_fields().push_back(field);
  return attribute;
}

Field text_field(const char* name, const char* text) {
  Field field{std::string(text)};
  field.set_name(std::string(name));
  return field;
}

Field int_field(const char* name, int value) {
  Field field(value);
  field.set_name(std::string(name));
  return field;
}

std::vector<int> numbers(const std::vector<Option>& options) {
  return std::vector<int>(options.begin(), options.end());
}

using RoutePropertiesTest = PlaceTest;

// Every keyword of the three tables: the setter stores it, the getter maps the stored
// text back.
TEST_F(RoutePropertiesTest, KeywordsMapBothWays) {
  struct Case {
    const char* field;
    int value;
    const char* keyword;
  };
  const Case cases[] = {
      {"mode", 1, "pedestrian"},
      {"mode", 2, "car"},
      {"mode", 3, "bike"},
      {"mode", 4, "straight_line"},
      {"mode", 5, "public_transport"},
      {"type", 1, "shortest"},
      {"type", 2, "fastest"},
      {"type", 3, "most_economical"},
      {"type", 4, "least_walking"},
      {"type", 5, "fewer_transfers"},
      {"type", 6, "no_transfers"},
      {"option", 0x001, "motorways_not_allowed"},
      {"option", 0x002, "tunnels_not_allowed"},
      {"option", 0x004, "ferries_not_allowed"},
      {"option", 0x008, "tollroads_not_allowed"},
      {"option", 0x010, "unpaved_not_allowed"},
      {"option", 0x020, "railferries_not_allowed"},
      {"option", 0x040, "bus_not_allowed"},
      {"option", 0x080, "tram_not_allowed"},
      {"option", 0x100, "subway_not_allowed"},
      {"option", 0x200, "local_trains_not_allowed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keyword);
    const std::string field(c.field);
    RouteProperties written;
    ErrorCode result = field == "mode"   ? written.set_mode(static_cast<Mode>(c.value))
                       : field == "type" ? written.set_type(static_cast<Type>(c.value))
                                         : written.set_option(static_cast<Option>(c.value), true);
    ASSERT_EQ(0, result);
    EXPECT_EQ(":route_properties(" + field + "=" + c.keyword + ")", tree(*written.attribute()));

    RouteProperties read;
    read.attach(settings({text_field(c.field, c.keyword)}));
    EXPECT_EQ(field == "mode" ? c.value : 0, read.get_mode());
    EXPECT_EQ(field == "type" ? c.value : 0, read.get_type());
    EXPECT_EQ(field == "option", read.is_option_set(static_cast<Option>(c.value)));
  }
}

TEST_F(RoutePropertiesTest, WhatIsNoKeywordReadsAsNone) {
  struct Case {
    const char* label;
    std::vector<Field> fields;
  };
  const Case cases[] = {
      {"other case", {text_field("mode", "Bike"), text_field("type", "Fastest"),
                      text_field("option", "Bus_not_allowed")}},
      {"trailing blank", {text_field("mode", "bike "), text_field("type", "fastest "),
                          text_field("option", "bus_not_allowed ")}},
      {"empty text", {text_field("mode", ""), text_field("type", ""), text_field("option", "")}},
      {"keyword of the other table",
       {text_field("mode", "fastest"), text_field("type", "bike"), text_field("option", "car")}},
      {"numbers", {int_field("mode", 3), int_field("type", 2), int_field("option", 0x40)}},
      {"no fields", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    RouteProperties properties;
    properties.attach(settings(c.fields));
    EXPECT_EQ(0, properties.get_mode());
    EXPECT_EQ(0, properties.get_type());
    std::vector<Option> options{Option::OPTION_TRAM_NOT_ALLOWED};
    properties.get_options(options);
    EXPECT_TRUE(options.empty());
  }

  RouteProperties unbound;
  EXPECT_EQ(0, unbound.get_mode());
  EXPECT_EQ(0, unbound.get_type());
  EXPECT_FALSE(unbound.is_option_set(Option::OPTION_BUS_NOT_ALLOWED));
  EXPECT_FALSE(unbound.is_safe());
}

// Values outside the tables, also ones no enumerator names, are refused and change
// nothing: neither the stored field nor an unbound view.
TEST_F(RoutePropertiesTest, ValuesOutsideTheTablesAreRefused) {
  RouteProperties properties;
  ASSERT_EQ(0, properties.set_mode(Mode::MODE_CAR));
  ASSERT_EQ(0, properties.set_type(Type::TYPE_FASTEST));
  ASSERT_EQ(0, properties.set_option(Option::OPTION_BUS_NOT_ALLOWED, true));
  const std::string before = tree(*properties.attribute());
  properties.attribute()->set_modified(false);

  for (int value : {0, 6, -1, INT_MAX, INT_MIN}) {
    SCOPED_TRACE(value);
    EXPECT_EQ(3, properties.set_mode(static_cast<Mode>(value)));
  }
  for (int value : {0, 7, -1, INT_MAX}) {
    SCOPED_TRACE(value);
    EXPECT_EQ(3, properties.set_type(static_cast<Type>(value)));
  }
  for (int value : {0, 0x003, 0x400, 0x041, -1}) {
    SCOPED_TRACE(value);
    EXPECT_EQ(3, properties.set_option(static_cast<Option>(value), true));
    EXPECT_EQ(3, properties.set_option(static_cast<Option>(value), false));
  }
  EXPECT_EQ(before, tree(*properties.attribute()));
  EXPECT_FALSE(properties.attribute()->is_modified());

  RouteProperties unbound;
  EXPECT_EQ(3, unbound.set_mode(static_cast<Mode>(6)));
  EXPECT_EQ(3, unbound.set_type(static_cast<Type>(0)));
  EXPECT_EQ(3, unbound.set_option(static_cast<Option>(0x400), true));
  EXPECT_FALSE(unbound.is_safe());
}

// Options read in field order without repeats; a rewrite puts them after every other
// field (a non-text "option" field counts as another field) and drops repeats and
// unknown texts.
TEST_F(RoutePropertiesTest, OptionFieldsKeepTheirOrder) {
  RouteProperties properties;
  properties.attach(settings({text_field("option", "tunnels_not_allowed"),
                              text_field("mode", "car"), text_field("option", "bus_not_allowed"),
                              text_field("option", "tunnels_not_allowed"),
                              text_field("option", "no_such_option"), int_field("option", 7)}));
  std::vector<Option> options;
  properties.get_options(options);
  EXPECT_EQ((std::vector<int>{0x002, 0x040}), numbers(options));

  ASSERT_EQ(0, properties.set_option(Option::OPTION_FERRIES_NOT_ALLOWED, true));
  EXPECT_EQ(
      ":route_properties(mode=car,option=7,option=tunnels_not_allowed,option=bus_not_allowed,"
      "option=ferries_not_allowed)",
      tree(*properties.attribute()));
  EXPECT_TRUE(properties.attribute()->get_fields().is_modified());

  ASSERT_EQ(0, properties.set_option(Option::OPTION_BUS_NOT_ALLOWED, false));
  EXPECT_EQ(
      ":route_properties(mode=car,option=7,option=tunnels_not_allowed,"
      "option=ferries_not_allowed)",
      tree(*properties.attribute()));
  EXPECT_FALSE(properties.is_option_set(Option::OPTION_BUS_NOT_ALLOWED));
  EXPECT_TRUE(properties.is_option_set(Option::OPTION_FERRIES_NOT_ALLOWED));

  // Already as asked: nothing is written, not even a mark.
  properties.attribute()->set_modified(false);
  EXPECT_EQ(0, properties.set_option(Option::OPTION_TUNNELS_NOT_ALLOWED, true));
  EXPECT_EQ(0, properties.set_option(Option::OPTION_TOLLROADS_NOT_ALLOWED, false));
  EXPECT_FALSE(properties.attribute()->is_modified());

  // Repeats given are kept, entries that are no option skipped.
  ASSERT_EQ(0, properties.set_options({Option::OPTION_SUBWAY_NOT_ALLOWED,
                                       static_cast<Option>(0x003),
                                       Option::OPTION_SUBWAY_NOT_ALLOWED}));
  EXPECT_EQ(
      ":route_properties(mode=car,option=7,option=subway_not_allowed,option=subway_not_allowed)",
      tree(*properties.attribute()));

  ASSERT_EQ(0, properties.set_options({}));
  EXPECT_EQ(":route_properties(mode=car,option=7)", tree(*properties.attribute()));
}

// A settings view that its parent does not create reports 2 from every setter that
// would store something, rather than 0.
TEST_F(RoutePropertiesTest, SettersReportWhenNothingCanBeStored) {
  RouteObject route;
  RouteProperties stray;
  stray.set_parent(&route);

  EXPECT_EQ(2, stray.set_mode(Mode::MODE_BIKE));
  EXPECT_EQ(2, stray.set_type(Type::TYPE_SHORTEST));
  EXPECT_EQ(2, stray.set_options({Option::OPTION_BUS_NOT_ALLOWED}));
  EXPECT_EQ(2, stray.set_options({}));
  EXPECT_EQ(2, stray.set_option(Option::OPTION_BUS_NOT_ALLOWED, true));
  EXPECT_EQ(2, stray.set_departure_time("2011-05-06T10:20:30Z"));
  EXPECT_EQ(2, stray.set_arrival_time("2011-05-06T10:20:30Z"));
  EXPECT_FALSE(stray.is_safe());
  // Clearing needs nothing created.
  EXPECT_EQ(0, stray.set_departure_time(""));
  EXPECT_EQ(0, stray.set_option(Option::OPTION_BUS_NOT_ALLOWED, false));
}

TEST_F(RoutePropertiesTest, TimesPassTheStrictIsoCheck) {
  struct Case {
    const char* text;
    bool kept;
  };
  const Case cases[] = {
      {"2011-05-06T10:20:30Z", true},
      {"2011-05-06T10:20:30.123+02:00", true},
      {"2011-05-06T10:20:30-0530", true},
      {"20110506T102030Z", true},
      {"20110506T102030+01", true},
      {"2011-05-06T10:20:30", false},
      {"20110506T102030", false},
      {"2011-05-06", false},
      {"T10:20:30Z", false},
      {"2011-05-06T10:20:30+xx", false},
      {"tomorrow", false},
      {"", false},
  };
  struct Setting {
    const char* field;
    ErrorCode (RouteProperties::*set)(const std::string&);
    std::string (RouteProperties::*get)() const;
  };
  const Setting setters[] = {
      {"departure", &RouteProperties::set_departure_time, &RouteProperties::get_departure_time},
      {"arrival", &RouteProperties::set_arrival_time, &RouteProperties::get_arrival_time},
  };
  const std::string earlier = "2000-01-01T00:00:00Z";
  for (const Setting& setting : setters) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(setting.field) + " " + c.text);
      RouteProperties properties;
      ASSERT_EQ(0, properties.set_departure_time(earlier));
      ASSERT_EQ(0, properties.set_arrival_time(earlier));
      ASSERT_EQ(0, (properties.*setting.set)(c.text));
      const std::string other = std::string(setting.field) == "departure" ? "arrival" : "departure";
      const std::string other_field = other + "=" + earlier;
      if (c.kept) {
        EXPECT_EQ(c.text, (properties.*setting.get)());
        const std::string fields = std::string(setting.field) == "departure"
                                       ? "departure=" + std::string(c.text) + "," + other_field
                                       : other_field + ",arrival=" + c.text;
        EXPECT_EQ(":route_properties(" + fields + ")", tree(*properties.attribute()));
      } else {
        EXPECT_EQ("", (properties.*setting.get)());
        EXPECT_EQ(":route_properties(" + other_field + ")", tree(*properties.attribute()));
      }
    }
  }
}

// Stored texts are checked on reading too; reading removes nothing.
TEST_F(RoutePropertiesTest, StoredTimesThatFailTheCheckReadAsEmpty) {
  RouteProperties properties;
  properties.attach(settings({text_field("departure", "2011-05-06T10:20:30"),
                              int_field("arrival", 20110506)}));
  EXPECT_EQ("", properties.get_departure_time());
  EXPECT_EQ("", properties.get_arrival_time());
  EXPECT_EQ(2u, properties.attribute()->get_fields().size());

  RouteProperties unbound;
  EXPECT_EQ("", unbound.get_departure_time());
  EXPECT_EQ(0, unbound.set_arrival_time("not a time"));
  EXPECT_FALSE(unbound.is_safe());
}

}  // namespace
}  // namespace keldra_test
