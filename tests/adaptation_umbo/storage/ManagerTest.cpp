// The thread's database manager and the adapter's own operations.
#include "support/AdapterFixture.h"

#include <keldra/DatabaseManager.h>
#include <keldra/Static.h>

#include "adaptation_umbo/database/Database.h"

#include <string>
#include <thread>
#include <vector>

namespace {

using keldra_test::AdapterTest;
using keldra_test::Batches;
using keldra_test::RecordingObserver;
using orva::SharedPointer;
using orva::keldra::DataAdapter;
using orva::keldra::DatabaseManager;
using orva::keldra::RepositoryEvent;
using orva::keldra::Static;

TEST(DatabaseManagerTest, OnlyPersonalHasAnAdapter) {
  keldra_test::DbusTestBus::shared();
  std::vector<std::string> services;
  DatabaseManager::get_services(services);
  EXPECT_EQ(std::vector<std::string>{"personal"}, services);
  for (const char* name : {"contacts", "", "Personal", "personal "}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(DatabaseManager::open(name).is_valid());
  }
  EXPECT_FALSE(DatabaseManager::open(std::string("personal\0x", 10)).is_valid());
}

TEST(DatabaseManagerTest, OneAdapterPerThreadWhileItsHolderLives) {
  keldra_test::DbusTestBus::shared();
  SharedPointer<Static> holder = Static::instance();
  SharedPointer<DataAdapter> first = DatabaseManager::open("personal");
  SharedPointer<DataAdapter> second = DatabaseManager::open("personal");
  ASSERT_TRUE(first.is_valid());
  EXPECT_EQ(first.get(), second.get());

  DataAdapter* elsewhere = nullptr;
  std::thread other([&] {
    SharedPointer<DataAdapter> theirs = DatabaseManager::open("personal");
    elsewhere = theirs.get();
    EXPECT_TRUE(theirs.is_valid());
  });
  other.join();
  EXPECT_NE(first.get(), elsewhere);

  // Once the thread's holder is gone, the next open builds a new manager and adapter
  // while the old adapter lives on with its holders.
  holder.release();
  second.release();
  SharedPointer<DataAdapter> renewed = DatabaseManager::open("personal");
  ASSERT_TRUE(renewed.is_valid());
  EXPECT_NE(first.get(), renewed.get());
}

TEST_F(AdapterTest, DbNameIsThePrefixAndTheDatabaseUid) {
  const std::string uid = umbo_->database()->uid();
  ASSERT_FALSE(uid.empty());
  EXPECT_EQ(".KeldraDb_" + uid, adapter_->get_db_name().to_utf8());
}

TEST_F(AdapterTest, BackendSelection) {
  struct Case {
    int32_t value;
    int code;
    int32_t stored;
  };
  EXPECT_EQ(0, umbo_->get_backend());
  const std::vector<Case> cases = {{1, 0, 1}, {2, 3, 1}, {-1, 3, 1}, {0, 0, 0}, {7, 3, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(c.code, umbo_->select_backend(c.value));
    EXPECT_EQ(c.stored, umbo_->get_backend());
  }
}

TEST_F(AdapterTest, ASecondObserverReplacesTheFirst) {
  RecordingObserver second;
  adapter_->set_event_listener(second);
  unsigned int a = insert("a");
  settle_bus();
  EXPECT_TRUE(observer_.batches.empty());
  EXPECT_EQ((Batches{{RepositoryEvent(1, int(a))}}), second.batches);

  adapter_->unset_event_listener();
  insert("b");
  settle_bus();
  EXPECT_EQ(1u, second.batches.size());
  EXPECT_EQ(2u, peer_->heard.size());  // still sent, only nobody here listens
}

// A second init of an open database reports success again, later.
TEST_F(AdapterTest, InitOfAnOpenDatabaseReportsSuccessLater) {
  keldra_test::RecordingHandler handler;
  adapter_->init(handler);
  EXPECT_TRUE(handler.reports.empty());
  ASSERT_TRUE(keldra_test::wait_until([&] { return !handler.reports.empty(); }));
  EXPECT_EQ(0, handler.reports[0].second);
}

}  // namespace
