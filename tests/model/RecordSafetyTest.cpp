// Records come from the database file: corrupt ones must fail cleanly, without huge
// allocations, endless loops or unbounded recursion.
#include <keldra/Attribute.h>
#include <keldra/AttributeList.h>
#include <keldra/FieldList.h>
#include <keldra/LinkList.h>
#include <keldra/Object.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "ObjectTestSupport.h"

namespace {

using orva::keldra::Attribute;
using orva::keldra::AttributeList;
using orva::keldra::FieldList;
using orva::keldra::LinkList;
using orva::keldra::Object;
using objects_test::from_hex;
using objects_test::read_record;

class RecordSafetyTest : public objects_test::PoolTest {};

// The record of one chain of |depth| nested unnamed attributes, each with no fields
// and no links.
std::string nested_attribute_hex(int depth) {
  std::string hex;
  for (int level = 0; level < depth; ++level) {
    hex += "00000000" "00000000" "00000000";  // name, class, no fields
    hex += level + 1 < depth ? "01000000" : "00000000";  // one child, none at the bottom
  }
  for (int level = 0; level < depth; ++level) hex += "00000000";  // links of each level
  return hex;
}

// Reads |hex| into a new T.
template <class T>
bool read_as(const std::string& hex) {
  T item;
  return read_record(item, hex);
}

TEST_F(RecordSafetyTest, CountsBeyondTheRecordFailWithoutReading) {
  const std::string huge = "FFFFFFFF";
  struct Case {
    const char* what;
    std::function<bool(const std::string&)> read;
    std::string hex;
  } cases[] = {
      {"field list", read_as<FieldList>, huge + "00000000" "01" "01000000"},
      {"link list", read_as<LinkList>, huge + "00000000" "0100000000000000" "00"},
      {"attribute list", read_as<AttributeList>, huge + nested_attribute_hex(1)},
      // Ten links announced, room for one.
      {"link list of ten", read_as<LinkList>,
       "0A000000" "00000000" "01000000" "0000000000000000"},
      {"attribute with huge field count", read_as<Attribute>,
       "00000000" "00000000" + huge},
      {"attribute with huge child count", read_as<Attribute>,
       "00000000" "00000000" "00000000" + huge},
      {"object with huge attribute count", read_as<Object>,
       std::string(2 * 44, '0') + huge},
      {"object with huge link count", read_as<Object>,
       std::string(2 * 48, '0') + huge},
      {"text field longer than the record", read_as<FieldList>,
       "01000000" "00000000" "08" "FFFFFFF0" "4100"},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(c.read(c.hex)) << c.what;
  }
}

TEST_F(RecordSafetyTest, ListReadsStopAtTheFirstBadElement) {
  // Three fields announced; the second announces a name longer than what is left.
  FieldList fields;
  EXPECT_FALSE(read_record(fields, "03000000" "00000000" "01" "07000000"
                                   "7F000000" "6E" "01" "08000000"
                                   "00000000" "01" "09000000"));
  ASSERT_EQ(1u, fields.size());
  int value = 0;
  fields[0].get_value(value);
  EXPECT_EQ(7, value);
  EXPECT_TRUE(fields.is_modified());

  LinkList links;
  EXPECT_FALSE(read_record(links, "02000000" "00000000" "05000000" "0000000000000000"
                                  "09000000" "6E" "00000000" "0000000000000000"));
  ASSERT_EQ(1u, links.size());
  EXPECT_EQ(5u, links[0].get_local_link());

  // A bad attribute ends the list; the good one before it is kept.
  AttributeList attributes;
  EXPECT_FALSE(read_record(attributes, "02000000" + nested_attribute_hex(1) +
                                           "00000000" "00000000" "FFFFFFFF" "00000000"
                                           "00000000"));
  EXPECT_EQ(1u, attributes.size());
}

TEST_F(RecordSafetyTest, AttributeNestingIsLimited) {
  struct Case {
    int depth;
    bool ok;
  } cases[] = {{1, true}, {64, true}, {65, false}, {5000, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.depth);
    Attribute attribute;
    EXPECT_EQ(c.ok, read_record(attribute, nested_attribute_hex(c.depth)));
    AttributeList list;
    EXPECT_EQ(c.ok, read_record(list, "01000000" + nested_attribute_hex(c.depth)));
  }
  // An object's tree counts from its top-level attributes.
  Object deep;
  const std::string header = std::string(2 * 44, '0');
  EXPECT_TRUE(read_record(deep, header + "01000000" + nested_attribute_hex(64) + "00000000"));
  EXPECT_FALSE(read_record(deep, header + "01000000" + nested_attribute_hex(65) + "00000000"));
}

TEST_F(RecordSafetyTest, DeepButLegalTreeRoundTrips) {
  Attribute deep;
  ASSERT_TRUE(read_record(deep, nested_attribute_hex(64)));
  EXPECT_EQ(nested_attribute_hex(64), objects_test::record_hex(deep));
}

}  // namespace
