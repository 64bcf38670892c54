// The mapping system object: creation with the reserved identity, pairs added once
// per id, found among links of other names, removed one by one, by another mapping
// (itself included) and when incomplete.
#include "support/PlaceFixture.h"

#include "objects/MappingObject.h"

#include <keldra/Link.h>
#include <keldra/LinkList.h>
#include <keldra/Object.h>
#include <keldra/ObjectBase.h>

#include <string>
#include <vector>

namespace keldra_test {
namespace {

using orva::SharedPointer;
using orva::keldra::Link;
using orva::keldra::LinkList;
using orva::keldra::Object;
using orva::keldra::ObjectBase;
using orva::keldra::internal::MappingObject;

struct Pair {
  const char* name;
  unsigned int local;
  unsigned long long global;
};

Link link(const Pair& pair) {
  Link out(pair.local);
  out.set_global_link(pair.global);
  if (*pair.name) out.set_name(std::string(pair.name));
  return out;
}

// A mapping view over a stored mapping object holding the links |pairs|.
MappingObject stored_mapping(const std::vector<Pair>& pairs) {
  SharedPointer<Object> object(new Object("sys_mapping"));
  for (const Pair& pair : pairs) object->get_links().push_back(link(pair));
  MappingObject mapping;
  mapping.attach(object);
  return mapping;
}

// The links as "name local/global", e.g. "map 5/0 other 3/0".
std::string links(const Object& object) {
  std::string out;
  for (const Link& item : object.get_links()) {
    if (!out.empty()) out += " ";
    out += item.get_name() + " " + std::to_string(item.get_local_link()) + "/" +
           std::to_string(item.get_global_link());
  }
  return out;
}
std::string links(const MappingObject& mapping) { return links(*mapping.object()); }

using MappingObjectTest = PlaceTest;

TEST_F(MappingObjectTest, InitCreatesTheReservedObjectOnce) {
  MappingObject mapping;
  EXPECT_FALSE(mapping.is_safe());
  ASSERT_TRUE(mapping.init());
  const Object& object = *mapping.object();
  EXPECT_EQ("sys_mapping", object.get_class_name());
  EXPECT_EQ("sys.keldra.mapping", object.get_name());
  EXPECT_EQ(0x7FFFFFFDu, object.get_local_id());
  EXPECT_EQ(997u, object.get_global_id());
  EXPECT_TRUE(object.is_no_sync());
  EXPECT_TRUE(object.is_system());
  EXPECT_EQ(0u, object.get_attributes().size());
  EXPECT_TRUE(object.get_links().empty());

  mapping.object()->set_modified(false);
  ASSERT_TRUE(mapping.init());
  EXPECT_EQ(&object, mapping.object().get());
  EXPECT_FALSE(object.is_modified());

  // A stored mapping keeps what it has.
  MappingObject stored = stored_mapping({{"map", 1, 10}});
  stored.object()->set_local_id(44);
  ASSERT_TRUE(stored.init());
  EXPECT_EQ(44u, stored.get_local_id());
  EXPECT_EQ("", stored.get_name());
}

TEST_F(MappingObjectTest, PairsAreAddedOncePerId) {
  MappingObject mapping;
  ASSERT_EQ(0, mapping.add_map(5, 0));
  ASSERT_TRUE(mapping.is_safe());
  EXPECT_EQ(997u, mapping.object()->get_global_id());
  EXPECT_EQ("map 5/0", links(mapping));

  // A pair that shares either id is left as it is.
  EXPECT_EQ(0, mapping.add_map(5, 100));
  EXPECT_EQ(0, mapping.add_map(ObjectBase(6, 0)));
  EXPECT_EQ(0, mapping.add_map(ObjectBase(7, 100)));
  EXPECT_EQ(0, mapping.add_map(8, 100));
  EXPECT_EQ("map 5/0 map 6/0 map 7/100", links(mapping));

  // Pairs without ids never match, so each is added.
  EXPECT_EQ(0, mapping.add_map(0, 0));
  EXPECT_EQ(0, mapping.add_map(0, 0));
  EXPECT_EQ("map 5/0 map 6/0 map 7/100 map 0/0 map 0/0", links(mapping));
  EXPECT_TRUE(mapping.object()->get_links().is_modified());

  mapping.remove_empty_maps();
  EXPECT_EQ("map 7/100", links(mapping));
}

// Links of other names are passed over, also when they share the id.
TEST_F(MappingObjectTest, FindMapLooksAtMapLinksOnly) {
  MappingObject mapping = stored_mapping({{"other", 3, 0}, {"map", 3, 30}, {"", 4, 40}});
  struct Case {
    Pair wanted;
    int index;
  };
  const Case cases[] = {
      {{"", 3, 0}, 1},   {{"other", 0, 30}, 1}, {{"", 3, 99}, 1}, {{"", 99, 30}, 1},
      {{"", 4, 40}, -1}, {{"map", 0, 0}, -1},   {{"", 9, 9}, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.wanted.local) + "/" + std::to_string(c.wanted.global));
    EXPECT_EQ(c.index, mapping.find_map(link(c.wanted)));
  }
}

TEST_F(MappingObjectTest, RemoveMapRemovesTheFoundPair) {
  MappingObject mapping = stored_mapping({{"map", 3, 30}, {"map", 4, 40}});
  mapping.object()->set_modified(false);
  EXPECT_TRUE(mapping.remove_map(link({"", 0, 40})));
  EXPECT_EQ("map 3/30", links(mapping));
  EXPECT_TRUE(mapping.object()->get_links().is_modified());
  EXPECT_FALSE(mapping.remove_map(link({"", 0, 40})));
  EXPECT_EQ("map 3/30", links(mapping));
}

TEST_F(MappingObjectTest, RemoveMapsReportsTheLastRemoval) {
  MappingObject mapping = stored_mapping({{"map", 1, 10}, {"map", 2, 20}, {"map", 3, 30}});

  // Every link of the other counts, whatever its name; the last one matches nothing.
  MappingObject sent = stored_mapping({{"map", 1, 0}, {"sent", 0, 30}, {"map", 9, 90}});
  EXPECT_FALSE(mapping.remove_maps(sent));
  EXPECT_EQ("map 2/20", links(mapping));

  EXPECT_TRUE(mapping.remove_maps(stored_mapping({{"map", 0, 20}})));
  EXPECT_EQ("", links(mapping));

  MappingObject full = stored_mapping({{"map", 1, 10}});
  EXPECT_FALSE(full.remove_maps(MappingObject()));
  EXPECT_FALSE(full.remove_maps(stored_mapping({})));
  EXPECT_EQ("map 1/10", links(full));
}

// A mapping given itself, or another view over its own object, loses every pair
// that its links name; links of other names stay.
TEST_F(MappingObjectTest, RemoveMapsOfItselfEmptiesThePairs) {
  MappingObject mapping =
      stored_mapping({{"other", 3, 0}, {"map", 3, 30}, {"map", 4, 40}, {"map", 4, 41}});
  EXPECT_TRUE(mapping.remove_maps(mapping));
  EXPECT_EQ("other 3/0", links(mapping));

  MappingObject again = stored_mapping({{"map", 1, 10}, {"map", 2, 20}});
  MappingObject same_object;
  same_object.attach(again.object());
  EXPECT_TRUE(again.remove_maps(same_object));
  EXPECT_EQ("", links(again));
}

TEST_F(MappingObjectTest, EmptyMapsAreRemovedWhateverTheirName) {
  Object object("anything");
  for (const Pair& pair : std::vector<Pair>{{"map", 0, 0},
                                            {"map", 1, 10},
                                            {"other", 2, 0},
                                            {"", 0, 30},
                                            {"other", 4, 40},
                                            {"map", 5, 0}}) {
    object.get_links().push_back(link(pair));
  }
  MappingObject::remove_empty_maps(object);
  EXPECT_EQ("map 1/10 other 4/40", links(object));

  // Nothing to remove: an object without links gets no list.
  Object bare("anything");
  bare.set_modified(false);
  MappingObject::remove_empty_maps(bare);
  EXPECT_FALSE(bare.is_modified());
}

TEST_F(MappingObjectTest, GetMapsAppendsEveryLink) {
  MappingObject mapping = stored_mapping({{"map", 1, 10}, {"other", 2, 0}});
  std::vector<ObjectBase> identities{ObjectBase(7, 70)};
  mapping.get_maps(identities);
  ASSERT_EQ(3u, identities.size());
  EXPECT_EQ(7u, identities[0].get_local_id());
  EXPECT_EQ(1u, identities[1].get_local_id());
  EXPECT_EQ(10u, identities[1].get_global_id());
  EXPECT_EQ(2u, identities[2].get_local_id());
  EXPECT_EQ(0u, identities[2].get_global_id());
}

TEST_F(MappingObjectTest, UnboundViewFindsAndRemovesNothing) {
  MappingObject mapping;
  std::vector<ObjectBase> identities;
  EXPECT_EQ(-1, mapping.find_map(link({"map", 1, 10})));
  EXPECT_FALSE(mapping.remove_map(link({"map", 1, 10})));
  EXPECT_FALSE(mapping.remove_maps(stored_mapping({{"map", 1, 10}})));
  mapping.remove_empty_maps();
  mapping.get_maps(identities);
  EXPECT_TRUE(identities.empty());
  EXPECT_FALSE(mapping.is_safe());
}

TEST_F(MappingObjectTest, CopyIsAMappingOfItsOwn) {
  MappingObject source;
  ASSERT_EQ(0, source.add_map(1, 10));

  MappingObject copy(source);
  ASSERT_TRUE(copy.is_safe());
  EXPECT_NE(source.object().get(), copy.object().get());
  EXPECT_EQ("sys_mapping", copy.object()->get_class_name());
  EXPECT_EQ("sys.keldra.mapping", copy.get_name());
  EXPECT_EQ(997u, copy.object()->get_global_id());
  EXPECT_TRUE(copy.object()->is_no_sync());
  EXPECT_EQ("map 1/10", links(copy));

  ASSERT_EQ(0, copy.add_map(2, 20));
  EXPECT_EQ("map 1/10", links(source));

  MappingObject unbound;
  MappingObject unbound_copy(unbound);
  EXPECT_FALSE(unbound_copy.is_safe());
}

}  // namespace
}  // namespace keldra_test
