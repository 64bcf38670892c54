// Soft deletion: the removal, the recorded global id and the dropped id pair in one
// transaction whose events leave together after the commit; any failing step, the
// removal included, rolls all of it back and is the result.
#include "ManagerFixture.h"

#include <keldra/Object.h>

#include <string>
#include <vector>

namespace keldra_test {
namespace {

using orva::keldra::Object;
using orva::keldra::ObjectBase;

TEST_F(ManagerTest, SoftDeleteRecordsTheGlobalIdAndDropsThePair) {
  const unsigned int a = insert_shared("A", 500);
  const unsigned int b = insert_shared("B", 600);
  const unsigned int local = insert("Local");
  ASSERT_EQ(0, manager()->save_mapping(ObjectBase(a, 500)));
  ASSERT_EQ(0, manager()->save_mapping(ObjectBase(b, 600)));
  const unsigned int mapping = stored_lid(997);
  wire();

  ASSERT_EQ(0, manager()->soft_delete_object(a));
  const unsigned int deletions = stored_lid(995);
  ASSERT_NE(0u, deletions);
  EXPECT_EQ("none", state_of(a));
  EXPECT_EQ("sys_soft_delete 'sys.keldra.soft_delete' 995 no-sync {:0/500}", picture(995));
  EXPECT_EQ("sys_mapping 'sys.keldra.mapping' 997 no-sync {map:" + std::to_string(b) + "/600}",
            picture(997));
  EXPECT_EQ(std::vector<Broadcast>{batch({{3, a}, {1, deletions}, {2, mapping}})}, wire());

  // Without a global id there is nothing to record; a missing object counts as removed.
  for (unsigned int lid : {local, 4711u}) {
    SCOPED_TRACE(lid);
    ASSERT_EQ(0, manager()->soft_delete_object(lid));
    EXPECT_EQ("none", state_of(lid));
    EXPECT_EQ("sys_soft_delete 'sys.keldra.soft_delete' 995 no-sync {:0/500}", picture(995));
    EXPECT_EQ(std::vector<Broadcast>{one(3, lid)}, wire());
  }

  ASSERT_EQ(0, manager()->soft_delete_object(b));
  EXPECT_EQ("sys_soft_delete 'sys.keldra.soft_delete' 995 no-sync {:0/500 :0/600}", picture(995));
  EXPECT_EQ("sys_mapping 'sys.keldra.mapping' 997 no-sync", picture(997));
  EXPECT_EQ(std::vector<Broadcast>{batch({{3, b}, {2, deletions}, {2, mapping}})}, wire());

  // Removals on the synchronisation's behalf: SyncML is told of none of them.
  std::vector<Object> removed;
  ASSERT_EQ(0, sync_->removed_objects(removed));
  EXPECT_TRUE(removed.empty());
  EXPECT_TRUE(raw_->rows("SELECT local_id FROM removed").empty());
}

// A step that fails leaves the store as it was and sends nothing: above all a failed
// removal, after which recording the id would make the server delete a shared object
// that stays on the device. The failures are real ones of the database file, raised by
// a trigger.
TEST_F(ManagerTest, FailingStepsRollTheWholeSoftDeletionBack) {
  struct Case {
    const char* step;
    const char* trigger;  // %LID% is the soft-deleted object's local id
    bool deletion_stored_before;
  } cases[] = {
      {"the removal", "BEFORE DELETE ON object WHEN old.local_id=%LID%", false},
      {"the removal, with the deletion object stored",
       "BEFORE DELETE ON object WHEN old.local_id=%LID%", true},
      {"storing a new soft-deletion object", "BEFORE INSERT ON object WHEN new.global_id=995",
       false},
      {"storing the soft-deletion object", "BEFORE UPDATE ON object WHEN old.global_id=995", true},
      {"storing the mapping object", "BEFORE UPDATE ON object WHEN old.global_id=997", false},
  };
  unsigned long long gid = 500;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.step);
    const unsigned int lid = insert_shared("Shared", ++gid);
    ASSERT_NE(0u, lid);
    ASSERT_EQ(0, manager()->save_mapping(ObjectBase(lid, gid)));
    if (c.deletion_stored_before) {
      Object deletions;
      ASSERT_EQ(0, manager()->load_soft_deletion_object(deletions));
      ASSERT_EQ(0, manager()->store_soft_deletion_object(deletions));
    }
    std::string trigger = c.trigger;
    const size_t at = trigger.find("%LID%");
    if (at != std::string::npos) trigger.replace(at, 5, std::to_string(lid));
    ASSERT_EQ(0, raw_->exec("CREATE TRIGGER refuse " + trigger +
                            " BEGIN SELECT RAISE(ABORT, 'refused'); END;"));
    wire();
    const std::vector<std::string> before = snapshot();

    const orva::ErrorCode code = manager()->soft_delete_object(lid);
    EXPECT_EQ(1, code);
    EXPECT_EQ(before, snapshot());
    EXPECT_TRUE(wire().empty());
    EXPECT_FALSE(repo_->is_in_transaction());

    ASSERT_EQ(0, raw_->exec("DROP TRIGGER refuse"));
    ASSERT_EQ(0, manager()->soft_delete_object(lid));
    EXPECT_EQ("none", state_of(lid));
    // The next case starts without system objects.
    for (unsigned long long system : {995ull, 997ull}) {
      if (stored_lid(system) != 0) { ASSERT_EQ(0, repo_->remove_object(stored_lid(system))); }
    }
    wire();
  }
}

}  // namespace
}  // namespace keldra_test
