// Loading, storing and subscribing: fresh system objects that are not written until an
// operation stores them, subscriptions kept in the stored object, each operation one
// transaction whose events leave after the commit, and the id pairs of the mapping.
#include "ManagerFixture.h"

#include <keldra/Object.h>

#include "objects/MappingObject.h"
#include "sysobjects/SoftDeletionObject.h"
#include "sysobjects/SubscriptionObject.h"

#include <functional>
#include <string>
#include <vector>

namespace keldra_test {
namespace {

using orva::SharedPointer;
using orva::keldra::Object;
using orva::keldra::ObjectBase;
using orva::keldra::ObjectPtr;
using orva::keldra::internal::MappingObject;
using orva::keldra::internal::SubscriptionCommandBase;
using orva::keldra::internal::SubscriptionManager;
using orva::keldra::internal::SubscriptionObject;

TEST_F(ManagerTest, LoadsGiveFreshObjectsWithoutWritingThem) {
  struct Case {
    const char* kind;
    std::function<orva::ErrorCode(SubscriptionManager&, Object&)> load;
    unsigned int reserved_lid;
    const char* picture;
  } cases[] = {
      {"subscription", &SubscriptionManager::get_subscription_object, 0x7FFFFFFE,
       "sys_subscription 'sys.keldra.subscription' 998 no-sync"},
      {"soft deletion", &SubscriptionManager::get_soft_deletion_object, 0x7FFFFFFB,
       "sys_soft_delete 'sys.keldra.soft_delete' 995 no-sync"},
      {"mapping", &SubscriptionManager::get_mapping_object, 0x7FFFFFFD,
       "sys_mapping 'sys.keldra.mapping' 997 no-sync"},
      {"subscription", &SubscriptionManager::load_subscription_object, 0x7FFFFFFE,
       "sys_subscription 'sys.keldra.subscription' 998 no-sync"},
      {"soft deletion", &SubscriptionManager::load_soft_deletion_object, 0x7FFFFFFB,
       "sys_soft_delete 'sys.keldra.soft_delete' 995 no-sync"},
      {"mapping", &SubscriptionManager::load_mapping_object, 0x7FFFFFFD,
       "sys_mapping 'sys.keldra.mapping' 997 no-sync"},
  };
  const std::vector<std::string> before = snapshot();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    Object out = place("stale");
    ASSERT_EQ(0, c.load(*manager(), out));
    EXPECT_EQ(c.picture, picture(out));
    EXPECT_EQ(c.reserved_lid, out.get_local_id());
  }
  EXPECT_EQ(before, snapshot());
  EXPECT_TRUE(wire().empty());
}

TEST_F(ManagerTest, AddToSubscriptionKeepsTheCommandsInTheStoredObject) {
  ASSERT_EQ(0, manager()->add_to_subscription(Gids{10, 0x123456789ull}, true));
  const unsigned int lid = stored_lid(998);
  ASSERT_NE(0u, lid);
  EXPECT_NE(0x7FFFFFFEu, lid);  // the database's own id
  EXPECT_EQ(
      "sys_subscription 'sys.keldra.subscription' 998 no-sync "
      "changes:subscription_changes[:subscribe(global_id=10,cascade=1) "
      ":subscribe(global_id=4886718345,cascade=1)]",
      picture(998));
  EXPECT_EQ(std::vector<Broadcast>{one(1, lid)}, wire());

  // A second manager reads what the first stored: known ids are skipped.
  ASSERT_EQ(0, manager()->add_to_subscription(Gids{0x123456789ull, 30}, false));
  EXPECT_EQ(
      "sys_subscription 'sys.keldra.subscription' 998 no-sync "
      "changes:subscription_changes[:subscribe(global_id=10,cascade=1) "
      ":subscribe(global_id=4886718345,cascade=1) :subscribe(global_id=30)]",
      picture(998));
  EXPECT_EQ(lid, stored_lid(998));
  EXPECT_EQ(std::vector<Broadcast>{one(2, lid)}, wire());

  Gids ids = {7};
  ASSERT_EQ(0, manager()->get_change_gids(SubscriptionCommandBase::SUBSCRIBE, ids));
  EXPECT_EQ((Gids{10, 0x123456789ull, 30}), ids);
  ASSERT_EQ(0, manager()->get_change_gids(SubscriptionCommandBase::UNSUBSCRIBE, ids));
  EXPECT_TRUE(ids.empty());
  ids = {7};
  ASSERT_EQ(0, manager()->get_change_gids(static_cast<SubscriptionCommandBase::Type>(9), ids));
  EXPECT_EQ(Gids{7}, ids);
}

// The form that fills a given object writes nothing: a subscription object gets the
// commands added, anything else becomes a fresh subscription object holding only them.
TEST_F(ManagerTest, AddToSubscriptionOfAGivenObjectStoresNothing) {
  SubscriptionObject existing;
  ASSERT_EQ(0, existing.subscribe(Gids{5}, false));
  struct Case {
    const char* what;
    ObjectPtr object;
    const char* picture;
  } cases[] = {
      {"a new empty object", ObjectPtr(new Object()),
       "sys_subscription 'sys.keldra.subscription' 998 no-sync "
       "changes:subscription_changes[:subscribe(global_id=6,cascade=1)]"},
      {"a place", ObjectPtr(new Object(place("elsewhere"))),
       "sys_subscription 'sys.keldra.subscription' 998 no-sync "
       "changes:subscription_changes[:subscribe(global_id=6,cascade=1)]"},
      {"a subscription object", existing.object(),
       "sys_subscription 'sys.keldra.subscription' 998 no-sync "
       "changes:subscription_changes[:subscribe(global_id=5) "
       ":subscribe(global_id=6,cascade=1)]"},
  };
  const std::vector<std::string> before = snapshot();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(0, manager()->add_to_subscription(Gids{6}, true, c.object));
    EXPECT_EQ(c.picture, picture(*c.object));
  }
  EXPECT_EQ(3, manager()->add_to_subscription(Gids{6}, true, ObjectPtr()));
  EXPECT_EQ(before, snapshot());
  EXPECT_EQ("none", picture(998));
  EXPECT_TRUE(wire().empty());
}

