// The store facade over the real "personal" store: opening, the answers of every
// operation to good and bad input, the thread's one observer, and writes whose change
// events wait for a commit or the sync mark.
#include "StoreTestSupport.h"
#include "support/TestEnv.h"

#include <keldra/DataAdapter.h>
#include <keldra/DatabaseManager.h>
#include <keldra/Link.h>
#include <keldra/ObjectCache.h>
#include <keldra/RepositoryObserver.h>
#include <keldra/Search.h>
#include <keldra/Store.h>

#include "adaptation_umbo/storage/DataAdapterUmbo.h"

#include <QCoreApplication>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace keldra_test {
namespace {

using orva::ErrorCode;
using orva::SharedPointer;
using orva::keldra::Object;
using orva::keldra::RepositoryEvent;
using orva::keldra::SharingModel;
using orva::keldra::Store;

std::string db_path() { return home_dir() + "/.cities/OstraMaps.db"; }

bool exists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

orva::keldra::internal::DataAdapterUmbo* adapter_behind() {
  SharedPointer<orva::keldra::DataAdapter> adapter =
      orva::keldra::DatabaseManager::open("personal");
  return static_cast<orva::keldra::internal::DataAdapterUmbo*>(adapter.get());
}

std::vector<std::pair<int, unsigned int>> held() {
  std::vector<std::pair<int, unsigned int>> out;
  for (const RepositoryEvent& e : adapter_behind()->held_events()) {
    out.push_back(std::make_pair(static_cast<int>(e.type), static_cast<unsigned int>(e.local_id)));
  }
  return out;
}

struct NullObserver : public orva::keldra::RepositoryObserver {
  void handle_repository_event(const std::vector<RepositoryEvent>&) override {}
};

struct Reports : public orva::keldra::ProgressHandler {
  void handle_progress(float progress, ErrorCode status) override {
    seen.push_back(std::make_pair(progress, status));
  }
  std::vector<std::pair<float, ErrorCode>> seen;
};

TEST(StoreOpenTest, OnlyPersonalOpensAndAFailureKeepsWhatOutHeld) {
  std::remove(db_path().c_str());
  SharedPointer<Store> personal;
  ASSERT_EQ(0, Store::open(personal));
  ASSERT_TRUE(personal.is_valid());
  // Opening does not touch the file: only init opens the database.
  EXPECT_FALSE(exists(db_path()));

  const struct {
    const char* service;
    ErrorCode expected;
  } cases[] = {{"contacts", 1}, {"", 1}, {"Personal", 1}, {nullptr, 1}, {"personal", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.service ? c.service : "(null)");
    SharedPointer<Store> out = personal;
    EXPECT_EQ(c.expected, Store::open(out, c.service));
    if (c.expected == 0) {
      EXPECT_TRUE(out.is_valid());
      EXPECT_NE(personal, out);  // every open makes a new store
    } else {
      EXPECT_EQ(personal, out);
    }
  }
  EXPECT_FALSE(exists(db_path()));
}

TEST(StoreOpenTest, InitThatCannotOpenTheDatabaseReportsBeforeItReturns) {
  std::remove(db_path().c_str());
  write_file(home_dir() + "/.cities/.keep", "");
  ASSERT_EQ(0, ::mkdir(db_path().c_str(), 0700));  // a folder where the file should be
  SharedPointer<Store> store;
  ASSERT_EQ(0, Store::open(store));
  Reports reports;
  store->init(reports);
  ASSERT_EQ(1u, reports.seen.size());
  EXPECT_EQ(0.0f, reports.seen[0].first);
  EXPECT_NE(0, reports.seen[0].second);
  for (int turn = 0; turn < 10; ++turn) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  EXPECT_EQ(1u, reports.seen.size());
  store.release();
  ::rmdir(db_path().c_str());
}

// Every operation of the store with the answers the callers rely on; |lid| is a stored
// location, |gid| the global id of a stored route received from the server.
TEST_F(StoreTest, EveryOperationAnswersAsItsContractSays) {
  SharedPointer<Object> place = make_object("location", "Quay");
  const unsigned int lid = put(*place);
  SharedPointer<Object> route = make_object("route", "Ferry line");
  route->set_global_id(4711);
  const unsigned int rid = put(*route);
  const unsigned long long gid = 4711;
  ASSERT_NE(0u, lid);
  ASSERT_NE(0u, rid);

  Object read("route");
  std::vector<orva::keldra::Link> links;
  auto sharing = [&](int model) {
    return static_cast<long long>(
        m_store.set_object_sharing(lid, static_cast<SharingModel>(model)));
  };
  const struct {
    const char* what;
    std::function<long long()> call;
    long long expected;
  } cases[] = {
      {"get_object of id 0", [&] { return m_store.get_object(0, read); }, 8},
      {"get_object of a missing id", [&] { return m_store.get_object(rid + 100, read); }, 8},
      {"get_object", [&] { return m_store.get_object(lid, read); }, 0},
      {"get_object_header of id 0", [&] { return m_store.get_object_header(0, read); }, 8},
      {"get_object_header", [&] { return m_store.get_object_header(lid, read); }, 0},
      {"get_global_object of id 0", [&] { return m_store.get_global_object(0, read); }, 8},
      {"get_global_object", [&] { return m_store.get_global_object(gid, read); }, 0},
      {"get_object_local_id of id 0", [&] { return m_store.get_object_local_id(0); }, 0},
      {"get_object_local_id", [&] { return m_store.get_object_local_id(gid); }, rid},
      {"get_object_local_id of an unknown id", [&] { return m_store.get_object_local_id(99); }, 0},
      {"get_object_global_id of id 0", [&] { return m_store.get_object_global_id(0); }, 0},
      {"get_object_global_id", [&] { return m_store.get_object_global_id(rid); }, 4711},
      {"get_default_object_id", [&] { return m_store.get_default_object_id(); }, 0},
      {"set_default_object_id", [&] { return m_store.set_default_object_id(lid); }, 4},
      {"set_object_no_sync", [&] { return m_store.set_object_no_sync(lid, true); }, 1},
      {"get_object_children", [&] { return m_store.get_object_children(lid, links); }, 0},
      {"sharing 3", [&] { return sharing(3); }, 3},
      {"sharing 4", [&] { return sharing(4); }, 3},
      {"sharing 6", [&] { return sharing(6); }, 3},
      {"sharing 5", [&] { return sharing(5); }, 0},
      {"is_in_transaction", [&] { return m_store.is_in_transaction(); }, 0},
      {"commit without transaction", [&] { return m_store.commit_transaction(); }, 0},
      {"remove_object", [&] { return m_store.remove_object(lid); }, 0},
      {"get_object of the removed id", [&] { return m_store.get_object(lid, read); }, 8},
      {"remove_object of a missing id", [&] { return m_store.remove_object(lid); }, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    LogCapture log;
    EXPECT_EQ(c.expected, c.call());
    if (std::string(c.what).compare(0, 8, "sharing ") == 0) {
      // Refused without a line and without asking the repository.
      EXPECT_EQ(c.expected == 0 ? 1u : 0u,
                log.matching({"Store::", "RepositoryUmbo::set_object_sharing"}).size());
    }
  }
  EXPECT_FALSE(m_store.get_upload_queue().is_valid());
}

TEST_F(StoreTest, OneSearcherPerStoreAndANewCacheOnEveryCall) {
  SharedPointer<orva::keldra::Search> searcher = m_store.get_searcher();
  ASSERT_TRUE(searcher.is_valid());
  EXPECT_EQ(searcher, m_store.get_searcher());
  SharedPointer<Store> other;
  ASSERT_EQ(0, Store::open(other));
  EXPECT_NE(searcher, other->get_searcher());

  SharedPointer<orva::keldra::ObjectCache> first = m_store.get_object_cache();
  SharedPointer<orva::keldra::ObjectCache> second = m_store.get_object_cache();
  ASSERT_TRUE(first.is_valid());
  ASSERT_TRUE(second.is_valid());
  EXPECT_NE(first, second);
}

// Events wait for the outermost commit; a rollback drops those of its own transaction
// only, never those the sync mark held for writes committed before it.
TEST_F(StoreTest, ARollbackDropsOnlyTheEventsOfItsTransaction) {
  typedef std::vector<std::pair<int, unsigned int>> Events;
  SharedPointer<Object> first = make_object("location", "One");
  SharedPointer<Object> second = make_object("location", "Two");
  ASSERT_EQ(0, m_store.begin_transaction(false));
  ASSERT_EQ(0, m_store.insert_object(*first));
  const unsigned int a = first->get_local_id();
  EXPECT_EQ((Events{{1, a}}), held());
  ASSERT_EQ(0, m_store.commit_transaction());
  EXPECT_EQ(Events(), held());  // sent

  adapter_behind()->setInSync(true);
  first->set_name("One again");
  ASSERT_EQ(0, m_store.update_object(*first));
  ASSERT_EQ(0, m_store.begin_transaction(true));
  EXPECT_TRUE(m_store.is_in_transaction());
  ASSERT_EQ(0, m_store.insert_object(*second));
  ASSERT_EQ(0, m_store.remove_object(a));
  EXPECT_EQ((Events{{2, a}, {1, second->get_local_id()}, {3, a}}), held());
  m_store.rollback_transaction();
  EXPECT_FALSE(m_store.is_in_transaction());
  EXPECT_TRUE(stored(a).is_valid());
  EXPECT_FALSE(stored(second->get_local_id()).is_valid());
  EXPECT_EQ((Events{{2, a}}), held());
  adapter_behind()->setInSync(false);
  adapter_behind()->flush(false);
  EXPECT_EQ(Events(), held());
}

// Each step: which store acts (0 or 1; 2 opens a third store and drops it at once) and
// what it does; then which observer the thread's adapter holds.
TEST_F(StoreTest, AStoreRemovesOnlyTheObserverItRegistered) {
  NullObserver x, y;
  SharedPointer<Store> stores[2];
  ASSERT_EQ(0, Store::open(stores[0]));
  ASSERT_EQ(0, Store::open(stores[1]));
  auto listener = [] { return adapter_behind()->get_event_listener(); };

  stores[0]->set_event_listener(x);
  EXPECT_EQ(&x, listener());
  {
    // A store that never registered one leaves the observer alone.
    SharedPointer<Store> passing;
    ASSERT_EQ(0, Store::open(passing));
  }
  EXPECT_EQ(&x, listener());
  stores[1].release();
  EXPECT_EQ(&x, listener());

  // A store whose observer was replaced by another store's leaves the new one alone.
  ASSERT_EQ(0, Store::open(stores[1]));
  stores[1]->set_event_listener(y);
  EXPECT_EQ(&y, listener());
  stores[0].release();
  EXPECT_EQ(&y, listener());
  // The store that registered it removes it.
  stores[1].release();
  EXPECT_EQ(nullptr, listener());

  // unset_event_listener removes the thread's observer whichever store set it.
  SharedPointer<Store> setter, other;
  ASSERT_EQ(0, Store::open(setter));
  ASSERT_EQ(0, Store::open(other));
  setter->set_event_listener(x);
  other->unset_event_listener();
  EXPECT_EQ(nullptr, listener());
  m_store.set_event_listener(y);
  setter.release();
  EXPECT_EQ(&y, listener());
}

// Unsetting a given observer removes it only while it is the registered one, whichever
// store registered it; an observer registered later stays.
TEST_F(StoreTest, UnsettingAGivenObserverLeavesALaterOne) {
  NullObserver x, y;
  SharedPointer<Store> first, second;
  ASSERT_EQ(0, Store::open(first));
  ASSERT_EQ(0, Store::open(second));
  auto listener = [] { return adapter_behind()->get_event_listener(); };

  first->set_event_listener(x);
  second->set_event_listener(y);
  first->unset_event_listener(x);
  EXPECT_EQ(&y, listener());
  second->unset_event_listener(x);
  EXPECT_EQ(&y, listener());
  first->unset_event_listener(y);
  EXPECT_EQ(nullptr, listener());
  // Nothing registered: nothing to do.
  second->unset_event_listener(y);
  EXPECT_EQ(nullptr, listener());
}

}  // namespace
}  // namespace keldra_test
