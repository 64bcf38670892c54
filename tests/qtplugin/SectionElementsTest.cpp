// The section value elements over attributes of an object: what they write reaches the
// library's section, and what the library holds is what they read.
#include "AddressImpl.h"
#include "ContactImpl.h"
#include "ImageLinkImpl.h"
#include "MapsLocationPropertiesImpl.h"
#include "MetadataImpl.h"
#include "ObjectLinkImpl.h"
#include "PositionImpl.h"
#include "RoutePropertiesImpl.h"
#include "WaypointImpl.h"

#include "ElementTestUtil.h"

#include "support/LogCapture.h"

#include <keldra/Address.h>
#include <keldra/Attribute.h>
#include <keldra/Contact.h>
#include <keldra/Link.h>
#include <keldra/Metadata.h>
#include <keldra/Position.h>
#include <keldra/StringPool.h>

#include <QPointer>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

using namespace keldra::qtplugin;
using orva::SharedPointer;
using orva::keldra::Attribute;
using orva::keldra::Link;
using qtplugin_test::count_fields;
using qtplugin_test::link_to;

namespace {

class SectionElementsTest : public ::testing::Test {
 protected:
  static SharedPointer<Attribute> section(const char* class_name) {
    return SharedPointer<Attribute>(new Attribute(std::string(class_name)));
  }

  SharedPointer<orva::keldra::StringPool> pool_ = orva::keldra::StringPool::create();
};

TEST_F(SectionElementsTest, AddressFieldsLandInTheirNamedFields) {
  struct Case {
    int field;
    const char* name;
  };
  const Case cases[] = {{1, "country"}, {4, "county_or_province"}, {5, "city"}, {12, "crossing1"},
                        {15, "floor"},  {18, "room_name"}};
  for (const Case& c : cases) {
    SharedPointer<Attribute> attribute = section("address");
    AddressImpl element(attribute, nullptr);
    const QString text = QString::fromUtf8("H\xC3\xA4meenlinna \xF0\x9F\x97\xBA");
    element.setField(c.field, text);
    std::string stored;
    ASSERT_TRUE(attribute->get_field<std::string>(c.name, stored)) << c.name;
    EXPECT_EQ(stored, text.toUtf8().toStdString());
    EXPECT_EQ(element.getField(c.field), text);
  }
}

TEST_F(SectionElementsTest, AddressOutOfRangeWritesNothing) {
  SharedPointer<Attribute> attribute = section("address");
  AddressImpl element(attribute, nullptr);
  element.setField(0, QStringLiteral("x"));
  element.setField(19, QStringLiteral("x"));
  EXPECT_EQ(attribute->get_fields().size(), 0u);
}

TEST_F(SectionElementsTest, AddressMetadataIsTheMetaSection) {
  SharedPointer<Attribute> attribute = section("address");
  AddressImpl address(attribute, nullptr);
  EXPECT_EQ(address.getMetadata(), nullptr);
  MetadataImpl meta;
  meta.setName(QStringLiteral("Pohjoisranta"), QStringLiteral("fi"));
  address.setMetadata(&meta);
  orva::keldra::Address view;
  view.attach(attribute);
  orva::ustring name;
  EXPECT_TRUE(view.metadata().get_name(name, "fi"));
  EXPECT_EQ(name.to_utf8(), "Pohjoisranta");
  // The handed-out copy has its own attribute, a child of the address element.
  QPointer<MetadataImpl> copy = address.getMetadata();
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->parent(), &address);
  EXPECT_NE(copy->meta().attribute(), view.metadata().attribute());
}

TEST_F(SectionElementsTest, ContactEntriesAreChildSections) {
  SharedPointer<Attribute> attribute = section("contact");
  ContactImpl element(attribute, nullptr);
  element.setField(ContactImpl::EMAIL, QStringLiteral("info@example.fi"));
  element.setFieldDescription(ContactImpl::EMAIL, QString::fromUtf8("S\xC3\xA4hk\xC3\xB6posti"),
                              QStringLiteral("fi"));
  const int at = attribute->get_attributes().find_attribute("email", "contact_field", 0);
  ASSERT_GE(at, 0);
  orva::keldra::Contact view;
  view.attach(attribute);
  orva::ustring value, description;
  EXPECT_TRUE(view.get_field_value(orva::keldra::Contact::EMAIL, value));
  EXPECT_TRUE(view.get_field_description(orva::keldra::Contact::EMAIL, description));
  EXPECT_EQ(value.to_utf8(), "info@example.fi");
  EXPECT_EQ(description.to_utf8(), "S\xC3\xA4hk\xC3\xB6posti");
}

TEST_F(SectionElementsTest, MetadataOverAnAttributeIsLive) {
  SharedPointer<Attribute> attribute = section("metadata");
  MetadataImpl element(attribute, nullptr);
  element.setName(QStringLiteral("Tori"), QStringLiteral("fi"));
  orva::keldra::Metadata view;
  view.attach(attribute);
  orva::ustring name;
  EXPECT_TRUE(view.get_name(name, "fi"));
  EXPECT_EQ(name.to_utf8(), "Tori");
  view.set_description("Aukio", "fi");
  EXPECT_EQ(element.getDescription(QStringLiteral("fi")), QStringLiteral("Aukio"));
}

