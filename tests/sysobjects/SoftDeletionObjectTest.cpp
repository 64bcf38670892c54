// The soft-deletion object: global ids recorded once each as unnamed links, and
// exactly the ids of a sent copy removed when the server has received it.
#include "support/PlaceFixture.h"

#include "sysobjects/SoftDeletionObject.h"

#include <keldra/Link.h>
#include <keldra/LinkList.h>
#include <keldra/Object.h>

#include <string>
#include <vector>

namespace keldra_test {
namespace {

using orva::SharedPointer;
using orva::keldra::Link;
using orva::keldra::Object;
using orva::keldra::internal::SoftDeletionObject;

struct Ids {
  unsigned int local;
  unsigned long long global;
};

SoftDeletionObject stored_with(const std::vector<Ids>& ids) {
  SharedPointer<Object> object(new Object("sys_soft_delete"));
  for (const Ids& id : ids) {
    Link link(id.local);
    link.set_global_link(id.global);
    object->get_links().push_back(link);
  }
  SoftDeletionObject view;
  EXPECT_EQ(0, view.attach(object));
  return view;
}

// The links as "name:local/global", e.g. ":0/5 :0/7".
std::string links(const SoftDeletionObject& view) {
  std::string out;
  for (const Link& link : view.object()->get_links()) {
    if (!out.empty()) out += " ";
    out += link.get_name() + ":" + std::to_string(link.get_local_link()) + "/" +
           std::to_string(link.get_global_link());
  }
  return out;
}

using SoftDeletionObjectTest = PlaceTest;

TEST_F(SoftDeletionObjectTest, AddGidRecordsEachIdOnce) {
  SoftDeletionObject soft;
  ASSERT_EQ(0, soft.add_gid(500));
  ASSERT_TRUE(soft.is_safe());
  EXPECT_EQ(995u, soft.object()->get_global_id());
  ASSERT_EQ(0, soft.add_gid(0xFFFFFFFFFFull));
  EXPECT_EQ(":0/500 :0/1099511627775", links(soft));
  EXPECT_EQ(0u, soft.object()->get_attributes().size());

  soft.object()->set_modified(false);
  EXPECT_EQ(0, soft.add_gid(500));
  EXPECT_EQ(":0/500 :0/1099511627775", links(soft));
  EXPECT_FALSE(soft.object()->get_links().is_modified());

  ASSERT_EQ(0, soft.add_gid(501));
  EXPECT_TRUE(soft.object()->get_links().is_modified());
  EXPECT_EQ(":0/500 :0/1099511627775 :0/501", links(soft));
}

// Id 0 names no object: a link without ids never matches, so it would pile up and go
// to the server as a deletion of nothing.
TEST_F(SoftDeletionObjectTest, IdZeroIsRefused) {
  SoftDeletionObject unbound;
  EXPECT_EQ(3, unbound.add_gid(0));
  EXPECT_FALSE(unbound.is_safe());

  SoftDeletionObject soft = stored_with({{0, 5}});
  EXPECT_EQ(3, soft.add_gid(0));
  EXPECT_EQ(":0/5", links(soft));
}

TEST_F(SoftDeletionObjectTest, RemoveGidsRemovesWhatTheSentCopyHeld) {
  struct Case {
    const char* label;
    std::vector<Ids> stored;
    std::vector<Ids> sent;
    bool removed;
    const char* left;
  };
  const Case cases[] = {
      {"all sent", {{0, 1}, {0, 2}}, {{0, 1}, {0, 2}}, true, ""},
      {"added after the copy stay", {{0, 1}, {0, 2}, {0, 3}}, {{0, 2}}, true, ":0/1 :0/3"},
      {"some no longer there", {{0, 1}, {0, 3}}, {{0, 2}, {0, 3}, {0, 4}}, true, ":0/1"},
      {"none there", {{0, 1}}, {{0, 2}, {0, 4}}, false, ":0/1"},
      {"sent copy without links", {{0, 1}}, {}, false, ":0/1"},
      {"a local id matches too", {{7, 0}, {0, 1}}, {{7, 99}}, true, ":0/1"},
      {"one entry per sent link", {{0, 1}, {0, 1}}, {{0, 1}}, true, ":0/1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    SoftDeletionObject stored = stored_with(c.stored);
    SoftDeletionObject sent = stored_with(c.sent);
    EXPECT_EQ(c.removed, stored.remove_gids(sent));
    EXPECT_EQ(c.left, links(stored));
  }
}

TEST_F(SoftDeletionObjectTest, RemoveGidsOfUnboundOrSameViews) {
  SoftDeletionObject stored = stored_with({{0, 1}, {0, 2}});
  EXPECT_FALSE(stored.remove_gids(SoftDeletionObject()));
  EXPECT_EQ(":0/1 :0/2", links(stored));

  // An unbound stored view has nothing to remove from.
  SoftDeletionObject unbound;
  EXPECT_FALSE(unbound.remove_gids(stored));
  EXPECT_FALSE(unbound.is_safe());

  // The sent copy may be the stored object itself.
  SoftDeletionObject same;
  ASSERT_EQ(0, same.attach(stored.object()));
  EXPECT_TRUE(stored.remove_gids(same));
  EXPECT_EQ("", links(stored));
}

TEST_F(SoftDeletionObjectTest, CopyIsTakenBeforeTheSend) {
  SoftDeletionObject stored;
  ASSERT_EQ(0, stored.add_gid(1));
  ASSERT_EQ(0, stored.add_gid(2));
  SoftDeletionObject sent(stored);
  EXPECT_NE(stored.object().get(), sent.object().get());
  ASSERT_EQ(0, stored.add_gid(3));
  EXPECT_EQ(":0/1 :0/2", links(sent));
  EXPECT_TRUE(stored.remove_gids(sent));
  EXPECT_EQ(":0/3", links(stored));
}

}  // namespace
}  // namespace keldra_test
