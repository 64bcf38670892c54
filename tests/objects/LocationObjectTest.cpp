// Location objects: a whole place built through the views and read back, the
// members and lists over the object's attributes, and writing a Location.
#include "support/PlaceFixture.h"

#include <keldra/Address.h>
#include <keldra/BoundingBox.h>
#include <keldra/Contact.h>
#include <keldra/LocationCategories.h>
#include <keldra/LocationObject.h>
#include <keldra/LocationProperties.h>
#include <keldra/Position.h>

#include <tervo/GeoCoordinates.h>
#include <tervo/GeoRect.h>
#include <tervo/LocationInfo.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace keldra_test {
namespace {

using orva::GeoCoordinates;
using orva::Location;
using orva::LocationInfo;
using orva::SharedPointer;
using orva::ustring;
using orva::keldra::Address;
using orva::keldra::Attribute;
using orva::keldra::Contact;
using orva::keldra::LocationObject;
using orva::keldra::Object;
using orva::keldra::Position;

// A location at the cathedral with every key the place exchanges.
Location cathedral() {
  Location where = location_at(65.5, 25.25, 12);
  LocationInfo& info = where.get_info();
  info.set(LocationInfo::COUNTRY_CODE, ustring("FI"));
  info.set(LocationInfo::COUNTY, ustring("North Ostrobothnia"));
  info.set(LocationInfo::CITY, ustring("Oulu"));
  info.set(LocationInfo::DISTRICT, ustring("Keskusta"));
  info.set(LocationInfo::POSTAL_CODE, ustring("90100"));
  info.set(LocationInfo::NEIGHBORHOOD, ustring("Pokkinen"));
  info.set(LocationInfo::STREET, ustring("Kirkkokatu"));
  info.set(LocationInfo::STREET_NUMBER, ustring("36"));
  info.set(LocationInfo::BUILDING_NAME, ustring("Cathedral"));
  info.set(LocationInfo::FLOOR, ustring("1"));
  info.set(LocationInfo::ROOM, ustring("Nave"));
  info.set(LocationInfo::ZONE, ustring("A"));
  info.set(LocationInfo::PHONE_NUMBER, ustring("+358 8 3161 400"));
  info.set(LocationInfo::WEB_ADDRESS, ustring("http://example.org/"));
  return where;
}

using LocationObjectTest = PlaceTest;

TEST_F(LocationObjectTest, WholePlaceBuiltThroughTheViewsReadsBack) {
  const Location where = cathedral();
  LocationObject place;
  ASSERT_EQ(0, place.set_location(where));
  ASSERT_EQ(0, place.metadata().set_name(ustring("Oulu Cathedral"), ustring()));
  ASSERT_EQ(0, place.bounding_box().extend(where));
  ASSERT_EQ(0, place.categories().set_global_categories({"church", "sight"}));
  ASSERT_EQ(0, place.properties().set_radius(40.0f));
  ASSERT_EQ(0, place.contact().set_field_value(Contact::MOBILE, ustring("040")));
  Address home;
  ASSERT_EQ(0, home.set_address_field(Address::CITY, ustring("Kempele")));
  ASSERT_EQ(0, place.addresses().set_item_by_context(home, "home"));
  Position entrance;
  ASSERT_EQ(0, entrance.set_coordinates(GeoCoordinates(65.25, 25.5)));
  ASSERT_EQ(0, place.positions().set_item_by_context(entrance, "entrance"));

  ASSERT_TRUE(place.is_safe());
  EXPECT_EQ("location", place.object()->get_class_name());
  EXPECT_EQ(
      "position:position(latitude=65.5,longitude=25.25,altitude=12) "
      "address:address(country_code=FI,county_or_province=North Ostrobothnia,city=Oulu,"
      "district=Keskusta,postal_code=90100,neighborhood=Pokkinen,street=Kirkkokatu,"
      "street_number=36,building_name=Cathedral,floor=1,room=Nave,zone=A) "
      "contact:contact[web:contact_field(value=http://example.org/) "
      "phone:contact_field(value=+358 8 3161 400) mobile:contact_field(value=040)] "
      "meta:metadata[name:text(text=Oulu Cathedral)] "
      "bounding_box:box(minlat=65.5,maxlat=65.5,minlong=25.25,maxlong=25.25,maxalt=12,minalt=12) "
      "categories:location_categories(global_category=church,global_category=sight) "
      "properties:location_properties(radius=40) "
      "address.home:address(city=Kempele) "
      "position.entrance:position(latitude=65.25,longitude=25.5)",
      tree(place.object()->get_attributes()));

  // A fresh view over the stored object, and a deep copy, both show the whole place.
  LocationObject reread;
  reread.attach(place.object());
  LocationObject copy(place);
  ASSERT_NE(place.object(), copy.object());
  for (LocationObject* view : {&reread, &copy}) {
    Location back;
    EXPECT_TRUE(view->get_location(back));
    EXPECT_EQ(where.get_coordinates(), back.get_coordinates());
    EXPECT_TRUE(where.get_info() == back.get_info());

    ustring text;
    EXPECT_TRUE(view->metadata().get_name(text, ustring()));
    EXPECT_EQ(ustring("Oulu Cathedral"), text);
    EXPECT_EQ(orva::GeoRect(25.25, 25.25, 65.5, 65.5), view->bounding_box().get_rect());
    EXPECT_EQ(12.0f, view->bounding_box().get_max_altitude());
    std::vector<std::string> categories;
    view->categories().get_global_categories(categories);
    EXPECT_EQ(std::vector<std::string>({"church", "sight"}), categories);
    EXPECT_EQ(40.0f, view->properties().get_radius());
    EXPECT_TRUE(view->contact().get_field_value(Contact::MOBILE, text));
    EXPECT_EQ(ustring("040"), text);

    ASSERT_EQ(2u, view->addresses().count());
    EXPECT_EQ(view->address().attribute(), view->addresses().get_item_by_context("")->attribute());
    SharedPointer<Address> second = view->addresses().get_item_by_context("home");
    ASSERT_TRUE(second.is_valid());
    EXPECT_TRUE(second->get_address_field(Address::CITY, text));
    EXPECT_EQ(ustring("Kempele"), text);

    ASSERT_EQ(2u, view->positions().count());
    EXPECT_EQ(view->position().attribute(), view->positions().get_item(0)->attribute());
    GeoCoordinates point;
    view->positions().get_item_by_context("entrance")->get_coordinates(point);
    EXPECT_EQ(GeoCoordinates(65.25, 25.5), point);
  }
}

TEST_F(LocationObjectTest, MembersAndListsShareTheObjectsAttributes) {
  SharedPointer<Object> object(new Object("location"));
  for (const char* name : {"position", "address", "position.entrance"}) {
    const std::string class_name = std::string(name).substr(0, std::string(name).find('.'));
    object->get_attributes().push_back(SharedPointer<Attribute>(new Attribute(name, class_name)));
  }
  LocationObject place;
  place.attach(object);
  const orva::keldra::AttributeList& attributes = object->get_attributes();
  EXPECT_EQ(attributes[0], place.position().attribute());
  ASSERT_EQ(2u, place.positions().count());
  EXPECT_EQ(attributes[0], place.positions().get_item(0)->attribute());
  EXPECT_EQ(attributes[2], place.positions().get_item(1)->attribute());
  EXPECT_EQ(attributes[1], place.address().attribute());
  ASSERT_EQ(1u, place.addresses().count());
  EXPECT_EQ(attributes[1], place.addresses().get_item(0)->attribute());
  EXPECT_FALSE(place.contact().is_safe());
  EXPECT_FALSE(place.bounding_box().is_safe());

  place.reset();
  EXPECT_FALSE(place.position().is_safe());
  EXPECT_EQ(0u, place.addresses().count());
}

// Item names are cut to 64 bytes when stored: a context long enough to be cut must
// still find its item again, so that writing it twice rewrites one item.
TEST_F(LocationObjectTest, LongContextsFindTheItemTheyWrote) {
  struct Case {
    const char* what;
    std::string context;
  };
  const Case cases[] = {
      {"short", "work"},
      {"address name of exactly 64 bytes", std::string(56, 'a')},
      {"position name of exactly 64 bytes", std::string(55, 'p')},
      {"one byte over", std::string(57, 'b')},
      {"far over", std::string(200, 'c')},
      // Two-byte letters across the cut: the stored name ends before the letter.
      {"letters across the cut", std::string(55, 'd') + "\xc3\xa4\xc3\xa4\xc3\xa4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LocationObject place;
    for (const char* city : {"Oulu", "Raahe"}) {
      Address address;
      ASSERT_EQ(0, address.set_address_field(Address::CITY, ustring(city)));
      ASSERT_EQ(0, place.addresses().set_item_by_context(address, c.context));
      Position position;
      ASSERT_EQ(0, position.set_coordinates(GeoCoordinates(city[0] == 'O' ? 65.0 : 64.5, 25.0)));
      ASSERT_EQ(0, place.positions().set_item_by_context(position, c.context));
    }
    ASSERT_EQ(2u, place.object()->get_attributes().size());
    EXPECT_EQ(1u, place.addresses().count());
    EXPECT_EQ(1u, place.positions().count());
    for (unsigned int i = 0; i < 2; ++i) {
      EXPECT_LE(place.object()->get_attributes()[i]->get_name().size(), 64u);
    }

    SharedPointer<Address> address = place.addresses().get_item_by_context(c.context);
    ASSERT_TRUE(address.is_valid());
    ustring city;
    EXPECT_TRUE(address->get_address_field(Address::CITY, city));
    EXPECT_EQ(ustring("Raahe"), city);
    SharedPointer<Position> position = place.positions().get_item_by_context(c.context);
    ASSERT_TRUE(position.is_valid());
    GeoCoordinates point;
    position->get_coordinates(point);
    EXPECT_EQ(GeoCoordinates(64.5, 25.0), point);
    // The main items are not mistaken for them.
    EXPECT_FALSE(place.addresses().get_item_by_context("").is_valid());
    EXPECT_FALSE(place.positions().get_item_by_context("").is_valid());
  }
}

TEST_F(LocationObjectTest, LocationThatIsNotValidWritesNothing) {
  Location nowhere = cathedral();
  nowhere.set_coordinates(GeoCoordinates());
  LocationObject place;
  EXPECT_EQ(ORVA_ERROR_INVALID_PARAMETERS, place.set_location(nowhere));
  EXPECT_FALSE(place.is_safe());

  ASSERT_TRUE(place.init());
  EXPECT_EQ(ORVA_ERROR_INVALID_PARAMETERS, place.set_location(nowhere));
  EXPECT_EQ(0u, place.object()->get_attributes().size());
}

TEST_F(LocationObjectTest, SettingALocationTouchesOnlyPositionAddressAndContact) {
  LocationObject place;
  ASSERT_EQ(0, place.bounding_box().set_rect(orva::GeoRect(0, 1, 0, 1)));
  ASSERT_EQ(0, place.properties().set_radius(5.0f));
  ASSERT_EQ(0, place.set_location(cathedral()));
  EXPECT_EQ(orva::GeoRect(0, 1, 0, 1), place.bounding_box().get_rect());
  EXPECT_EQ(5.0f, place.properties().get_radius());
  EXPECT_FALSE(place.categories().is_safe());
}

// A location that carries no phone number or web address (as most positioning fixes
// do) must not wipe the ones stored with the place.
TEST_F(LocationObjectTest, LocationWithoutPhoneOrWebKeepsTheStoredOnes) {
  LocationObject place;
  ASSERT_EQ(0, place.set_location(cathedral()));
  Location fix = location_at(65.0, 25.0, 3);
  fix.get_info().set(LocationInfo::CITY, ustring("Kempele"));
  ASSERT_EQ(0, place.set_location(fix));

  Location back;
  EXPECT_TRUE(place.get_location(back));
  EXPECT_EQ(GeoCoordinates(65.0, 25.0, 3), back.get_coordinates());
  EXPECT_EQ(ustring("+358 8 3161 400"), back.get_info().get(LocationInfo::PHONE_NUMBER));
  EXPECT_EQ(ustring("http://example.org/"), back.get_info().get(LocationInfo::WEB_ADDRESS));
  EXPECT_EQ(ustring("Kempele"), back.get_info().get(LocationInfo::CITY));
  EXPECT_EQ(ustring("Kirkkokatu"), back.get_info().get(LocationInfo::STREET));
}

TEST_F(LocationObjectTest, PlaceWithoutPhoneReportsFalseButReadsTheRest) {
  LocationObject place;
  Location where = location_at(10, 20, 30);
  where.get_info().set(LocationInfo::STREET, ustring("Isokatu"));
  ASSERT_EQ(0, place.set_location(where));
  Location back;
  EXPECT_FALSE(place.get_location(back));
  EXPECT_EQ(GeoCoordinates(10, 20, 30), back.get_coordinates());
  EXPECT_EQ(ustring("Isokatu"), back.get_info().get(LocationInfo::STREET));
  EXPECT_TRUE(back.get_info().has(LocationInfo::PHONE_NUMBER));
  EXPECT_EQ(ustring(), back.get_info().get(LocationInfo::PHONE_NUMBER));
}

// Binding to stored data and reading it through every member changes nothing, also
// for attributes that hold no field, child or link list at all.
TEST_F(LocationObjectTest, ReadingAStoredPlaceMarksNothing) {
  const auto read_all = [](const LocationObject& place) {
    Location location;
    place.get_location(location);
    ustring text;
    for (int part = 1; part <= 18; ++part) {
      place.address().get_address_field(static_cast<Address::Field>(part), text);
    }
    for (int entry = 1; entry <= 6; ++entry) {
      place.contact().get_field_value(static_cast<Contact::Field>(entry), text);
      place.contact().get_field_description(static_cast<Contact::Field>(entry), text);
    }
    place.metadata().get_name(text, ustring());
    place.contact().metadata().get_name(text, ustring());
    place.address().metadata().get_name(text, ustring());
    std::vector<std::string> categories;
    place.categories().get_global_categories(categories);
    std::string quad;
    place.categories().get_quad_categories(quad);
    place.properties().get_radius();
    place.bounding_box().get_rect();
    place.bounding_box().get_min_altitude();
    place.bounding_box().get_datum();
    place.addresses().get_item_by_context("work");
    place.positions().get_item_by_context("");
  };

  SharedPointer<Object> bare(new Object("location"));
  const std::pair<const char*, const char*> children[] = {
      {"position", "position"},
      {"address", "address"},
      {"contact", "contact"},
      {"categories", "location_categories"},
      {"properties", "location_properties"},
      {"meta", "metadata"},
      {"bounding_box", "box"},
  };
  for (const auto& child : children) {
    bare->get_attributes().push_back(
        SharedPointer<Attribute>(new Attribute(child.first, child.second)));
  }

  LocationObject writer;
  ASSERT_EQ(0, writer.set_location(cathedral()));
  ASSERT_EQ(0, writer.bounding_box().extend(cathedral()));
  ASSERT_EQ(0, writer.categories().set_global_categories({"church"}));
  ASSERT_EQ(0, writer.properties().set_radius(40.0f));
  ASSERT_EQ(0, writer.contact().set_field_description(Contact::PHONE, ustring("office")));
  ASSERT_EQ(0, writer.metadata().set_name(ustring("Cathedral"), ustring("en")));

  SharedPointer<Object> empty(new Object("location"));
  for (const SharedPointer<Object>& object : {empty, bare, writer.object()}) {
    const std::string before = tree(object->get_attributes());
    object->set_modified(false);
    LocationObject place;
    place.attach(object);
    read_all(place);
    EXPECT_FALSE(object->is_modified());
    EXPECT_EQ(before, tree(object->get_attributes()));
  }
}

// Assigning a standalone view to a member rewrites the member's own attribute in
// place: same attribute, same role name, the source's content, child views following.
TEST_F(LocationObjectTest, AssigningToMembersRewritesTheirAttributesInPlace) {
  LocationObject place;
  ASSERT_EQ(0, place.set_location(cathedral()));
  ASSERT_EQ(0, place.bounding_box().set_rect(orva::GeoRect(0, 1, 0, 1)));
  ASSERT_EQ(0, place.categories().set_global_categories({"church"}));
  ASSERT_EQ(0, place.properties().set_radius(5.0f));
  ASSERT_EQ(0, place.contact().set_field_description(Contact::SIP, ustring("old")));
  const SharedPointer<Attribute> address = place.address().attribute();
  const SharedPointer<Attribute> contact = place.contact().attribute();
  const SharedPointer<Attribute> position = place.position().attribute();
  const SharedPointer<Attribute> box = place.bounding_box().attribute();

  Address new_address;
  ASSERT_EQ(0, new_address.set_address_field(Address::STREET, ustring("Isokatu")));
  place.address() = new_address;
  Contact new_contact;
  ASSERT_EQ(0, new_contact.set_field_value(Contact::EMAIL, ustring("a@b.c")));
  place.contact() = new_contact;
  Position new_position;
  ASSERT_EQ(0, new_position.set_coordinates(GeoCoordinates(1.0, 2.0)));
  place.position() = new_position;
  orva::keldra::BoundingBox new_box;
  ASSERT_EQ(0, new_box.set_max_altitude(7.0f));
  place.bounding_box() = new_box;
  orva::keldra::LocationCategories new_categories;
  ASSERT_EQ(0, new_categories.set_quad_categories("q"));
  place.categories() = new_categories;
  orva::keldra::LocationProperties new_properties;
  ASSERT_EQ(0, new_properties.set_radius(9.0f));
  place.properties() = new_properties;

  EXPECT_EQ(address, place.address().attribute());
  EXPECT_EQ(contact, place.contact().attribute());
  EXPECT_EQ(position, place.position().attribute());
  EXPECT_EQ(box, place.bounding_box().attribute());
  EXPECT_EQ(
      "position:position(latitude=1,longitude=2) address:address(street=Isokatu) "
      "contact:contact[email:contact_field(value=a@b.c)] bounding_box:box(maxalt=7) "
      "categories:location_categories(quad_categories=q) "
      "properties:location_properties(radius=9)",
      tree(place.object()->get_attributes()));

  // The members' children follow the new content; writing through them reaches the
  // place, not the standalone sources.
  ustring text;
  EXPECT_FALSE(place.contact().get_field_description(Contact::SIP, text));
  EXPECT_TRUE(place.contact().get_field_value(Contact::EMAIL, text));
  ASSERT_EQ(0, place.contact().set_field_value(Contact::EMAIL, ustring("x@y.z")));
  EXPECT_TRUE(new_contact.get_field_value(Contact::EMAIL, text));
  EXPECT_EQ(ustring("a@b.c"), text);
  EXPECT_EQ(":contact[email:contact_field(value=a@b.c)]", tree(*new_contact.attribute()));
  EXPECT_EQ("contact:contact[email:contact_field(value=x@y.z)]", tree(*contact));
}

TEST_F(LocationObjectTest, UnboundPlaceReadsDefaultCoordinatesAndEmptyContactTexts) {
  const LocationObject place;
  Location back = cathedral();
  EXPECT_FALSE(place.get_location(back));
  EXPECT_FALSE(back.get_coordinates().is_valid());
  EXPECT_EQ(ustring(), back.get_info().get(LocationInfo::PHONE_NUMBER));
  EXPECT_EQ(ustring(), back.get_info().get(LocationInfo::WEB_ADDRESS));
  // Address keys the place does not hold keep what the location held.
  EXPECT_EQ(ustring("Oulu"), back.get_info().get(LocationInfo::CITY));
  EXPECT_FALSE(place.is_safe());
}

TEST_F(LocationObjectTest, CopyAndAssignmentKeepTheirOwnObjects) {
  LocationObject place;
  ASSERT_EQ(0, place.set_location(cathedral()));
  place.object()->set_name("cathedral");

  LocationObject target;
  ASSERT_EQ(0, target.properties().set_radius(1.0f));
  SharedPointer<Object> own = target.object();
  target = place;
  EXPECT_EQ(own, target.object());
  EXPECT_EQ("location", target.object()->get_class_name());
  EXPECT_EQ("cathedral", target.get_name());
  EXPECT_TRUE(std::isnan(target.properties().get_radius()));
  EXPECT_EQ(tree(place.object()->get_attributes()), tree(target.object()->get_attributes()));
  EXPECT_NE(place.address().attribute(), target.address().attribute());
  EXPECT_TRUE(target.address().is_safe());

  // Writing through the copy leaves the source alone.
  ASSERT_EQ(0, target.address().set_address_field(Address::CITY, ustring("Raahe")));
  ustring city;
  place.address().get_address_field(Address::CITY, city);
  EXPECT_EQ(ustring("Oulu"), city);

  LocationObject unbound;
  LocationObject copy_of_unbound(unbound);
  EXPECT_FALSE(copy_of_unbound.is_safe());
}

}  // namespace
}  // namespace keldra_test
