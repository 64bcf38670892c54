// The store facade's soft deletion and subscription, each through a manager of its own
// over the store's adapter: what they store and what the relay carries.
#include "ManagerFixture.h"

#include <keldra/SharedPointer.h>
#include <keldra/Store.h>

#include <string>
#include <vector>

namespace keldra_test {
namespace {

using orva::SharedPointer;
using orva::keldra::Store;

TEST_F(ManagerTest, StoreSoftDeletesAndSubscribes) {
  SharedPointer<Store> store;
  ASSERT_EQ(0, Store::open(store));
  const unsigned int shared = insert_shared("Shared", 500);
  const unsigned int local = insert("Local");
  wire();

  ASSERT_EQ(0, store->add_to_subscription(Gids{600, 700}, true));
  ASSERT_EQ(0, store->add_to_subscription(Gids{700, 800}, false));
  const unsigned int subscription = stored_lid(998);
  EXPECT_EQ(
      "sys_subscription 'sys.keldra.subscription' 998 no-sync "
      "changes:subscription_changes[:subscribe(global_id=600,cascade=1) "
      ":subscribe(global_id=700,cascade=1) :subscribe(global_id=800)]",
      picture(998));
  EXPECT_EQ((std::vector<Broadcast>{one(1, subscription), one(2, subscription)}), wire());

  ASSERT_EQ(0, store->soft_delete_object(shared));
  ASSERT_EQ(0, store->soft_delete_object(local));
  const unsigned int deletions = stored_lid(995);
  EXPECT_EQ("sys_soft_delete 'sys.keldra.soft_delete' 995 no-sync {:0/500}", picture(995));
  EXPECT_EQ((std::vector<Broadcast>{batch({{3, shared}, {1, deletions}}), one(3, local)}), wire());
  EXPECT_EQ("none", state_of(shared));
  EXPECT_EQ("none", state_of(local));

  // A failed removal is the store's result too, with nothing written.
  const unsigned int kept = insert_shared("Kept", 900);
  ASSERT_EQ(0, raw_->exec("CREATE TRIGGER refuse BEFORE DELETE ON object WHEN old.local_id=" +
                          std::to_string(kept) + " BEGIN SELECT RAISE(ABORT, 'refused'); END;"));
  wire();
  const std::vector<std::string> before = snapshot();
  EXPECT_EQ(1, store->soft_delete_object(kept));
  EXPECT_EQ(before, snapshot());
  EXPECT_TRUE(wire().empty());
}

}  // namespace
}  // namespace keldra_test