// Inside a caller's transaction the manager's writes are part of it: nothing leaves
// before the caller commits, and the caller's rollback takes them back.
TEST_F(ManagerTest, WritesJoinTheCallersTransaction) {
  const unsigned int shared = insert_shared("Shared", 500);
  const unsigned int other = insert_shared("Other", 600);
  ASSERT_NE(0u, shared);
  ASSERT_NE(0u, other);
  wire();

  ASSERT_EQ(0, repo_->begin_transaction(false));
  ASSERT_EQ(0, manager()->add_to_subscription(Gids{1}, false));
  ASSERT_EQ(0, manager()->soft_delete_object(shared));
  EXPECT_TRUE(wire().empty());
  const unsigned int subscription = stored_lid(998);
  const unsigned int deletions = stored_lid(995);
  ASSERT_EQ(0, repo_->end_transaction(0));
  EXPECT_EQ(std::vector<Broadcast>{batch({{1, subscription}, {3, shared}, {1, deletions}})},
            wire());

  const std::vector<std::string> before = snapshot();
  ASSERT_EQ(0, repo_->begin_transaction(false));
  ASSERT_EQ(0, manager()->add_to_subscription(Gids{2}, false));
  ASSERT_EQ(0, manager()->save_mapping(ObjectBase(other, 600)));
  EXPECT_EQ(3, repo_->end_transaction(3));
  EXPECT_EQ(before, snapshot());
  EXPECT_TRUE(wire().empty());
}

TEST_F(ManagerTest, SaveMappingAddsPairsAndAlwaysWrites) {
  const unsigned int a = insert_shared("A", 500);
  const unsigned int b = insert_shared("B", 600);
  wire();
  ASSERT_EQ(0, manager()->save_mapping(ObjectBase(a, 500)));
  const unsigned int mapping = stored_lid(997);
  EXPECT_EQ(std::vector<Broadcast>{one(1, mapping)}, wire());
  EXPECT_EQ("sys_mapping 'sys.keldra.mapping' 997 no-sync {map:" + std::to_string(a) + "/500}",
            picture(997));

  // Either id already mapped: the pair stays as it was, the object is written again.
  for (const ObjectBase& ids : {ObjectBase(a, 501), ObjectBase(b, 500), ObjectBase(a, 500)}) {
    ASSERT_EQ(0, manager()->save_mapping(ids));
    EXPECT_EQ(std::vector<Broadcast>{one(2, mapping)}, wire());
  }
  ASSERT_EQ(0, manager()->save_mapping(ObjectBase(b, 600)));
  EXPECT_EQ("sys_mapping 'sys.keldra.mapping' 997 no-sync {map:" + std::to_string(a) +
                "/500 map:" + std::to_string(b) + "/600}",
            picture(997));
  EXPECT_EQ(std::vector<Broadcast>{one(2, mapping)}, wire());
}

