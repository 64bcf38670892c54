// Sharing switches from the server: a received subscription object (never stored) sets
// the sharing model of each object it names, one transaction per global id, keeping the
// object's stored change state; an object of another class is refused on receipt.
#include "ManagerFixture.h"

#include <keldra/Attribute.h>
#include <keldra/Object.h>

#include "support/AttributeTree.h"

#include <string>
#include <utility>
#include <vector>

namespace keldra_test {
namespace {

using orva::SharedPointer;
using orva::keldra::Attribute;
using orva::keldra::Object;
using orva::keldra::ObjectPtr;

// A subscription object as the server sends it: commands (keyword, global id) under
// "changes", in order.
ObjectPtr received(const std::vector<std::pair<const char*, unsigned long long>>& commands,
                   const char* class_name = "sys_subscription") {
  ObjectPtr object(new Object(class_name));
  object->set_global_id(998);
  SharedPointer<Attribute> changes = make_attribute("changes", "subscription_changes");
  for (const auto& c : commands) {
    SharedPointer<Attribute> command = make_attribute("", c.first);
    command->prepare_field(std::string("global_id"))->set_value(c.second);
    changes->get_attributes().push_back(command);
  }
  object->get_attributes().push_back(changes);
  return object;
}

TEST_F(ManagerTest, EachSwitchSetsItsModelAndKeepsTheState) {
  struct Case {
    const char* keyword;
    int model;  // -1: not read on receipt
  } cases[] = {
      {"switched_private", 0},
      {"switched_public", 1},
      {"switched_public_rw", 2},
      {"deleted_by_owner", 3},
      {"subscribe", -1},
      {"unsubscribe", -1},
      {"switched_private_permanent", -1},
      {"switched_restricted", -1},
  };
  unsigned long long gid = 500;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keyword);
    // One object as synchronised, one changed on the device since.
    const unsigned int synced = insert_shared("Synced", ++gid, orva::keldra::SHARING_RESTRICTED);
    const unsigned long long synced_gid = gid;
    const unsigned int changed = insert_shared("Changed", ++gid, orva::keldra::SHARING_RESTRICTED);
    Object edit;
    ASSERT_EQ(0, repo_->get_object(changed, edit));
    edit.set_name(std::string("Changed here"));
    ASSERT_EQ(0, repo_->update_object(edit));
    ASSERT_EQ("state 0, sharing 5", state_of(synced));
    ASSERT_EQ("state 2, sharing 5", state_of(changed));
    wire();

    // 4711 names no object here: skipped.
    ASSERT_EQ(0, manager()->handle_subscription_object_received(
                     received({{c.keyword, synced_gid}, {c.keyword, 4711}, {c.keyword, gid}})));
    const std::string model = std::to_string(c.model < 0 ? 5 : c.model);
    EXPECT_EQ("state 0, sharing " + model, state_of(synced));
    EXPECT_EQ("state 2, sharing " + model, state_of(changed));
    // One transaction per id: each update leaves alone, after its own commit.
    if (c.model < 0) {
      EXPECT_TRUE(wire().empty());
    } else {
      EXPECT_EQ((std::vector<Broadcast>{one(2, synced), one(2, changed)}), wire());
    }
  }
  EXPECT_EQ("none", picture(998));
}

// Lists are applied in the order 3, 5, 6, 8, whatever their order in the object; the
// first refusal stops the handling, and the ids applied before it stay applied.
TEST_F(ManagerTest, SwitchesApplyInTypeOrderUntilOneIsRefused) {
  const unsigned int a = insert_shared("A", 501);
  const unsigned int b = insert_shared("B", 502);
  const unsigned int c = insert_shared("C", 503);
  wire();
  ASSERT_EQ(0,
            manager()->handle_subscription_object_received(received({{"deleted_by_owner", 501},
                                                                     {"switched_public_rw", 501},
                                                                     {"switched_private", 501},
                                                                     {"switched_public", 502},
                                                                     {"switched_private", 502}})));
  EXPECT_EQ("state 0, sharing 3", state_of(a));
  EXPECT_EQ("state 0, sharing 1", state_of(b));
  // 3: A, B; 5: B; 6: A; 8: A.
  EXPECT_EQ((std::vector<Broadcast>{one(2, a), one(2, b), one(2, b), one(2, a), one(2, a)}),
            wire());

  ASSERT_EQ(0, raw_->exec("CREATE TRIGGER refuse BEFORE UPDATE ON object WHEN old.local_id=" +
                          std::to_string(b) + " BEGIN SELECT RAISE(ABORT, 'refused'); END;"));
  // B's switch writes (1 to 2) and is refused; C after it is not switched.
  EXPECT_EQ(1,
            manager()->handle_subscription_object_received(received({{"switched_public_rw", 501},
                                                                     {"switched_public_rw", 502},
                                                                     {"switched_public_rw", 503},
                                                                     {"deleted_by_owner", 503}})));
  EXPECT_EQ("state 0, sharing 2", state_of(a));
  EXPECT_EQ("state 0, sharing 1", state_of(b));
  EXPECT_EQ("state 0, sharing 0", state_of(c));
  EXPECT_EQ(std::vector<Broadcast>{one(2, a)}, wire());
  EXPECT_FALSE(repo_->is_in_transaction());

  // Applied directly: the same per-id transactions.
  ASSERT_EQ(0, raw_->exec("DROP TRIGGER refuse"));
  ASSERT_EQ(0, manager()->apply_sharing_changes(Gids{503, 0, 4711, 501},
                                                orva::keldra::SHARING_PUBLIC_READ_WRITE));
  EXPECT_EQ("state 0, sharing 2", state_of(c));
  EXPECT_EQ("state 0, sharing 2", state_of(a));
  EXPECT_EQ((std::vector<Broadcast>{one(2, c), one(2, a)}), wire());
  ASSERT_EQ(0, manager()->apply_sharing_changes(Gids{}, orva::keldra::SHARING_PRIVATE));
  EXPECT_TRUE(wire().empty());
}

// The server may send any class under the subscription's global id: such an object is
// refused on receipt with 3, before anything is applied.
TEST_F(ManagerTest, ReceivedObjectOfAnotherClassIsRefused) {
  const unsigned int a = insert_shared("A", 501);
  wire();
  for (const char* foreign : {"sys_users", "config", "location", "sys_subscription_"}) {
    SCOPED_TRACE(foreign);
    EXPECT_EQ(3, manager()->handle_subscription_object_received(
                     received({{"switched_public", 501}}, foreign)));
  }
  EXPECT_EQ(3, manager()->handle_subscription_object_received(ObjectPtr()));
  EXPECT_EQ("state 0, sharing 0", state_of(a));
  EXPECT_TRUE(wire().empty());
  EXPECT_EQ("none", picture(998));
}

}  // namespace
}  // namespace keldra_test