// Two elements made over one section before either wrote: each sees the other's
// writes, and the second write goes to the same child section instead of a new one.
TEST_F(SectionElementsTest, ElementsOverOneSectionShareItsChildren) {
  {
    SharedPointer<Attribute> attribute = section("metadata");
    MetadataImpl first(attribute, nullptr), second(attribute, nullptr);
    first.setName(QStringLiteral("Tori"), QStringLiteral("fi"));
    EXPECT_EQ(second.getName(QStringLiteral("fi")), QStringLiteral("Tori"));
    second.setName(QStringLiteral("Torget"), QStringLiteral("fi"));
    EXPECT_EQ(first.getName(QStringLiteral("fi")), QStringLiteral("Torget"));
    EXPECT_EQ(first.getAllNameLanguages(), QVariantList{QStringLiteral("fi")});
    EXPECT_EQ(qtplugin_test::count_sections(attribute->get_attributes(), "name", ""), 1);
    second.setRating(2.5, 4);
    EXPECT_EQ(first.getRatesCount(), 4);
  }
  {
    SharedPointer<Attribute> attribute = section("contact");
    ContactImpl first(attribute, nullptr), second(attribute, nullptr);
    first.setField(ContactImpl::PHONE, QStringLiteral("1"));
    second.setFieldDescription(ContactImpl::PHONE, QStringLiteral("desk"));
    EXPECT_EQ(first.getFieldDescription(ContactImpl::PHONE), QStringLiteral("desk"));
    EXPECT_EQ(second.getField(ContactImpl::PHONE), QStringLiteral("1"));
  }
  {
    SharedPointer<Attribute> attribute = section("way_point");
    WaypointImpl first(attribute, nullptr), second(attribute, nullptr);
    first.setComment(QStringLiteral("here"));
    EXPECT_EQ(second.getComment(), QStringLiteral("here"));
    PositionImpl position;
    position.setCoordinates(1.0, 2.0);
    second.setPosition(&position);
    ASSERT_NE(first.getPosition(), nullptr);
    EXPECT_EQ(first.getPosition()->getLatitude(), 1.0);
  }
}

TEST_F(SectionElementsTest, ImageLinkStoresTheFileLinkAndIndexes) {
  SharedPointer<Attribute> attribute = section("frame");
  ImageLinkImpl element(attribute, nullptr);
  ObjectLinkImpl file(link_to(12, (1ULL << 33) + 1), nullptr);
  element.setIcon(&file, 2, 5);
  int frameno = 0, mask = 0;
  EXPECT_TRUE(attribute->get_field<int>("frameno", frameno));
  EXPECT_TRUE(attribute->get_field<int>("mask_frameno", mask));
  EXPECT_EQ(frameno, 2);
  EXPECT_EQ(mask, 5);
  QPointer<ObjectLinkImpl> read = element.getIconFile();
  ASSERT_TRUE(read);
  EXPECT_EQ(read->getTargetLID(), 12u);
  EXPECT_EQ(read->getTargetGID(), (1ULL << 33) + 1);
  EXPECT_EQ(read->parent(), &element);

  // A link without target removes the file link.
  ObjectLinkImpl empty;
  element.setIcon(&empty);
  EXPECT_EQ(element.getIconFile()->getTargetLID(), 0u);
  EXPECT_EQ(element.frameIndex(), 0);
  EXPECT_EQ(element.maskFrameIndex(), -1);
}

TEST_F(SectionElementsTest, MetadataIconKeepsTheFileLink) {
  MetadataImpl meta;
  ImageLinkImpl link;
  ObjectLinkImpl file(link_to(0, 77), nullptr);
  link.setIcon(&file, 1);
  meta.setIcon(&link);
  ImageLinkImpl* icon = meta.getIcon();
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->getIconFile()->getTargetGID(), 77u);
  EXPECT_EQ(icon->frameIndex(), 1);
  EXPECT_EQ(icon->parent(), &meta);
}

TEST_F(SectionElementsTest, PositionStoresLibraryCoding) {
  SharedPointer<Attribute> attribute = section("position");
  PositionImpl element(attribute, nullptr);
  element.setCoordinates(60.17, 24.94, 1, 12.0);
  int datum = 0;
  EXPECT_TRUE(attribute->get_field<int>("datum", datum));
  EXPECT_EQ(datum, -1);
  double latitude = 0;
  EXPECT_TRUE(attribute->get_field<double>("latitude", latitude));
  EXPECT_EQ(latitude, 60.17);

  element.setSpeed(4.0);
  EXPECT_EQ(count_fields(*attribute, "speed"), 1);
  element.setSpeed(INFINITY);
  EXPECT_EQ(count_fields(*attribute, "speed"), 0);

  element.setCoordinates(60.17, 24.94, 0, orva::ORVA_NO_VALUE);
  EXPECT_EQ(count_fields(*attribute, "altitude"), 0);
  element.setAccuracy(10.0, 20.0);
  EXPECT_EQ(count_fields(*attribute, "accuracy"), 1);
  EXPECT_EQ(count_fields(*attribute, "alt_accuracy"), 0);
  EXPECT_EQ(element.getAltitude(), orva::ORVA_NO_VALUE);
  EXPECT_EQ(count_fields(*attribute, "altitude_above_sea"), 0);
}

