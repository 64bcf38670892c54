// Addresses: parts by number, the exchange with LocationInfo, and address lists by
// context.
#include "support/PlaceFixture.h"
#include "support/LogCapture.h"

#include <keldra/Address.h>
#include <keldra/AddressArray.h>
#include <keldra/Object.h>
#include <keldra/ObjectHandle.h>

#include <tervo/LocationInfo.h>

#include <functional>
#include <memory>

namespace keldra_test {
namespace {

using orva::LocationInfo;
using orva::SharedPointer;
using orva::ustring;
using orva::keldra::Address;
using orva::keldra::AddressArray;
using orva::keldra::AddressItemNameCompare;
using orva::keldra::Attribute;
using orva::keldra::Object;
using orva::keldra::StringPool;

Address::Field part(int number) { return static_cast<Address::Field>(number); }

// A root view of class "holder" owning the list of all its addresses.
class Holder : public orva::keldra::ObjectHandle {
 public:
  Holder() : m_class(StringPool::insert("holder")) {
    m_addresses.set_items_name();
    m_addresses.set_parent(this);
  }
  const StringPool::StringHandle& get_class_name_handle() const override { return m_class; }
  void attach_child_handles() override {
    ObjectHandle::attach_child_handles();
    m_addresses.attach();
  }
  AddressArray& addresses() { return m_addresses; }

