// Maps locations: the maps application's section of a place, its properties and the
// packed map content version, and the section's way through copies and the store.
#include "StoreTestSupport.h"

#include <keldra/Attribute.h>
#include <keldra/Field.h>
#include <keldra/LocationObject.h>
#include <keldra/MapsLocation.h>
#include <keldra/MapsLocationCustomData.h>
#include <keldra/MapsLocationProperties.h>
#include <keldra/Object.h>

#include <tervo/ustring.h>

#include <functional>
#include <string>

namespace keldra_test {
namespace {

using orva::ErrorCode;
using orva::SharedPointer;
using orva::ustring;
using orva::keldra::Attribute;
using orva::keldra::Field;
using orva::keldra::MapsLocation;
using orva::keldra::MapsLocationProperties;
using orva::keldra::Object;

typedef MapsLocationProperties::MapContentVersion Version;

Version version(unsigned char a, unsigned char b, unsigned char c, unsigned char d) {
  Version v;
  v.parts[0] = a;
  v.parts[1] = b;
  v.parts[2] = c;
  v.parts[3] = d;
  return v;
}

std::string parts(const Version& v) {
  return std::to_string(v.parts[0]) + "." + std::to_string(v.parts[1]) + "." +
         std::to_string(v.parts[2]) + "." + std::to_string(v.parts[3]);
}

// A location object whose "maps" section holds one properties attribute with the
// field |name| set to |value|.
SharedPointer<Object> location_with_property(const std::string& name, const Field& value) {
  SharedPointer<Object> object(new Object("location"));
  SharedPointer<Attribute> maps(new Attribute("maps", "custom"));
  SharedPointer<Attribute> properties(new Attribute("maps_properties", "maps_location_properties"));
  Field field(value);
  field.set_name(name);
  properties->get_fields().push_back(field);
  maps->get_attributes().push_back(properties);
  object->get_attributes().push_back(maps);
  return object;
}

using MapsLocationTest = StoreTest;

TEST_F(MapsLocationTest, FirstWriteCreatesTheObjectSectionAndProperties) {
  MapsLocation place;
  ASSERT_EQ(0, place.maps_properties().set_place_id(ustring("poi-17")));
  ASSERT_TRUE(place.is_safe());
  EXPECT_EQ("location", place.object()->get_class_name());
  EXPECT_EQ("maps:custom[maps_properties:maps_location_properties(place_id=poi-17)]",
            tree(place.object()->get_attributes()));

  ASSERT_EQ(0, place.maps_properties().set_place_url_id(4));
  ASSERT_EQ(0, place.maps_properties().set_maps_app_version(ustring("3.1")));
  ASSERT_EQ(0, place.maps_properties().set_map_content_version(version(1, 2, 3, 4)));
  ASSERT_EQ(0, place.metadata().set_name(ustring("Market square"), ustring()));
  EXPECT_EQ(
      "maps:custom[maps_properties:maps_location_properties(place_id=poi-17,place_url_id=4,"
      "app_version=3.1,map_version=67305985)] meta:metadata[name:text(text=Market square)]",
      tree(place.object()->get_attributes()));
}

TEST_F(MapsLocationTest, PlaceWithoutSectionReadsAsAbsentAndGainsNothing) {
  SharedPointer<Object> object(new Object("location"));
  object->get_attributes().push_back(
      SharedPointer<Attribute>(new Attribute("position", "position")));
  // A "maps" attribute of another class is not the section.
  object->get_attributes().push_back(SharedPointer<Attribute>(new Attribute("maps", "text")));
  object->set_modified(false);
  MapsLocation place;
  place.attach(object);

  const MapsLocationProperties& properties = place.maps_properties();
  ustring text("untouched");
  Version v = version(9, 9, 9, 9);
  EXPECT_FALSE(properties.get_maps_app_version(text));
  EXPECT_FALSE(properties.get_place_id(text));
  EXPECT_FALSE(properties.get_map_content_version(v));
  EXPECT_EQ(ustring("untouched"), text);
  EXPECT_EQ("9.9.9.9", parts(v));
  EXPECT_EQ(0u, properties.get_place_url_id());
  EXPECT_EQ(0u, properties.get_base_poi());
  EXPECT_EQ("position:position maps:text", tree(object->get_attributes()));
  EXPECT_FALSE(object->is_modified());
}

TEST_F(MapsLocationTest, BasePoiIsNotSupported) {
  MapsLocation fresh;
  EXPECT_EQ(ORVA_ERROR_NOT_SUPPORTED, fresh.maps_properties().set_base_poi(5));
  EXPECT_FALSE(fresh.is_safe());

  MapsLocation place;
  ASSERT_EQ(0, place.maps_properties().set_place_id(ustring("poi-17")));
  ASSERT_EQ(0, place.maps_properties().set_place_url_id(4));
  const std::string before = tree(place.object()->get_attributes());
  EXPECT_EQ(ORVA_ERROR_NOT_SUPPORTED, place.maps_properties().set_base_poi(5));
  EXPECT_EQ(before, tree(place.object()->get_attributes()));
  EXPECT_EQ(0u, place.maps_properties().get_base_poi());
}

TEST_F(MapsLocationTest, MapContentVersionIsPackedFirstPartLowest) {
  struct Case {
    Version version;
    unsigned int packed;
  };
  const Case cases[] = {
      {version(1, 2, 3, 4), 0x04030201u},
      {version(255, 0, 0, 0), 0x000000FFu},
      {version(0, 0, 0, 255), 0xFF000000u},
      {version(128, 129, 130, 131), 0x83828180u},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(parts(c.version));
    MapsLocationProperties properties;
    ASSERT_EQ(0, properties.set_map_content_version(c.version));
    const Field& field = properties.attribute()->get_fields()[0];
    EXPECT_EQ("map_version", field.get_name());
    ASSERT_EQ(Field::TYPE_UINT32, field.get_type());
    unsigned int stored = 0;
    field.get_value(stored);
    EXPECT_EQ(c.packed, stored);

    Version back = version(7, 7, 7, 7);
    EXPECT_TRUE(properties.get_map_content_version(back));
    EXPECT_EQ(parts(c.version), parts(back));
  }
}

// A field of another type is present but holds no value of the getter's type.
TEST_F(MapsLocationTest, FieldsOfAnotherTypeReadAsPresentButEmpty) {
  MapsLocation place;

  place.attach(location_with_property("map_version", Field("1.2.3.4")));
  Version v = version(9, 9, 9, 9);
  EXPECT_TRUE(place.maps_properties().get_map_content_version(v));
  EXPECT_EQ("0.0.0.0", parts(v));

  place.attach(location_with_property("place_url_id", Field("12")));
  EXPECT_EQ(0u, place.maps_properties().get_place_url_id());
  place.attach(location_with_property("place_url_id", Field(12)));  // signed
  EXPECT_EQ(0u, place.maps_properties().get_place_url_id());

  for (const char* name : {"app_version", "place_id"}) {
    SCOPED_TRACE(name);
    place.attach(location_with_property(name, Field(12u)));
    ustring text("untouched");
    EXPECT_TRUE(name == std::string("app_version")
                    ? place.maps_properties().get_maps_app_version(text)
                    : place.maps_properties().get_place_id(text));
    EXPECT_EQ(ustring("untouched"), text);
  }
}

// Properties whose parent does not create them cannot be written: every setter says so.
TEST_F(MapsLocationTest, SettersReportWhatTheyCouldNotStore) {
  const std::pair<const char*, std::function<ErrorCode(MapsLocationProperties&)>> setters[] = {
      {"app version", [](MapsLocationProperties& p) { return p.set_maps_app_version("3.1"); }},
      {"place id", [](MapsLocationProperties& p) { return p.set_place_id("poi-17"); }},
      {"content version",
       [](MapsLocationProperties& p) { return p.set_map_content_version(version(1, 2, 3, 4)); }},
      {"place url id", [](MapsLocationProperties& p) { return p.set_place_url_id(4); }},
  };
  for (const auto& setter : setters) {
    SCOPED_TRACE(setter.first);
    orva::keldra::LocationObject stranger;
    MapsLocationProperties orphan;
    orphan.set_parent(&stranger);
    EXPECT_EQ(ORVA_ERROR_OUT_OF_MEMORY, setter.second(orphan));
    EXPECT_FALSE(orphan.is_safe());
    EXPECT_EQ("", tree(stranger.object()->get_attributes()));
  }
}

TEST_F(MapsLocationTest, CopiesAndAssignmentsCarryTheSection) {
  MapsLocation source;
  ASSERT_EQ(0, source.maps_properties().set_place_id(ustring("poi-17")));

  MapsLocation copy(source);
  ASSERT_TRUE(copy.is_safe());
  EXPECT_NE(source.object(), copy.object());
  ustring text;
  EXPECT_TRUE(copy.maps_properties().get_place_id(text));
  EXPECT_EQ(ustring("poi-17"), text);
  ASSERT_EQ(0, copy.maps_properties().set_place_id(ustring("poi-18")));
  EXPECT_TRUE(source.maps_properties().get_place_id(text));
  EXPECT_EQ(ustring("poi-17"), text);

  MapsLocation assigned;
  assigned = copy;
  EXPECT_TRUE(assigned.maps_properties().get_place_id(text));
  EXPECT_EQ(ustring("poi-18"), text);

  // Assigning a properties view into a place without section creates the section.
  MapsLocationProperties loose;
  ASSERT_EQ(0, loose.set_place_url_id(4));
  MapsLocation place;
  place.maps_properties() = loose;
  ASSERT_TRUE(place.is_safe());
  EXPECT_EQ("maps:custom[maps_properties:maps_location_properties(place_url_id=4)]",
            tree(place.object()->get_attributes()));
}

TEST_F(MapsLocationTest, SectionSurvivesStoringAndLoading) {
  MapsLocation place;
  ASSERT_EQ(0, place.maps_properties().set_place_id(ustring("poi-17")));
  ASSERT_EQ(0, place.maps_properties().set_map_content_version(version(1, 2, 3, 4)));
  ASSERT_EQ(0, place.store(m_store));

  MapsLocation loaded;
  ASSERT_EQ(0, loaded.load(m_store, place.get_local_id()));
  ustring text;
  EXPECT_TRUE(loaded.maps_properties().get_place_id(text));
  EXPECT_EQ(ustring("poi-17"), text);
  Version v;
  EXPECT_TRUE(loaded.maps_properties().get_map_content_version(v));
  EXPECT_EQ("1.2.3.4", parts(v));

  // A plain location view stores the object with the section it does not know.
  orva::keldra::StorableLocation plain;
  ASSERT_EQ(0, plain.load(m_store, place.get_local_id()));
  ASSERT_EQ(0, plain.metadata().set_name(ustring("Market square"), ustring()));
  ASSERT_EQ(0, plain.store(m_store));
  ASSERT_EQ(0, loaded.load(m_store, place.get_local_id()));
  EXPECT_TRUE(loaded.maps_properties().get_place_id(text));
  EXPECT_EQ(ustring("poi-17"), text);
}

}  // namespace
}  // namespace keldra_test
