// The object elements over library objects: header values read from the object, what
// their writes leave in the object, and the typed elements sharing one object.
#include "CollectionObjectImpl.h"
#include "GenericObjectImpl.h"
#include "LocationObjectImpl.h"
#include "RouteObjectImpl.h"

#include "ElementTestUtil.h"

#include "support/LogCapture.h"

#include <keldra/Attribute.h>
#include <keldra/AttributeList.h>
#include <keldra/Field.h>
#include <keldra/Link.h>
#include <keldra/LinkList.h>
#include <keldra/LocationObject.h>
#include <keldra/Object.h>
#include <keldra/StorableCollection.h>
#include <keldra/StringPool.h>

#include <QPointer>

#include <gtest/gtest.h>

#include <string>

using namespace keldra::qtplugin;
using orva::SharedPointer;
using orva::keldra::Attribute;
using orva::keldra::Link;
using orva::keldra::Object;
using qtplugin_test::link_to;

namespace {

class ObjectElementsTest : public ::testing::Test {
 protected:
  static SharedPointer<Object> object(const char* class_name) {
    return SharedPointer<Object>(new Object(std::string(class_name)));
  }
  static int count_custom(const Object& o, const std::string& service) {
    return qtplugin_test::count_sections(o.get_attributes(), service, "custom");
  }