 private:
  StringPool::StringHandle m_class;
  AddressArray m_addresses;
};

using AddressTest = PlaceTest;

// Every part number and its field name.
TEST_F(AddressTest, PartsAreStoredUnderTheirFieldNames) {
  const char* const names[] = {"country",       "country_code",  "state",
                               "county_or_province", "city",     "district",
                               "postal_code",   "neighborhood",  "street",
                               "street_number", "extension",     "crossing1",
                               "crossing2",     "building_name", "floor",
                               "zone",          "room",          "room_name"};
  for (int number = 1; number <= 18; ++number) {
    SCOPED_TRACE(number);
    Address address;
    ASSERT_EQ(0, address.set_address_field(part(number), ustring("v")));
    EXPECT_EQ(std::string(":address(") + names[number - 1] + "=v)", tree(*address.attribute()));
    ustring out;
    EXPECT_TRUE(address.get_address_field(part(number), out));
    EXPECT_EQ(ustring("v"), out);
  }
}

TEST_F(AddressTest, PartNumbersOutsideTheRangeAreRefused) {
  Address address;
  for (int number : {0, 19, -1, 1000}) {
    SCOPED_TRACE(number);
    EXPECT_EQ(ORVA_ERROR_INVALID_PARAMETERS, address.set_address_field(part(number), ustring("x")));
    EXPECT_FALSE(address.is_safe());
  }
  ASSERT_EQ(0, address.set_address_field(Address::CITY, ustring("Oulu")));
  ustring out("old");
  EXPECT_FALSE(address.get_address_field(part(19), out));
  EXPECT_EQ(ustring(), out);
}

TEST_F(AddressTest, MissingPartsReadAsAbsentAndEmptyTextsAreKept) {
  Address address;
  ustring out("old");
  EXPECT_FALSE(address.get_address_field(Address::CITY, out));
  EXPECT_EQ(ustring(), out);
  EXPECT_FALSE(address.is_safe());

  ASSERT_EQ(0, address.set_address_field(Address::STREET, ustring()));
  EXPECT_FALSE(address.get_address_field(Address::CITY, out));
  out = "old";
  EXPECT_TRUE(address.get_address_field(Address::STREET, out));
  EXPECT_EQ(ustring(), out);
}

TEST_F(AddressTest, MetadataIsTheMetaChild) {
  Address address;
  ASSERT_EQ(0, address.metadata().set_name(ustring("Home"), ustring()));
  ASSERT_EQ(0, address.set_address_field(Address::CITY, ustring("Oulu")));
  EXPECT_EQ(":address(city=Oulu)[meta:metadata[name:text(text=Home)]]", tree(*address.attribute()));

  Address copy(address);
  ustring name;
  EXPECT_TRUE(copy.metadata().get_name(name, ustring()));
  EXPECT_EQ(ustring("Home"), name);
  EXPECT_NE(address.attribute(), copy.attribute());
}

// The exchanged parts and their keys; zone and room cross over.
struct InfoCase {
  Address::Field part;
  LocationInfo::Field key;
  int key_number;
};

const InfoCase kInfoCases[] = {
    {Address::COUNTRY_CODE, LocationInfo::COUNTRY_CODE, 0},
    {Address::COUNTY_OR_PROVINCE, LocationInfo::COUNTY, 5},
    {Address::CITY, LocationInfo::CITY, 6},
    {Address::DISTRICT, LocationInfo::DISTRICT, 7},
    {Address::POSTAL_CODE, LocationInfo::POSTAL_CODE, 8},
    {Address::NEIGHBORHOOD, LocationInfo::NEIGHBORHOOD, 10},
    {Address::STREET, LocationInfo::STREET, 11},
    {Address::STREET_NUMBER, LocationInfo::STREET_NUMBER, 12},
    {Address::BUILDING_NAME, LocationInfo::BUILDING_NAME, 16},
    {Address::FLOOR, LocationInfo::FLOOR, 17},
    {Address::ZONE, LocationInfo::ZONE, 19},
    {Address::ROOM, LocationInfo::ROOM, 18},
};

TEST_F(AddressTest, EachExchangedPartPairsWithItsKeyBothWays) {
  for (const InfoCase& c : kInfoCases) {
    SCOPED_TRACE(c.part);
    ASSERT_EQ(c.key_number, static_cast<int>(c.key));

    Address address;
    ASSERT_EQ(0, address.set_address_field(c.part, ustring("text")));
    LocationInfo info;
    address.get_location_info(info);
    LocationInfo expected;
    expected.set(c.key, ustring("text"));
    EXPECT_TRUE(info == expected) << "only the part's key is set";

    Address written;
    ASSERT_EQ(0, written.set_location_info(expected));
    ustring out;
    for (int number = 1; number <= 18; ++number) {
      EXPECT_EQ(number == c.part, written.get_address_field(part(number), out)) << number;
    }
    written.get_address_field(c.part, out);
    EXPECT_EQ(ustring("text"), out);
  }
}

TEST_F(AddressTest, PartsOutsideTheExchangeNeverReachTheInfo) {
  Address address;
  for (Address::Field p : {Address::COUNTRY, Address::STATE, Address::EXTENSION,
                           Address::CROSSING1, Address::CROSSING2, Address::ROOM_NAME}) {
    ASSERT_EQ(0, address.set_address_field(p, ustring("x")));
  }
  LocationInfo info;
  info.set(LocationInfo::STREET, ustring("kept"));
  address.get_location_info(info);
  LocationInfo expected;
  expected.set(LocationInfo::STREET, ustring("kept"));
  EXPECT_TRUE(info == expected);
}

TEST_F(AddressTest, WritingInfoTouchesOnlyTheKeysItHolds) {
  Address address;
  ASSERT_EQ(0, address.set_address_field(Address::COUNTRY, ustring("Finland")));
  ASSERT_EQ(0, address.set_address_field(Address::STREET, ustring("Kauppurienkatu")));
  ASSERT_EQ(0, address.set_address_field(Address::CITY, ustring("Old")));
  LocationInfo info;
  info.set(LocationInfo::CITY, ustring("Oulu"));
  info.set(LocationInfo::ZONE, ustring("B"));
  EXPECT_EQ(0, address.set_location_info(info));
  EXPECT_EQ(":address(country=Finland,street=Kauppurienkatu,city=Oulu,zone=B)",
            tree(*address.attribute()));
}

TEST_F(AddressTest, ChildAddressThatCannotBeCreatedFailsTheExchange) {
  Address parent;
  Address orphan;
  orphan.set_parent(&parent);  // a parent that knows no such child
  LocationInfo info;
  info.set(LocationInfo::CITY, ustring("Oulu"));
  EXPECT_EQ(ORVA_ERROR_OUT_OF_MEMORY, orphan.set_location_info(info));
  EXPECT_EQ(ORVA_ERROR_OUT_OF_MEMORY, orphan.set_address_field(Address::CITY, ustring("x")));
}

TEST_F(AddressTest, ItemNamesByContext) {
  AddressArray addresses;
  EXPECT_EQ("address", addresses.item_name_by_context(""));
  EXPECT_EQ("address.work", addresses.item_name_by_context("work"));
  EXPECT_EQ("address.a.b", addresses.item_name_by_context("a.b"));
}

TEST_F(AddressTest, ItemsByContextAreAppendedOnceAndThenRewritten) {
  Holder holder;
  ASSERT_TRUE(holder.init());
  SharedPointer<Attribute> other(new Attribute("position", "position"));
  holder.object()->get_attributes().push_back(other);

  Address work;
  ASSERT_EQ(0, work.set_address_field(Address::CITY, ustring("Oulu")));
  ASSERT_EQ(0, holder.addresses().set_item_by_context(work, "work"));
  EXPECT_EQ("position:position address.work:address(city=Oulu)",
            tree(holder.object()->get_attributes()));
  SharedPointer<Attribute> stored = holder.object()->get_attributes()[1];

  Address moved;
  ASSERT_EQ(0, moved.set_address_field(Address::STREET, ustring("Isokatu")));
  ASSERT_EQ(0, holder.addresses().set_item_by_context(moved, "work"));
  EXPECT_EQ("position:position address.work:address(street=Isokatu)",
            tree(holder.object()->get_attributes()));
  EXPECT_EQ(stored, holder.object()->get_attributes()[1]);
  EXPECT_EQ(1u, holder.addresses().count());

  SharedPointer<Address> found = holder.addresses().get_item_by_context("work");
  ASSERT_TRUE(found.is_valid());
  EXPECT_EQ(stored, found->attribute());
  EXPECT_FALSE(holder.addresses().get_item_by_context("home").is_valid());
  EXPECT_FALSE(holder.addresses().get_item_by_context("").is_valid());

  // The item itself as the source would lose its own content.
  EXPECT_EQ(ORVA_ERROR_INVALID_PARAMETERS, holder.addresses().set_item_by_context(*found, "work"));
}

// A list whose parent cannot be created makes no item and reports 2.
TEST_F(AddressTest, ItemByContextWithoutAParentThatCanBeCreatedFails) {
  Address grandparent;
  Address parent;
  parent.set_parent(&grandparent);  // knows no such child: never created
  AddressArray addresses;
  addresses.set_items_name();
  addresses.set_parent(&parent);
  Address work;
  ASSERT_EQ(0, work.set_address_field(Address::CITY, ustring("Oulu")));
  EXPECT_EQ(ORVA_ERROR_OUT_OF_MEMORY, addresses.set_item_by_context(work, "work"));
  EXPECT_EQ(0u, addresses.count());
  EXPECT_FALSE(parent.is_safe());
}

// An item view that leaves its list lives on with the caller, and may outlive the
// view that owned the list: it must then act as a root view, never reach back into
// the destroyed owner.
TEST_F(AddressTest, ItemViewsThatLeaveTheListOutliveItsOwner) {
  struct Case {
    const char* what;
    std::function<void(AddressArray&)> drop;
  };
  const Case cases[] = {
      {"removed", [](AddressArray& list) { list.remove_item(0); }},
      {"removed with the rest", [](AddressArray& list) { list.remove_items(0, 1); }},
      {"all removed", [](AddressArray& list) { list.remove_all(); }},
      {"views rebuilt", [](AddressArray& list) { list.attach(); }},
      {"replaced", [](AddressArray& list) { list.set_item(0, *list.get_item(1)); }},
      {"list kept", [](AddressArray&) {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SharedPointer<Address> kept;
    {
      std::unique_ptr<Holder> holder(new Holder);
      kept = holder->addresses().add_item();
      ASSERT_TRUE(kept.is_valid());
      ASSERT_TRUE(holder->addresses().add_item().is_valid());
      c.drop(holder->addresses());
    }
    kept->reset();
    ASSERT_EQ(0, kept->set_address_field(Address::CITY, ustring("Oulu")));
    EXPECT_EQ(":address(city=Oulu)", tree(*kept->attribute()));
  }
}

TEST_F(AddressTest, EmptyContextFindsTheFirstMainAddress) {
  SharedPointer<Object> object(new Object("holder"));
  for (const char* name : {"address.home", "address", "address"}) {
    object->get_attributes().push_back(SharedPointer<Attribute>(new Attribute(name, "address")));
  }
  Holder holder;
  holder.attach(object);
  ASSERT_EQ(3u, holder.addresses().count());
  SharedPointer<Address> main = holder.addresses().get_item_by_context("");
  ASSERT_TRUE(main.is_valid());
  EXPECT_EQ(object->get_attributes()[1], main->attribute());
}

TEST_F(AddressTest, NameCompareMatchesWholeNamesAndLogsAtTrace) {
  Address named;
  ASSERT_TRUE(named.init());
  named.attribute()->set_name("address.home");
  const std::string wanted = "address.home";
  const std::string prefix = "address";
  SharedPointer<Address> item(new Address(named));
  {
    LogCapture log;
    EXPECT_TRUE(AddressItemNameCompare(wanted)(item));
    EXPECT_FALSE(AddressItemNameCompare(prefix)(item));
    EXPECT_FALSE(AddressItemNameCompare(wanted)(SharedPointer<Address>()));
    EXPECT_EQ(1u, log.count_exact(
                      "AddressItemNameCompare, m_name: address.home, name: address.home"));
    EXPECT_EQ(1u, log.count_exact("AddressItemNameCompare, m_name: address, name: address.home"));
  }
}

}  // namespace
}  // namespace keldra_test
