#include <keldra/Link.h>
#include <keldra/LinkList.h>
#include <keldra/ObjectBase.h>

#include <gtest/gtest.h>

#include <string>

#include "ObjectTestSupport.h"

namespace {

using orva::keldra::Link;
using orva::keldra::LinkList;
using orva::keldra::ObjectBase;
using orva::keldra::StringPool;
using objects_test::read_record;
using objects_test::record_hex;

class LinkTest : public objects_test::PoolTest {};

Link make_link(const char* name, unsigned int local_id, unsigned long long global_id) {
  Link link(ObjectBase(local_id, global_id));
  if (*name) link.set_name(std::string(name));
  return link;
}

TEST_F(LinkTest, TypeFollowsTheIds) {
  struct Case {
    unsigned int local_id;
    unsigned long long global_id;
    Link::LinkType type;
  } cases[] = {
      {5, 0, Link::LINK_LOCAL}, {0, 7, Link::LINK_GLOBAL}, {5, 7, Link::LINK_GLOBAL},
      {0, 0, Link::LINK_NONE},
  };
  for (const Case& c : cases) {
    Link link = make_link("", c.local_id, c.global_id);
    EXPECT_EQ(c.type, link.get_link_type()) << c.local_id << "/" << c.global_id;
    EXPECT_EQ(c.type != Link::LINK_NONE, link.has_value());
  }
}

TEST_F(LinkTest, MarksOnlyOnChangeAndEqualityIgnoresMarks) {
  Link link = make_link("a", 1, 2);
  EXPECT_TRUE(link.is_modified());
  link.set_modified(false);
  link.set_local_link(1);
  link.set_global_link(2);
  link.set_name(std::string("a"));
  EXPECT_FALSE(link.is_modified());

  Link same = make_link("a", 1, 2);
  EXPECT_TRUE(link == same);  // one marked, one not
  link = same;
  EXPECT_FALSE(link.is_modified());  // nothing changed, mark not copied
  link = make_link("a", 1, 3);
  EXPECT_TRUE(link.is_modified());

  Link copy(link);
  EXPECT_TRUE(copy.is_modified());
  link.set_modified(false);
  link.reset();
  EXPECT_TRUE(link.is_modified());
  EXPECT_EQ(Link::LINK_NONE, link.get_link_type());
  EXPECT_EQ("", link.get_name());
}

TEST_F(LinkTest, IdentityConvertsBothWays) {
  ObjectBase identity(3, 0x0102030405060708ULL);
  Link link = identity.get_link();
  EXPECT_EQ(3u, link.get_local_link());
  EXPECT_EQ(0x0102030405060708ULL, link.get_global_link());
  EXPECT_FALSE(link.get_name_handle().is_valid());
  EXPECT_TRUE(link.is_modified());
  ObjectBase back = link;
  EXPECT_EQ(3u, back.get_local_id());
  EXPECT_EQ(0x0102030405060708ULL, back.get_global_id());

  EXPECT_EQ("03000000" "0807060504030201", record_hex(identity));
  ObjectBase read_back(9, 9);
  ASSERT_TRUE(read_record(read_back, "03000000" "0807060504030201"));
  EXPECT_EQ(3u, read_back.get_local_id());
  EXPECT_EQ(0x0102030405060708ULL, read_back.get_global_id());
  EXPECT_FALSE(read_record(read_back, "03000000" "08070605"));
  EXPECT_EQ(0u, read_back.get_local_id());  // reset before reading
}

TEST_F(LinkTest, RecordLayoutAndRoundTrip) {
  Link link = make_link("map", 3, 0x0102030405060708ULL);
  const std::string hex = "03000000" "6D6170" "03000000" "0807060504030201";
  EXPECT_EQ(hex, record_hex(link));
  Link back;
  back.set_modified(false);
  ASSERT_TRUE(read_record(back, hex));
  EXPECT_TRUE(back == link);
  EXPECT_TRUE(back.is_modified());
  EXPECT_FALSE(read_record(back, hex.substr(0, hex.size() - 2)));
}

class LinkListTest : public objects_test::PoolTest {};

TEST_F(LinkListTest, SetLinkKeepsOneLinkPerName) {
  LinkList list;
  list.set_modified(false);
  EXPECT_EQ(0, list.set_link(make_link("a", 1, 0)));
  EXPECT_TRUE(list.is_modified());
  list.set_modified(false);
  EXPECT_EQ(0, list.set_link(make_link("a", 2, 0)));  // replaced in place
  EXPECT_FALSE(list.is_modified());
  ASSERT_EQ(1u, list.size());
  EXPECT_EQ(2u, list[0].get_local_link());

  // Equal link: the stored link's cleared mark stays cleared.
  list[0].set_modified(false);
  EXPECT_EQ(0, list.set_link(make_link("a", 2, 0)));
  EXPECT_FALSE(list[0].is_modified());

  // Unnamed links with a target append every time.
  EXPECT_EQ(1, list.set_link(make_link("", 5, 0)));
  EXPECT_EQ(2, list.set_link(make_link("", 5, 0)));

  // A named link without target removes every link of that name.
  list.push_back(make_link("a", 9, 0));
  EXPECT_EQ(-1, list.set_link(make_link("a", 0, 0)));
  ASSERT_EQ(2u, list.size());
  EXPECT_EQ(-1, list.find_link(std::string("a")));
  EXPECT_EQ(-1, list.set_link(make_link("", 0, 0)));  // removes nothing
  EXPECT_EQ(2u, list.size());
}

TEST_F(LinkListTest, Lookups) {
  LinkList list;
  list.push_back(make_link("", 1, 0));
  list.push_back(make_link("x", 2, 20));
  list.push_back(make_link("y", 3, 30));
  list.push_back(make_link("x", 4, 0));
  struct NameCase {
    const char* name;
    unsigned int start;
    int index;
  } names[] = {{"x", 0, 1}, {"x", 2, 3}, {"x", 4, -1}, {"y", 0, 2}, {"", 0, -1}, {"z", 0, -1}};
  for (const NameCase& c : names) {
    EXPECT_EQ(c.index, list.find_link(std::string(c.name), c.start)) << c.name << c.start;
  }
  EXPECT_EQ(-1, list.find_link(StringPool::StringHandle(), 0));
  EXPECT_EQ(3, list.find_link(list[1].get_name_handle(), 2));

  struct SimilarCase {
    unsigned int local_id;
    unsigned long long global_id;
    unsigned int start;
    int index;
  } similar[] = {
      {3, 0, 0, 2}, {0, 30, 0, 2},  {99, 20, 0, 1}, {0, 20, 2, -1},
      {4, 0, 0, 3}, {0, 0, 0, -1},
  };
  for (const SimilarCase& c : similar) {
    EXPECT_EQ(c.index, list.find_similar_link(make_link("", c.local_id, c.global_id), c.start))
        << c.local_id << "/" << c.global_id << " from " << c.start;
  }
  LinkList empties;
  empties.push_back(Link());
  EXPECT_EQ(-1, empties.find_similar_link(Link(), 0));
}

TEST_F(LinkListTest, RemoveAndRecordRoundTrip) {
  LinkList list;
  list.push_back(make_link("x", 1, 0));
  list.push_back(make_link("", 2, 0));
  list.push_back(make_link("x", 3, 0));
  list.remove(std::string(""));
  EXPECT_EQ(3u, list.size());
  list.remove(list[0].get_name_handle());  // a handle held by an element
  ASSERT_EQ(1u, list.size());
  EXPECT_EQ(2u, list[0].get_local_link());

  list.push_back(make_link("m", 0, 7));
  LinkList back;
  back.set_modified(false);
  ASSERT_TRUE(read_record(back, record_hex(list)));
  ASSERT_EQ(2u, back.size());
  EXPECT_TRUE(back.is_modified());
  EXPECT_TRUE(back[0] == list[0]);
  EXPECT_TRUE(back[1] == list[1]);
  EXPECT_EQ("00000000", record_hex(LinkList()));
}

}  // namespace
