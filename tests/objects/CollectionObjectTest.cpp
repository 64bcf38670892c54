// Collections: members as links without duplicates, on writing and on binding.
#include "support/PlaceFixture.h"

#include <keldra/CollectionObject.h>
#include <keldra/Link.h>
#include <keldra/LinkList.h>

#include <string>
#include <vector>

namespace keldra_test {
namespace {

using orva::SharedPointer;
using orva::keldra::Attribute;
using orva::keldra::CollectionObject;
using orva::keldra::Link;
using orva::keldra::LinkList;
using orva::keldra::Object;

struct Id {
  unsigned int local;
  unsigned long long global;
};

LinkList links(const std::vector<Id>& ids) {
  LinkList out;
  for (const Id& id : ids) {
    Link link(id.local);
    link.set_global_link(id.global);
    out.push_back(link);
  }
  return out;
}

// The links as "local/global" pairs, e.g. "5/0 7/9".
std::string ids(const LinkList& list) {
  std::string out;
  for (const Link& link : list) {
    if (!out.empty()) out += " ";
    out += std::to_string(link.get_local_link()) + "/" + std::to_string(link.get_global_link());
  }
  return out;
}

// A collection object whose "items" attribute holds the links |ids|.
SharedPointer<Object> stored_collection(const std::vector<Id>& ids) {
  SharedPointer<Object> object(new Object("collection"));
  SharedPointer<Attribute> items(new Attribute("items", "list"));
  items->get_links() = links(ids);
  object->get_attributes().push_back(items);
  return object;
}

const LinkList& members(const CollectionObject& collection) {
  return collection.object()->get_attributes()[0]->get_links();
}

using CollectionObjectTest = PlaceTest;

// set_items keeps the first of several similar links; remove_dup_links (binding)
// keeps the last.
TEST_F(CollectionObjectTest, SimilarLinksAreDroppedOnWritingAndOnBinding) {
  struct Case {
    std::vector<Id> input;
    const char* written;
    const char* bound;
  };
  const Case cases[] = {
      {{{5, 0}, {7, 0}, {5, 0}}, "5/0 7/0", "7/0 5/0"},
      {{{5, 0}, {5, 9}}, "5/0", "5/9"},
      {{{0, 9}, {3, 9}, {3, 0}}, "0/9 3/0", "3/0"},
      {{{0, 0}, {0, 0}, {1, 0}}, "0/0 0/0 1/0", "0/0 0/0 1/0"},
      {{{1, 0}, {2, 0}, {1, 0}, {2, 0}, {1, 0}}, "1/0 2/0", "2/0 1/0"},
      {{}, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ids(links(c.input)));
    CollectionObject written;
    ASSERT_EQ(0, written.set_items(links(c.input)));
    EXPECT_EQ(c.written, ids(members(written)));

    CollectionObject bound;
    bound.attach(stored_collection(c.input));
    EXPECT_EQ(c.bound, ids(members(bound)));
  }
}

TEST_F(CollectionObjectTest, WritingCreatesTheItemsAndKeepsLinkNames) {
  CollectionObject collection;
  LinkList input = links({{4, 0}, {4, 0}});
  input[0].set_name("first");
  input[1].set_name("second");
  ASSERT_EQ(0, collection.set_items(input));
  EXPECT_EQ("collection", collection.object()->get_class_name());
  EXPECT_EQ("items:list", tree(collection.object()->get_attributes()));
  ASSERT_EQ(1u, members(collection).size());
  EXPECT_EQ("first", members(collection)[0].get_name());
  EXPECT_TRUE(members(collection).is_modified());

  ASSERT_EQ(0, collection.set_items(LinkList()));
  EXPECT_EQ("", ids(members(collection)));
  EXPECT_EQ(1u, collection.object()->get_attributes().size());
}

TEST_F(CollectionObjectTest, BindingMarksOnlyWhenADuplicateIsRemoved) {
  SharedPointer<Object> clean = stored_collection({{5, 0}, {7, 0}});
  clean->set_modified(false);
  CollectionObject collection;
  collection.attach(clean);
  EXPECT_FALSE(clean->is_modified());

  SharedPointer<Object> doubled = stored_collection({{5, 0}, {7, 0}, {5, 0}});
  doubled->set_modified(false);
  collection.attach(doubled);
  EXPECT_TRUE(members(collection).is_modified());

  // A collection without members gets no link list by being bound.
  SharedPointer<Object> bare(new Object("collection"));
  bare->get_attributes().push_back(SharedPointer<Attribute>(new Attribute("items", "list")));
  bare->set_modified(false);
  collection.attach(bare);
  EXPECT_FALSE(bare->is_modified());
}

TEST_F(CollectionObjectTest, ReadingMembers) {
  CollectionObject collection;
  LinkList out = links({{1, 0}});
  collection.get_items(out);
  EXPECT_EQ("1/0", ids(out));

  collection.attach(stored_collection({{5, 0}, {6, 8}}));
  out.set_modified(false);
  collection.get_items(out);
  EXPECT_EQ("5/0 6/8", ids(out));
  EXPECT_TRUE(out.is_modified());

  // The members read into themselves stay as they are.
  LinkList& own = collection.object()->get_attributes()[0]->get_links();
  own.set_modified(false);
  collection.get_items(own);
  EXPECT_EQ("5/0 6/8", ids(own));
  EXPECT_FALSE(own.is_modified());
}

TEST_F(CollectionObjectTest, WritingTheMembersIntoThemselvesKeepsThem) {
  CollectionObject collection;
  collection.attach(stored_collection({{5, 0}, {6, 8}}));
  LinkList& own = collection.object()->get_attributes()[0]->get_links();
  ASSERT_EQ(0, collection.set_items(own));
  EXPECT_EQ("5/0 6/8", ids(members(collection)));
}

TEST_F(CollectionObjectTest, CopyAndAssignmentRemoveDuplicates) {
  CollectionObject source;
  source.attach(stored_collection({{1, 0}}));
  // Duplicates added behind the view's back.
  source.object()->get_attributes()[0]->get_links() = links({{1, 0}, {2, 0}, {1, 0}});

  CollectionObject copy(source);
  ASSERT_NE(source.object(), copy.object());
  EXPECT_EQ("collection", copy.object()->get_class_name());
  EXPECT_EQ("2/0 1/0", ids(members(copy)));
  EXPECT_EQ("1/0 2/0 1/0", ids(members(source)));

  CollectionObject target;
  ASSERT_EQ(0, target.set_items(links({{9, 0}})));
  target = source;
  EXPECT_EQ("2/0 1/0", ids(members(target)));
}

}  // namespace
}  // namespace keldra_test