  SharedPointer<orva::keldra::StringPool> pool_ = orva::keldra::StringPool::create();
};

TEST_F(ObjectElementsTest, HeaderValuesComeFromTheObject) {
  SharedPointer<Object> stored = object("publisher");
  stored->set_local_id(41);
  stored->set_global_id((1ULL << 36) + 3);
  stored->set_version(9);
  stored->set_owner("kaisa");
  stored->set_name("Pier");
  stored->set_timestamp(1700000000123LL);
  stored->set_flags(
      Object::FLAG_LOCAL_CHANGES | Object::FLAG_REMOTE_ONLY_CONTENT | Object::FLAG_STATE_3, true);
  stored->set_sharing(orva::keldra::SHARING_RESTRICTED);
  stored->set_no_sync(true);
  GenericObjectImpl element(stored, nullptr);
  EXPECT_EQ(element.getLID(), 41u);
  EXPECT_EQ(element.getGID(), (1ULL << 36) + 3);
  EXPECT_EQ(element.getVersion(), 9u);
  EXPECT_EQ(element.getOwner(), QStringLiteral("kaisa"));
  EXPECT_EQ(element.getName(), QStringLiteral("Pier"));
  EXPECT_EQ(element.getClass(), QStringLiteral("publisher"));
  EXPECT_EQ(element.getModificationDate().toMSecsSinceEpoch(), 1700000000123LL);
  EXPECT_EQ(element.getModStates(), 1 + 8 + 16);
  EXPECT_EQ(element.getSharing(), 5);
  EXPECT_TRUE(element.isLocalOnly());
  QPointer<ObjectLinkImpl> link = element.createLink();
  EXPECT_EQ(link->getTargetLID(), 41u);
  EXPECT_EQ(link->getTargetGID(), (1ULL << 36) + 3);
  EXPECT_EQ(link->parent(), &element);
  EXPECT_EQ(element.objectPtr(), stored);
}

TEST_F(ObjectElementsTest, WritesChangeTheSharedObject) {
  SharedPointer<Object> stored = object("publisher");
  stored->set_modified(false);
  GenericObjectImpl element(stored, nullptr);
  element.setName(QString::fromUtf8("Caf\xC3\xA9"));
  EXPECT_EQ(stored->get_name(), "Caf\xE9");  // Latin-1, both ways
  EXPECT_EQ(element.getName(), QString::fromUtf8("Caf\xC3\xA9"));
  EXPECT_TRUE(stored->is_modified());
  element.setSharing(2);
  EXPECT_EQ(stored->get_sharing(), orva::keldra::SHARING_PUBLIC_READ_WRITE);
  element.setLocalOnly(true);
  EXPECT_TRUE(stored->is_no_sync());
  // Sharing models the element does not offer are refused.
  element.setSharing(5);
  EXPECT_EQ(stored->get_sharing(), orva::keldra::SHARING_PUBLIC_READ_WRITE);
}

TEST_F(ObjectElementsTest, ElementOverNoObject) {
  GenericObjectImpl element(SharedPointer<Object>(), nullptr);
  EXPECT_TRUE(element.getName().isNull());
  EXPECT_TRUE(element.getClass().isNull());
  EXPECT_FALSE(element.getModificationDate().isValid());
  EXPECT_EQ(element.getMetadata(), nullptr);
  EXPECT_TRUE(element.getCustomKey(QStringLiteral("app"), QStringLiteral("k")).isNull());
  element.removeCustomKeys(QString(), QString());
  EXPECT_FALSE(element.objectPtr().is_valid());
  element.setName(QStringLiteral("made"));
  ASSERT_TRUE(element.objectPtr().is_valid());
  EXPECT_EQ(element.objectPtr()->get_class_name(), "");
  EXPECT_EQ(element.objectPtr()->get_name(), "made");
}

TEST_F(ObjectElementsTest, CustomKeysAreOneSectionWithStringFields) {
  SharedPointer<Object> stored = object("publisher");
  GenericObjectImpl element(stored, nullptr);
  element.setCustomKey(QStringLiteral("app"), QStringLiteral("colour"), QStringLiteral("blue"));
  element.setCustomKey(QStringLiteral("app"), QStringLiteral("colour"),
                       QString::fromUtf8("sininen \xE2\x98\x95"));
  ASSERT_EQ(count_custom(*stored, "app"), 1);
  const int at = stored->get_attributes().find_attribute("app", "custom", 0);
  const Attribute& section = *stored->get_attributes()[static_cast<unsigned>(at)];
  ASSERT_EQ(section.get_fields().size(), 1u);
  EXPECT_EQ(section.get_fields()[0].get_type(), orva::keldra::Field::TYPE_USTRING);
  orva::ustring value;
  section.get_fields()[0].get_value(value);
  EXPECT_EQ(value.to_utf8(), "sininen \xE2\x98\x95");

  // A key written as a number by another program reads as empty.
  stored->get_attributes()[static_cast<unsigned>(at)]->prepare_field("count")->set_value(7u);
  EXPECT_EQ(element.getCustomKey(QStringLiteral("app"), QStringLiteral("count")), QString(""));

  element.removeCustomKeys(QStringLiteral("app"), QStringLiteral("colour"));
  EXPECT_EQ(count_custom(*stored, "app"), 1);
  element.removeCustomKeys(QStringLiteral("app"), QString());
  EXPECT_EQ(count_custom(*stored, "app"), 0);
}

// The typed view and the generic base stand over one object, whichever side writes.
TEST_F(ObjectElementsTest, TypedElementAndItsBaseShareTheObject) {
  SharedPointer<Object> stored = object("location");
  LocationObjectImpl element(stored, nullptr);
  EXPECT_EQ(element.objectPtr(), stored);
  MetadataImpl meta;
  meta.setName(QStringLiteral("Harbour"));
  element.setMetadata(&meta);
  orva::keldra::LocationObject view;
  view.attach(stored);
  orva::ustring name;
  EXPECT_TRUE(view.metadata().get_name(name, ""));
  EXPECT_EQ(name.to_utf8(), "Harbour");

  // A section the library adds afterwards is seen, and written, as the same section.
  view.address().set_address_field(orva::keldra::Address::CITY, "Turku");
  QPointer<AddressImpl> address = element.getAddress();
  ASSERT_TRUE(address);
  EXPECT_EQ(address->getField(AddressImpl::CITY), QStringLiteral("Turku"));
  AddressImpl replacement;
  replacement.setField(AddressImpl::CITY, QStringLiteral("Pori"));
  element.setAddress(&replacement);
  EXPECT_EQ(qtplugin_test::count_sections(stored->get_attributes(), "address", "address"), 1);
  EXPECT_EQ(address->getField(AddressImpl::CITY), QStringLiteral("Pori"));
}

// A typed element whose class name was changed keeps its typed parts.
TEST_F(ObjectElementsTest, TypedElementsKeepTheirViewsAfterAClassChange) {
  LocationObjectImpl place;
  AddressImpl address;
  address.setField(AddressImpl::CITY, QStringLiteral("Vaasa"));
  place.setAddress(&address);
  place.setClass(QStringLiteral("poi"));
  EXPECT_EQ(place.objectPtr()->get_class_name(), "poi");
  ASSERT_NE(place.getAddress(), nullptr);
  EXPECT_EQ(place.getAddress()->getField(AddressImpl::CITY), QStringLiteral("Vaasa"));
  place.setPlaceCategories({QStringLiteral("cafe")});
  EXPECT_EQ(place.getPlaceCategories(), QVariantList{QStringLiteral("cafe")});

  RouteObjectImpl route;
  route.setClass(QStringLiteral("track"));
  WaypointImpl point;
  point.setComment(QStringLiteral("start"));
  route.setWayPoints({&point});
  EXPECT_EQ(route.getWayPoints().size(), 1);

  CollectionObjectImpl collection;
  collection.setClass(QStringLiteral("album"));
  ObjectLinkImpl link(link_to(3, 0), nullptr);
  collection.setItems({&link});
  EXPECT_EQ(collection.getItems().size(), 1);
}

TEST_F(ObjectElementsTest, CollectionItemsDropRepeatedIds) {
  struct Case {
    const char* name;
    std::vector<std::pair<unsigned, unsigned long long>> given;
    std::vector<std::pair<unsigned, unsigned long long>> kept;
  };
  const Case cases[] = {
      {"same local id", {{5, 0}, {5, 0}}, {{5, 0}}},
      {"same global id", {{0, 9}, {3, 9}}, {{0, 9}}},
      {"no ids all kept", {{0, 0}, {0, 0}}, {{0, 0}, {0, 0}}},
      {"order kept", {{7, 0}, {0, 70}, {2, 0}}, {{7, 0}, {0, 70}, {2, 0}}},
  };
  for (const Case& c : cases) {
    SharedPointer<Object> stored = object("collection");
    CollectionObjectImpl element(stored, nullptr);
    QList<QObject*> items;
    for (const auto& ids : c.given)
      items.append(new ObjectLinkImpl(link_to(ids.first, ids.second), &element));
    QObject other;
    items.insert(1, &other);
    items.append(nullptr);
    element.setItems(items);
    orva::keldra::StorableCollection view;
    view.attach(stored);
    orva::keldra::LinkList links;
    view.get_items(links);
    ASSERT_EQ(links.size(), c.kept.size()) << c.name;
    const QList<QObject*> read = element.getItems();
    ASSERT_EQ(static_cast<size_t>(read.size()), c.kept.size()) << c.name;
    for (size_t i = 0; i < c.kept.size(); ++i) {
      EXPECT_EQ(links[static_cast<unsigned>(i)].get_local_link(), c.kept[i].first) << c.name;
      EXPECT_EQ(links[static_cast<unsigned>(i)].get_global_link(), c.kept[i].second) << c.name;
      auto* link = qobject_cast<ObjectLinkImpl*>(read[static_cast<int>(i)]);
      ASSERT_NE(link, nullptr);
      EXPECT_EQ(link->getTargetLID(), c.kept[i].first);
      EXPECT_EQ(link->parent(), &element);
    }
  }
}

TEST_F(ObjectElementsTest, LocationSettersTraceEvenForNull) {
  keldra_test::LogCapture log("32");
  LocationObjectImpl element;
  element.setAddress(nullptr);
  element.setContact(nullptr);
  element.setPosition(nullptr);
  element.setMapsProperties(nullptr);
  EXPECT_EQ(element.getMapsProperties(), nullptr);
  for (const char* line :
       {"LocationObjectImpl::setAddress()", "LocationObjectImpl::setContact()",
        "LocationObjectImpl::setPosition()", "LocationObjectImpl::setMapsProperites()",
        "LocationObjectImpl::getMapsProperties()"}) {
    EXPECT_TRUE(log.has(line)) << line;
  }
}

TEST_F(ObjectElementsTest, HandedOutElementsDieWithTheObjectElement) {
  auto* route = new RouteObjectImpl;
  WaypointImpl point;
  point.setComment(QStringLiteral("a"));
  route->setWayPoints({&point});
  RoutePropertiesImpl props;
  route->setRouteProperties(&props);
  QPointer<QObject> waypoint = route->getWayPoints().value(0);
  QPointer<RoutePropertiesImpl> properties = route->getRouteProperties();
  QPointer<ObjectLinkImpl> link = route->createLink();
  ASSERT_TRUE(waypoint && properties && link);
  SharedPointer<Object> kept = route->objectPtr();
  delete route;
  EXPECT_FALSE(waypoint);
  EXPECT_FALSE(properties);
  EXPECT_FALSE(link);
  // The object outlives the element while someone else holds it.
  EXPECT_EQ(kept->get_class_name(), "route");
}

}  // namespace
