// Acknowledgements: the server accepted a copy of a stored system object, and exactly
// what that copy carried leaves the stored object; what was added after the copy was
// taken stays for the next transfer.
#include "ManagerFixture.h"

#include <keldra/Object.h>

#include <functional>
#include <string>
#include <vector>

namespace keldra_test {
namespace {

using orva::keldra::Object;
using orva::keldra::ObjectBase;
using orva::keldra::ObjectPtr;
using orva::keldra::internal::SubscriptionManager;

ObjectPtr copy_of(const Object& object) { return ObjectPtr(new Object(object)); }

TEST_F(ManagerTest, AcknowledgedSubscriptionCommandsLeave) {
  ASSERT_EQ(0, manager()->add_to_subscription(Gids{1, 2}, true));
  Object sent;
  ASSERT_EQ(0, manager()->get_subscription_object(sent));
  ASSERT_EQ(0, manager()->add_to_subscription(Gids{3}, false));
  const unsigned int lid = stored_lid(998);
  wire();

  // The second time nothing is left to remove; the object is written all the same.
  for (int round = 1; round <= 2; ++round) {
    SCOPED_TRACE(round);
    ASSERT_EQ(0, manager()->handle_subscription_object_sent(copy_of(sent)));
    EXPECT_EQ(
        "sys_subscription 'sys.keldra.subscription' 998 no-sync "
        "changes:subscription_changes[:subscribe(global_id=3)]",
        picture(998));
    EXPECT_EQ(std::vector<Broadcast>{one(2, lid)}, wire());
  }
}

TEST_F(ManagerTest, AcknowledgedSoftDeletionsLeaveAndNothingElseIsWritten) {
  const unsigned int a = insert_shared("A", 500);
  const unsigned int b = insert_shared("B", 600);
  const unsigned int c = insert_shared("C", 700);
  ASSERT_EQ(0, manager()->soft_delete_object(a));
  ASSERT_EQ(0, manager()->soft_delete_object(b));
  Object sent;
  ASSERT_EQ(0, manager()->get_soft_deletion_object(sent));
  ASSERT_EQ(0, manager()->soft_delete_object(c));
  const unsigned int lid = stored_lid(995);
  wire();

  ASSERT_EQ(0, manager()->handle_soft_deletion_object_sent(copy_of(sent)));
  EXPECT_EQ("sys_soft_delete 'sys.keldra.soft_delete' 995 no-sync {:0/700}", picture(995));
  EXPECT_EQ(std::vector<Broadcast>{one(2, lid)}, wire());

  // The sent ids are no longer stored: nothing is written.
  const std::vector<std::string> before = snapshot();
  ASSERT_EQ(0, manager()->handle_soft_deletion_object_sent(copy_of(sent)));
  EXPECT_EQ(before, snapshot());
  EXPECT_TRUE(wire().empty());
}

TEST_F(ManagerTest, AcknowledgedPairsLeaveWithThoseLackingAnId) {
  const unsigned int a = insert_shared("A", 500);
  const unsigned int b = insert_shared("B", 600);
  const unsigned int c = insert_shared("C", 700);
  const unsigned int d = insert_shared("D", 800);
  for (const ObjectBase& ids : {ObjectBase(a, 500), ObjectBase(b, 600), ObjectBase(d, 800)}) {
    ASSERT_EQ(0, manager()->save_mapping(ids));
  }
  Object sent;
  ASSERT_EQ(0, manager()->get_mapping_object(sent));
  ASSERT_EQ(0, manager()->save_mapping(ObjectBase(c, 700)));
  // D removed outside the manager: its pair keeps only the global id.
  ASSERT_EQ(0, repo_->remove_object(d));
  Object only_a;
  only_a.set_class_name(std::string("sys_mapping"));
  only_a.get_links().push_back(sent.get_links()[0]);
  const unsigned int lid = stored_lid(997);
  wire();

  ASSERT_EQ(0, manager()->handle_mapping_object_sent(copy_of(only_a)));
  EXPECT_EQ("sys_mapping 'sys.keldra.mapping' 997 no-sync {map:" + std::to_string(b) +
                "/600 map:" + std::to_string(c) + "/700}",
            picture(997));
  EXPECT_EQ(std::vector<Broadcast>{one(2, lid)}, wire());

  ASSERT_EQ(0, manager()->handle_mapping_object_sent(copy_of(sent)));
  EXPECT_EQ("sys_mapping 'sys.keldra.mapping' 997 no-sync {map:" + std::to_string(c) + "/700}",
            picture(997));
  EXPECT_EQ(std::vector<Broadcast>{one(2, lid)}, wire());
  // Written even when nothing changes.
  ASSERT_EQ(0, manager()->handle_mapping_object_sent(copy_of(sent)));
  EXPECT_EQ(std::vector<Broadcast>{one(2, lid)}, wire());
}

// A copy of another class, or none at all, is refused before anything is written.
TEST_F(ManagerTest, AcknowledgementsRefuseForeignCopies) {
  const unsigned int a = insert_shared("A", 500);
  ASSERT_EQ(0, manager()->add_to_subscription(Gids{1}, true));
  ASSERT_EQ(0, manager()->save_mapping(ObjectBase(a, 500)));
  ASSERT_EQ(0, manager()->soft_delete_object(insert_shared("B", 600)));
  wire();
  const std::vector<std::string> before = snapshot();

  using Handler = std::function<orva::ErrorCode(SubscriptionManager&, const ObjectPtr&)>;
  struct Case {
    const char* kind;
    Handler handle;
    const char* own_class;
  } cases[] = {
      {"subscription", &SubscriptionManager::handle_subscription_object_sent, "sys_subscription"},
      {"mapping", &SubscriptionManager::handle_mapping_object_sent, "sys_mapping"},
      {"soft deletion", &SubscriptionManager::handle_soft_deletion_object_sent, "sys_soft_delete"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    for (const char* foreign : {"sys_subscription", "sys_mapping", "sys_soft_delete", "sys_ok"}) {
      if (std::string(foreign) == c.own_class) continue;
      ObjectPtr copy(new Object(foreign));
      copy->get_links().push_back(ObjectBase(a, 500).get_link());
      EXPECT_EQ(3, c.handle(*manager(), copy)) << foreign;
    }
    EXPECT_EQ(3, c.handle(*manager(), ObjectPtr()));
    EXPECT_FALSE(repo_->is_in_transaction());
  }
  EXPECT_EQ(before, snapshot());
  EXPECT_TRUE(wire().empty());
}

}  // namespace
}  // namespace keldra_test
