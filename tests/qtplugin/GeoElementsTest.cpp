// The geo value elements against the library values behind them.
#include "BoundingBoxImpl.h"
#include "GeoCoordinatesImpl.h"
#include "GeoRectImpl.h"

#include "support/LogCapture.h"

#include <keldra/Attribute.h>
#include <keldra/BoundingBox.h>
#include <keldra/StringPool.h>

#include <QPointer>

#include <gtest/gtest.h>

#include <cmath>

using keldra::qtplugin::BoundingBoxImpl;
using keldra::qtplugin::GeoCoordinatesImpl;
using keldra::qtplugin::GeoRectImpl;
using orva::SharedPointer;
using orva::keldra::Attribute;

namespace {

class GeoElementsTest : public ::testing::Test {
 protected:
  SharedPointer<orva::keldra::StringPool> pool_ = orva::keldra::StringPool::create();
};

double stored_double(const Attribute& box, const char* name) {
  double value = NAN;
  EXPECT_TRUE(box.get_field<double>(name, value)) << name;
  return value;
}

TEST_F(GeoElementsTest, CoordinatesFromALibraryValueKeepAllThree) {
  GeoCoordinatesImpl element(orva::GeoCoordinates(60.5, 24.25, 17.0), nullptr);
  EXPECT_EQ(element.getLatitude(), 60.5);
  EXPECT_EQ(element.getLongitude(), 24.25);
  EXPECT_EQ(element.getAltitude(), 17.0);
  EXPECT_EQ(element.coordinates(), orva::GeoCoordinates(60.5, 24.25, 17.0));
}

// A box made over an object's attribute is a live view: writes land in that attribute.
TEST_F(GeoElementsTest, BoxOverAnAttributeWritesItsFields) {
  SharedPointer<Attribute> attribute(new Attribute(std::string("box")));
  BoundingBoxImpl box(attribute, nullptr);
  GeoRectImpl rect;
  rect.setBounds(10.0, 20.0, -5.0, 5.0, 1);
  box.setCoordinateLimits(&rect);
  box.setAltitudeLimits(-3.5, 250.0);

  EXPECT_EQ(stored_double(*attribute, "maxlat"), 5.0);
  EXPECT_EQ(stored_double(*attribute, "minlat"), -5.0);
  EXPECT_EQ(stored_double(*attribute, "minlong"), 10.0);
  EXPECT_EQ(stored_double(*attribute, "maxlong"), 20.0);
  int datum = 0;
  EXPECT_TRUE(attribute->get_field<int>("datum", datum));
  EXPECT_EQ(datum, -1);
  float min_alt = 0, max_alt = 0;
  EXPECT_TRUE(attribute->get_field<float>("minalt", min_alt));
  EXPECT_TRUE(attribute->get_field<float>("maxalt", max_alt));
  EXPECT_EQ(min_alt, -3.5f);
  EXPECT_EQ(max_alt, 250.0f);

  // And reads see what another holder of the attribute wrote.
  orva::keldra::BoundingBox other;
  other.attach(attribute);
  other.set_max_altitude(999.0f);
  EXPECT_EQ(box.getMaxAltitude(), 999.0);
  EXPECT_EQ(box.bbox().attribute(), attribute);
}

// An empty box owns an attribute of its own from the start, so an object element can
// copy it in even before anything was written.
TEST_F(GeoElementsTest, EmptyBoxOwnsANewAttribute) {
  BoundingBoxImpl first, second;
  ASSERT_TRUE(first.bbox().is_safe());
  EXPECT_EQ(first.bbox().attribute()->get_class_name(), "box");
  EXPECT_NE(first.bbox().attribute(), second.bbox().attribute());
  first.setAltitudeLimits(1.0, 2.0);
  EXPECT_TRUE(std::isnan(second.getMinAltitude()));
}

// The limits element is a child of the box that made it and goes with it.
TEST_F(GeoElementsTest, LimitsBelongToTheirBox) {
  auto* box = new BoundingBoxImpl;
  QPointer<GeoRectImpl> limits = box->getCoordinateLimits();
  ASSERT_TRUE(limits);
  EXPECT_EQ(limits->parent(), box);
  delete box;
  EXPECT_FALSE(limits);
}

TEST_F(GeoElementsTest, SetBoundsTracesWhetherTheRectWasTaken) {
  keldra_test::LogCapture log("32");
  GeoRectImpl rect;
  rect.setBounds(10.0, 20.0, 6.0, 5.0);
  EXPECT_TRUE(log.has("rect not valid"));
  EXPECT_FALSE(log.has("rect valid\n"));
  rect.setBounds(10.0, 20.0, 4.0, 5.0);
  EXPECT_TRUE(log.has("rect valid\n")) << log.text();
  EXPECT_FALSE(log.has("QmlPlugin"));
}

TEST_F(GeoElementsTest, RectFromLibraryValuesKeepsTheLibraryDatum) {
  struct Case {
    orva::keldra::CoordinateDatum datum;
    int qml;
  };
  const Case cases[] = {{orva::keldra::COORDINATE_DATUM_CHINA, 1},
                        {orva::keldra::COORDINATE_DATUM_WGS84, 0},
                        {static_cast<orva::keldra::CoordinateDatum>(7), 0}};
  for (const Case& c : cases) {
    GeoRectImpl rect(orva::GeoRect(1, 2, 3, 4), c.datum, nullptr);
    EXPECT_EQ(rect.getCoordinateDatum(), c.qml) << c.datum;
    EXPECT_EQ(rect.datum(), c.datum);
    EXPECT_EQ(rect.getMaxLatitude(), 4.0);
  }
}

}  // namespace