TEST_F(SectionElementsTest, ContentVersionIsFourBytesFirstLowest) {
  struct Case {
    const char* text;
    bool stored;
    unsigned int value;
  };
  const Case cases[] = {{"1.2.3.4", true, 0x04030201u},
                        {"255.0.0.1", true, 0x010000FFu},
                        {"1.2.3", false, 0},
                        {"256.1.1.1", false, 0},
                        {"4294967297.1.1.1", false, 0}};
  for (const Case& c : cases) {
    SharedPointer<Attribute> attribute = section("maps_location_properties");
    MapsLocationPropertiesImpl element(attribute, nullptr);
    element.setMapContentVersion(QString::fromLatin1(c.text));
    unsigned int value = 0;
    EXPECT_EQ(attribute->get_field<unsigned int>("map_version", value), c.stored) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
  }
  EXPECT_STREQ(VERSION_STRING_FORMAT, "%lu.%lu.%lu.%lu");
}

TEST_F(SectionElementsTest, RouteKeywordsAndOptionFields) {
  SharedPointer<Attribute> attribute = section("route_properties");
  RoutePropertiesImpl element(attribute, nullptr);
  element.setMode(RoutePropertiesImpl::MODE_BICYCLE);
  element.setType(RoutePropertiesImpl::TYPE_ECONOMIC);
  std::string mode, type;
  EXPECT_TRUE(attribute->get_field<std::string>("mode", mode));
  EXPECT_TRUE(attribute->get_field<std::string>("type", type));
  EXPECT_EQ(mode, "bike");
  EXPECT_EQ(type, "most_economical");
  element.setMode(6);
  EXPECT_EQ(element.getMode(), 3);

  element.setOption(RoutePropertiesImpl::NO_FERRIES, true);
  element.setOption(RoutePropertiesImpl::NO_FERRIES, true);
  EXPECT_EQ(count_fields(*attribute, "option"), 1);
  element.setOption(RoutePropertiesImpl::NO_FERRIES, false);
  EXPECT_EQ(count_fields(*attribute, "option"), 0);
}

TEST_F(SectionElementsTest, ArrivalTimeIsTracedBeforeAndAfter) {
  keldra_test::LogCapture log("32");
  RoutePropertiesImpl element;
  element.setArrivalTime(QStringLiteral("2026-06-01T10:05:00Z"));
  element.setArrivalTime(QStringLiteral("later"));
  EXPECT_TRUE(log.has("RoutePropertiesImpl::setArrivalTime, Arrival time: 2026-06-01T10:05:00Z"));
  EXPECT_TRUE(log.has("RoutePropertiesImpl::setArrivalTime, Arrival time 2: 2026-06-01T10:05:00Z"));
  EXPECT_TRUE(log.has("RoutePropertiesImpl::setArrivalTime, Arrival time: later"));
  EXPECT_TRUE(log.has("RoutePropertiesImpl::setArrivalTime, Arrival time 2: \n")) << log.text();
}

TEST_F(SectionElementsTest, WaypointLinksKeepTheirTargets) {
  SharedPointer<Attribute> attribute = section("way_point");
  WaypointImpl element(attribute, nullptr);
  ObjectLinkImpl place(link_to(5, 0), nullptr);
  ObjectLinkImpl photo(link_to(0, 1ULL << 40), nullptr);
  element.setLocation(&place);
  element.setAttachment(&photo);
  ObjectLinkImpl* location = element.getLocation();
  ObjectLinkImpl* attachment = element.getAttachment();
  ASSERT_NE(location, nullptr);
  ASSERT_NE(attachment, nullptr);
  EXPECT_EQ(location->getTargetLID(), 5u);
  EXPECT_EQ(location->getTargetGID(), 0u);
  EXPECT_EQ(attachment->getTargetLID(), 0u);
  EXPECT_EQ(attachment->getTargetGID(), 1ULL << 40);
  EXPECT_EQ(location->parent(), &element);
  EXPECT_GE(attribute->get_links().find_link("location"), 0);
  EXPECT_GE(attribute->get_links().find_link("attachment"), 0);
}

// Handed-out elements belong to the element that made them and die with it.
TEST_F(SectionElementsTest, HandedOutElementsDieWithTheirMaker) {
  auto waypoint = std::make_unique<WaypointImpl>();
  PositionImpl position;
  position.setCoordinates(1.0, 2.0);
  waypoint->setPosition(&position);
  QPointer<PositionImpl> view = waypoint->getPosition();
  ASSERT_TRUE(view);
  QPointer<GeoCoordinatesImpl> coordinates = view->getCoordinates();
  ASSERT_TRUE(coordinates);
  waypoint.reset();
  EXPECT_FALSE(view);
  EXPECT_FALSE(coordinates);
}

}  // namespace
