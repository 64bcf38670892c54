// When the adapter holds, sends and drops the change events of writes: sequences of
// transaction calls and sync-mark changes, checked on the wire and at the observer.
#include "support/AdapterFixture.h"

#include <keldra/RepositoryEvent.h>

#include "adaptation_umbo/database/Database.h"

#include <string>
#include <vector>

namespace {

using keldra_test::AdapterTest;
using keldra_test::Broadcast;
using keldra_test::Events;
using orva::keldra::RepositoryEvent;

enum Op {
  INSERT,    // a write; its events are numbered 1, 2, ... in the case
  BEGIN,     // begin_transaction(false)
  COMMIT,    // commit_transaction()
  ROLLBACK,  // rollback_transaction()
  END_OK,    // end_transaction(0)
  END_FAIL,  // end_transaction(3)
  SYNC_ON,   // setInSync(true)
  SYNC_OFF,  // setInSync(false)
  FLUSH,     // flush(false)
  DISCARD,   // flush(true)
  DB_FAIL,   // a nested level opened and rolled back on the database itself, as the
             // transaction runner does for a failed work step: fails the transaction
};

struct Step {
  Op op;
  int code;  // expected result of COMMIT / END_*
};
Step op(Op o) { return {o, 0}; }
Step op(Op o, int code) { return {o, code}; }

struct Case {
  const char* name;
  std::vector<Step> steps;
  // What goes on the wire, each entry one message: the numbers of the inserts.
  std::vector<std::vector<int>> wire;
  size_t held_at_end;
};

TEST_F(AdapterTest, HeldSentAndDroppedAsTransactionsAndTheSyncMarkSay) {
  const int kFailed = 0x6006;
  const std::vector<Case> cases = {
      {"writes outside a transaction go out one by one", {op(INSERT), op(INSERT)}, {{1}, {2}}, 0},
      {"three writes in a transaction: one batch at the commit",
       {op(BEGIN), op(INSERT), op(INSERT), op(INSERT), op(COMMIT)},
       {{1, 2, 3}},
       0},
      {"a rolled back write is never announced", {op(BEGIN), op(INSERT), op(ROLLBACK)}, {}, 0},
      {"a nested commit sends nothing, the outer one everything",
       {op(BEGIN), op(INSERT), op(BEGIN), op(INSERT), op(COMMIT), op(INSERT), op(COMMIT)},
       {{1, 2, 3}},
       0},
      {"end_transaction(0) commits", {op(BEGIN), op(INSERT), op(INSERT), op(END_OK)}, {{1, 2}}, 0},
      {"end_transaction(3) rolls back and returns 3",
       {op(BEGIN), op(INSERT), op(INSERT), op(END_FAIL, 3)},
       {},
       0},
      {"a nested rollback drops the outer writes and fails the commit",
       {op(BEGIN), op(INSERT), op(BEGIN), op(INSERT), op(ROLLBACK), op(COMMIT, kFailed)},
       {},
       0},
      {"a transaction after it is announced alone",
       {op(BEGIN), op(INSERT), op(COMMIT), op(INSERT)},
       {{1}, {2}},
       0},
      {"the sync mark holds committed writes until flush(false)",
       {op(SYNC_ON), op(INSERT), op(BEGIN), op(INSERT), op(COMMIT), op(SYNC_OFF)},
       {},
       2},
      {"clearing the mark and flushing sends them all",
       {op(SYNC_ON), op(INSERT), op(INSERT), op(SYNC_OFF), op(FLUSH)},
       {{1, 2}},
       0},
      {"flush(true) drops what the mark held",
       {op(SYNC_ON), op(INSERT), op(INSERT), op(DISCARD), op(SYNC_OFF), op(FLUSH)},
       {},
       0},
      {"a rollback keeps the events held for the sync mark",
       {op(SYNC_ON), op(INSERT), op(BEGIN), op(INSERT), op(ROLLBACK), op(INSERT), op(SYNC_OFF),
        op(FLUSH)},
       {{1, 3}},
       0},
      {"a nested rollback under the mark drops only its transaction's events",
       {op(SYNC_ON), op(INSERT), op(BEGIN), op(INSERT), op(BEGIN), op(INSERT), op(ROLLBACK),
        op(COMMIT, kFailed), op(SYNC_OFF), op(FLUSH)},
       {{1}},
       0},
      {"a commit without a transaction sends what is held",
       {op(SYNC_ON), op(INSERT), op(SYNC_OFF), op(COMMIT)},
       {{1}},
       0},
      {"flush(false) with nothing held sends nothing", {op(FLUSH)}, {}, 0},
      {"a commit that failed and rolled back announces none of its writes",
       {op(BEGIN), op(INSERT), op(DB_FAIL), op(COMMIT, kFailed), op(INSERT)},
       {{2}},
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    peer_->heard.clear();
    observer_.batches.clear();
    std::vector<unsigned int> ids;
    for (const Step& s : c.steps) {
      switch (s.op) {
        case INSERT: {
          unsigned int id = insert();
          ids.push_back(id);
          if (id == 0) ADD_FAILURE() << "insert failed";
          break;
        }
        case BEGIN:
          EXPECT_EQ(0, repo_->begin_transaction(false));
          break;
        case COMMIT:
          EXPECT_EQ(s.code, repo_->commit_transaction());
          break;
        case ROLLBACK:
          repo_->rollback_transaction();
          break;
        case END_OK:
          EXPECT_EQ(s.code, repo_->end_transaction(0));
          break;
        case END_FAIL:
          EXPECT_EQ(3, repo_->end_transaction(3));
          break;
        case SYNC_ON:
          umbo_->setInSync(true);
          break;
        case SYNC_OFF:
          umbo_->setInSync(false);
          break;
        case FLUSH:
          umbo_->flush(false);
          break;
        case DISCARD:
          umbo_->flush(true);
          break;
        case DB_FAIL:
          EXPECT_EQ(0, umbo_->database()->begin_transaction(false));
          umbo_->database()->rollback_transaction();
          break;
      }
    }
    EXPECT_FALSE(repo_->is_in_transaction());
    settle_bus();
    std::vector<Broadcast> wire;
    keldra_test::Batches batches;
    for (const std::vector<int>& message : c.wire) {
      std::vector<unsigned int> message_ids;
      Events events;
      for (int n : message) {
        message_ids.push_back(ids.at(n - 1));
        events.push_back(RepositoryEvent(1, static_cast<int>(ids.at(n - 1))));
      }
      wire.push_back(created_on_wire(message_ids));
      batches.push_back(events);
    }
    EXPECT_EQ(wire, peer_->heard);
    EXPECT_EQ(batches, observer_.batches);
    EXPECT_EQ(c.held_at_end, umbo_->held_events().size());
    umbo_->setInSync(false);
    umbo_->flush(true);
  }
}

// Every kind of write is announced with its own type, in order, in one batch.
TEST_F(AdapterTest, WritesOfEveryKindKeepTheirTypesAndOrder) {
  unsigned int a = insert("a");
  ASSERT_NE(0u, a);
  settle_bus();
  peer_->heard.clear();
  observer_.batches.clear();

  ASSERT_EQ(0, repo_->begin_transaction(true));
  unsigned int b = insert("b");
  orva::keldra::Object o;
  ASSERT_EQ(0, repo_->get_object(a, o));
  o.set_name(std::string("renamed"));
  ASSERT_EQ(0, repo_->update_object(o));
  ASSERT_EQ(0, repo_->set_object_sharing(a, orva::keldra::SharingModel(1), false));
  ASSERT_EQ(0, repo_->remove_object(b));
  ASSERT_EQ(0, repo_->commit_transaction());
  settle_bus();
  const Events expected = {
      RepositoryEvent(1, static_cast<int>(b)), RepositoryEvent(2, static_cast<int>(a)),
      RepositoryEvent(2, static_cast<int>(a)), RepositoryEvent(3, static_cast<int>(b))};
  EXPECT_EQ(keldra_test::Batches{expected}, observer_.batches);
  EXPECT_EQ(std::vector<Broadcast>{Broadcast::many(
                keldra_test::batch_of({{1, int(b)}, {2, int(a)}, {2, int(a)}, {3, int(b)}}))},
            peer_->heard);
}

// A type-0 event is never held nor sent.
TEST_F(AdapterTest, AnEmptyEventIsNeitherHeldNorSent) {
  umbo_->setInSync(true);
  umbo_->dispatch(RepositoryEvent());
  EXPECT_TRUE(umbo_->held_events().empty());
  umbo_->setInSync(false);
  umbo_->dispatch(RepositoryEvent(0, 7));
  settle_bus();
  EXPECT_TRUE(peer_->heard.empty());
  EXPECT_TRUE(observer_.batches.empty());
}

}  // namespace