// The missing id of each pair is looked up; pairs that stay incomplete, and pairs
// sharing an id with one already added, are left out. Nothing is stored.
TEST_F(ManagerTest, CreateMappingObjectCompletesThePairs) {
  const unsigned int shared = insert_shared("Shared", 500);
  const unsigned int local = insert("Local");  // no global id
  const unsigned int other = insert_shared("Other", 600);
  wire();
  const std::string a = std::to_string(shared);
  const std::string o = std::to_string(other);
  struct Case {
    const char* what;
    std::vector<ObjectBase> items;
    std::string links;
  } cases[] = {
      {"nothing can be completed",
       {ObjectBase(local, 0), ObjectBase(0, 0), ObjectBase(0, 4711)},
       ""},
      {"the global id looked up", {ObjectBase(shared, 0)}, " {map:" + a + "/500}"},
      {"the local id looked up", {ObjectBase(0, 600)}, " {map:" + o + "/600}"},
      {"both given: taken as they are", {ObjectBase(9, 90)}, " {map:9/90}"},
      {"an id mapped already",
       {ObjectBase(shared, 0), ObjectBase(0, 500), ObjectBase(shared, 501), ObjectBase(0, 600)},
       " {map:" + a + "/500 map:" + o + "/600}"},
  };
  const std::vector<std::string> before = snapshot();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Object out = place("stale");
    ASSERT_EQ(0, manager()->create_mapping_object(c.items, out));
    EXPECT_EQ("sys_mapping 'sys.keldra.mapping' 997 no-sync" + c.links, picture(out));
    EXPECT_EQ(0x7FFFFFFDu, out.get_local_id());
  }
  EXPECT_EQ(before, snapshot());
  EXPECT_TRUE(wire().empty());
}

// The mapping handed out for sending leaves out pairs that lack an id; the stored
// object keeps them until an acknowledgement cleans them up.
TEST_F(ManagerTest, MappingForSendingLeavesOutIncompletePairs) {
  const unsigned int a = insert_shared("A", 500);
  const unsigned int b = insert_shared("B", 600);
  ASSERT_EQ(0, manager()->save_mapping(ObjectBase(a, 500)));
  ASSERT_EQ(0, manager()->save_mapping(ObjectBase(b, 600)));
  // Removing B outside the manager leaves its pair with the global id alone.
  ASSERT_EQ(0, repo_->remove_object(b));
  EXPECT_EQ(
      "sys_mapping 'sys.keldra.mapping' 997 no-sync {map:" + std::to_string(a) + "/500 map:0/600}",
      picture(997));
  Object out;
  ASSERT_EQ(0, manager()->get_mapping_object(out));
  EXPECT_EQ("sys_mapping 'sys.keldra.mapping' 997 no-sync {map:" + std::to_string(a) + "/500}",
            picture(out));
}

// Every store writes with the no-sync flag set, over the stored object of that global id
// whatever local id the object carries when that is 0 or the reserved one.
TEST_F(ManagerTest, StoresSetNoSyncAndFindTheStoredObject) {
  Object first;
  ASSERT_EQ(0, manager()->load_soft_deletion_object(first));
  first.set_no_sync(false);
  ASSERT_EQ(0, manager()->store_soft_deletion_object(first));
  const unsigned int lid = stored_lid(995);
  ASSERT_NE(0u, lid);
  EXPECT_EQ("sys_soft_delete 'sys.keldra.soft_delete' 995 no-sync", picture(995));

  for (unsigned int carried : {0u, 0x7FFFFFFBu, lid}) {
    SCOPED_TRACE(carried);
    Object again;
    ASSERT_EQ(0, manager()->load_soft_deletion_object(again));
    again.set_local_id(carried);
    again.set_no_sync(false);
    ASSERT_EQ(0, manager()->store_soft_deletion_object(again));
    EXPECT_EQ(lid, stored_lid(995));
    EXPECT_EQ("sys_soft_delete 'sys.keldra.soft_delete' 995 no-sync", picture(995));
  }
  EXPECT_EQ("1", raw_->value("SELECT count(*) FROM object WHERE global_id=995"));
}

}  // namespace
}  // namespace keldra_test
