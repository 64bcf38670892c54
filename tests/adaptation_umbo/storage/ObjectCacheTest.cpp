// The object cache over the real store: order, id bookkeeping, the progress sequence,
// missing ids, failures and a database locked by another connection.
#include "CacheFixture.h"
#include "support/LogCapture.h"
#include "support/TestEnv.h"

#include <keldra/Object.h>
#include <keldra/ObjectCache.h>
#include <keldra/StorableLocation.h>
#include <keldra/StringPool.h>

#include "adaptation_umbo/storage/DataAdapterUmbo.h"
#include "adaptation_umbo/storage/RepositoryUmbo.h"

#include <tervo/ustring.h>

#include <sqlite3.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace keldra_test {
namespace {

using orva::ErrorCode;
using orva::SharedPointer;
using orva::keldra::Object;
using orva::keldra::ObjectCache;

const ErrorCode kInProgress = ORVA_ERROR_KELDRA_IN_PROGRESS;

// A load that reads objects ends with (1.0, 0); a slice that runs out of time first
// reports its progress, so any reports before the end are progress reports.
void expect_done(const Reports& reports) {
  ASSERT_FALSE(reports.seen.empty());
  EXPECT_EQ(Report(1.0f, 0), reports.seen.back());
  for (size_t i = 0; i + 1 < reports.seen.size(); ++i) {
    EXPECT_EQ(kInProgress, reports.seen[i].second);
  }
}

std::string name_of(const SharedPointer<Object>& object) {
  orva::keldra::StorableLocation view;
  view.attach(object);
  orva::ustring text;
  return view.metadata().get_name(text, orva::ustring()) ? text.to_utf8() : "<none>";
}

// How often the repository read each of |ids| since |log| began.
std::vector<int> reads(const LogCapture& log, const std::vector<unsigned int>& ids) {
  std::vector<int> out;
  for (unsigned int id : ids) {
    out.push_back(
        static_cast<int>(log.count_exact("RepositoryUmbo::get_object, lid " + std::to_string(id))));
  }
  return out;
}

// Stored places are named after the letters of |names|; each case asks for some of them,
// by position, and lists the loaded ones by position in the order function's order.
TEST_F(CacheTest, LoadedObjectsFollowTheOrderFunction) {
  const std::vector<std::string> names = {"cedar", "Alder", "birch", "alder", "Birch",
                                          "elm",   "",      "oak",   "maple"};
  std::vector<unsigned int> ids;
  for (const std::string& name : names) ids.push_back(add_place(name));
  const struct {
    const char* what;
    ObjectCache::OrderFunction order;
    std::vector<int> asked;
    std::vector<int> expected;
  } cases[] = {
      {"by id: 3, 9, 5 give 9, 5, 3", ObjectCache::id_order, {2, 8, 4}, {8, 4, 2}},
      {"by name, case folded first",
       ObjectCache::name_order,
       {0, 1, 2, 3, 4, 6},
       {6, 1, 3, 4, 2, 0}},
      {"no order: as they arrive", nullptr, {2, 8, 4}, {2, 8, 4}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Reports reports;
    SharedPointer<ObjectCache> cache = new_cache(reports);
    cache->set_object_order(c.order);
    std::vector<unsigned int> asked;
    for (int n : c.asked) asked.push_back(ids[n]);
    ASSERT_EQ(0, cache->set_object_ids(asked));
    load_all(*cache, reports);
    expect_done(reports);
    std::vector<unsigned int> expected;
    for (int n : c.expected) expected.push_back(ids[n]);
    EXPECT_EQ(expected, ids_of(*cache));
    for (unsigned int i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(static_cast<int>(i), cache->find_object(expected[i]));
      const std::string& name = names[c.expected[i]];
      if (!name.empty()) { EXPECT_EQ(name, name_of(cache->get_object_by_index(i))); }
    }
  }
}

TEST_F(CacheTest, IdBookkeeping) {
  const std::vector<unsigned int> ids = add_places(8);
  const unsigned int p3 = ids[2], p5 = ids[4], p7 = ids[6];
  Reports reports;
  SharedPointer<ObjectCache> cache = new_cache(reports);
  cache->set_object_order(ObjectCache::id_order);

  {
    SCOPED_TRACE("[5, 3, 5]: both copies of 5 are read, the second replaces the first");
    LogCapture log;
    ASSERT_EQ(0, cache->set_object_ids({p5, p3, p5}));
    load_all(*cache, reports);
    EXPECT_EQ((std::vector<unsigned int>{p5, p3}), ids_of(*cache));
    EXPECT_EQ((std::vector<int>{2, 1}), reads(log, {p5, p3}));
  }
  {
    SCOPED_TRACE("[3] while 3 and 7 are loaded: nothing pends, 7 goes, 3 stays");
    ASSERT_EQ(0, cache->set_object_ids({p3, p7}));
    load_all(*cache, reports);
    const SharedPointer<Object> three = cache->get_object_by_index(1);
    LogCapture log;
    ASSERT_EQ(0, cache->set_object_ids({p3}));
    EXPECT_EQ((std::vector<unsigned int>{p3}), ids_of(*cache));
    EXPECT_EQ(three, cache->get_object_by_index(0));
    load_all(*cache, reports);
    EXPECT_EQ(std::vector<Report>{Report(1.0f, 0)}, reports.seen);
    EXPECT_EQ((std::vector<int>{0, 0}), reads(log, {p3, p7}));
  }
  {
    SCOPED_TRACE("add_object of a loaded id's object replaces it");
    SharedPointer<Object> copy(new Object(*cache->get_object_by_index(0)));
    EXPECT_EQ(0, cache->add_object(copy));
    EXPECT_EQ(1u, cache->get_objects_count());
    EXPECT_EQ(copy, cache->get_object_by_index(0));
    EXPECT_EQ(ORVA_ERROR_INVALID_PARAMETERS, cache->add_object(SharedPointer<Object>()));
  }
  {
    SCOPED_TRACE("remove_object drops the first pending occurrence only");
    LogCapture log;
    EXPECT_EQ(0, cache->add_object(p7));
    EXPECT_EQ(0, cache->add_object(p7));
    cache->remove_object(p7);
    cache->remove_object(p3);
    EXPECT_EQ(0u, cache->get_objects_count());
    load_all(*cache, reports);
    EXPECT_EQ((std::vector<unsigned int>{p7}), ids_of(*cache));
    EXPECT_EQ((std::vector<int>{1}), reads(log, {p7}));
  }
  {
    SCOPED_TRACE("reload_all reads every loaded object again; reload one id");
    ASSERT_EQ(0, cache->set_object_ids({p3, p5, p7}));
    load_all(*cache, reports);
    LogCapture log;
    reports.seen.clear();
    cache->reload_all();
    ASSERT_TRUE(wait_until([&] { return reports.ended(); }));
    reports.seen.clear();
    cache->reload(p5);
    ASSERT_TRUE(wait_until([&] { return reports.ended(); }));
    EXPECT_EQ((std::vector<unsigned int>{p7, p5, p3}), ids_of(*cache));
    EXPECT_EQ((std::vector<int>{1, 2, 1}), reads(log, {p3, p5, p7}));
  }
  {
    SCOPED_TRACE("indexes past the end and ids not loaded");
    const unsigned int count = cache->get_objects_count();
    EXPECT_EQ(0u, cache->get_object_id_by_index(count));
    EXPECT_FALSE(cache->get_object_by_index(count).is_valid());
    EXPECT_EQ(-1, cache->find_object(ids[0]));
    std::vector<unsigned int> out = {42};
    cache->get_object_ids(out);  // appends
    EXPECT_EQ((std::vector<unsigned int>{42, p7, p5, p3}), out);
    std::vector<SharedPointer<Object>> objects(5);
    cache->get_objects(objects);  // replaces
    EXPECT_EQ(3u, objects.size());
  }
  {
    SCOPED_TRACE("choosing an order empties the cache");
    EXPECT_EQ(0, cache->add_object(p5));
    cache->set_object_order(ObjectCache::name_order);
    EXPECT_EQ(0u, cache->get_objects_count());
    reports.seen.clear();
    load_all(*cache, reports);
    EXPECT_EQ(std::vector<Report>{Report(1.0f, 0)}, reports.seen);
    EXPECT_EQ(0u, cache->get_objects_count());
  }
}

TEST_F(CacheTest, MissingIdsAreSkippedWithoutAReport) {
  const std::vector<unsigned int> ids = add_places(2);
  Reports reports;
  SharedPointer<ObjectCache> cache = new_cache(reports);
  cache->set_object_order(ObjectCache::id_order);
  ASSERT_EQ(0, cache->set_object_ids({ids[0], 999, ids[1], 1000}));
  load_all(*cache, reports);
  // No report for the missing ids, only the end (after progress, on a slow machine).
  expect_done(reports);
  EXPECT_EQ((std::vector<unsigned int>{ids[1], ids[0]}), ids_of(*cache));
}

TEST_F(CacheTest, LoadWithNothingPendingReportsDoneFromTheEventLoop) {
  Reports reports;
  SharedPointer<ObjectCache> cache = new_cache(reports);
  cache->load();
  EXPECT_TRUE(reports.seen.empty());
  pump_for(50);
  EXPECT_EQ(std::vector<Report>{Report(1.0f, 0)}, reports.seen);
  // Without a listener nothing is told, and cancel() and reset() never report.
  cache->unset_progress_listener();
  cache->load();
  pump_for(20);
  cache->set_progress_listener(reports);
  ASSERT_EQ(0, cache->add_object(1));
  cache->load();
  cache->cancel();
  cache->load();
  cache->reset();
  pump_for(50);
  EXPECT_EQ(1u, reports.seen.size());
}

// Ten thousand ids in shuffled order: loaded in slices, each slice reporting how far
// loading has come, and kept in order. Linear bookkeeping keeps this to seconds.
TEST_F(CacheTest, TenThousandIdsLoadInSlicesWithRisingProgress) {
  const unsigned int kCount = 10000;
  std::vector<unsigned int> ids = add_places(kCount);
  std::shuffle(ids.begin(), ids.end(), std::mt19937(7));
  Reports reports;
  SharedPointer<ObjectCache> cache = new_cache(reports);
  cache->set_object_order(ObjectCache::id_order);
  std::vector<float> expected_fractions;
  reports.on_report = [&](float, ErrorCode) {
    expected_fractions.push_back(static_cast<float>(cache->get_objects_count()) /
                                 static_cast<float>(kCount));
  };
  ASSERT_EQ(0, cache->set_object_ids(ids));
  load_all(*cache, reports);
  ASSERT_GE(reports.seen.size(), 2u);
  EXPECT_EQ(Report(1.0f, 0), reports.seen.back());
  for (size_t i = 0; i + 1 < reports.seen.size(); ++i) {
    EXPECT_EQ(kInProgress, reports.seen[i].second);
    EXPECT_FLOAT_EQ(expected_fractions[i], reports.seen[i].first);
    EXPECT_LT(reports.seen[i].first, 1.0f);
    if (i > 0) { EXPECT_GT(reports.seen[i].first, reports.seen[i - 1].first); }
  }
  std::vector<unsigned int> descending = ids;
  std::sort(descending.rbegin(), descending.rend());
  EXPECT_EQ(descending, ids_of(*cache));

  // The same list again pends nothing; every other id keeps half of them.
  std::vector<unsigned int> half;
  for (size_t i = 0; i < ids.size(); i += 2) half.push_back(ids[i]);
  ASSERT_EQ(0, cache->set_object_ids(ids));
  ASSERT_EQ(0, cache->set_object_ids(half));
  EXPECT_EQ(kCount / 2, cache->get_objects_count());
  reports.seen.clear();
  load_all(*cache, reports);
  EXPECT_EQ(std::vector<Report>{Report(1.0f, 0)}, reports.seen);
  for (unsigned int id : half) ASSERT_GE(cache->find_object(id), 0) << id;
}

// A read that fails for another reason than busy or missing stops loading with the
// fraction so far; the id stays pending and a later load() goes on from it.
TEST_F(CacheTest, AFailedReadStopsLoadingAndALaterLoadResumes) {
  const std::vector<unsigned int> ids = add_places(4);
  Reports reports;
  SharedPointer<ObjectCache> cache = new_cache(reports);
  cache->set_object_order(ObjectCache::id_order);
  ASSERT_EQ(0, cache->set_object_ids({ids[0], ids[1]}));
  load_all(*cache, reports);
  ASSERT_EQ(0, cache->set_object_ids({ids[0], ids[1], ids[2], ids[3]}));
  // A caller's transaction whose inner level was rolled back fails every read.
  ASSERT_EQ(0, m_store->begin_transaction(false));
  ASSERT_EQ(0, m_store->begin_transaction(false));
  m_store->rollback_transaction();
  reports.seen.clear();
  load_all(*cache, reports);
  EXPECT_EQ(std::vector<Report>{Report(0.5f, ORVA_ERROR_KELDRA_CANCELLED)}, reports.seen);
  m_store->rollback_transaction();
  reports.seen.clear();
  load_all(*cache, reports);
  expect_done(reports);
  EXPECT_EQ(4u, cache->get_objects_count());
}

// Another connection holds the file locked: the cache tries the same id again at every
// turn of the event loop, telling nothing, until the lock goes or cancel() is called.
// (A file in write-ahead-log mode lets readers past a writer; this one is kept in
// rollback-journal mode by a reader that is in the way while the store opens it.)
TEST_F(CacheTest, ALockedDatabaseIsRetriedUntilFreedOrCancelled) {
  const std::vector<unsigned int> ids = add_places(3);
  m_store.release();
  sqlite3* other = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(db_path().c_str(), &other));
  auto exec = [&](const char* sql) { return sqlite3_exec(other, sql, nullptr, nullptr, nullptr); };
  ASSERT_EQ(SQLITE_OK, exec("PRAGMA journal_mode=DELETE"));
  ASSERT_EQ(SQLITE_OK, exec("BEGIN; SELECT count(*) FROM object;"));
  ASSERT_EQ(0, orva::keldra::Store::open(m_store));
  Reports init;
  m_store->init(init);
  ASSERT_TRUE(wait_until([&] { return !init.seen.empty(); }));
  ASSERT_EQ(Report(1.0f, 0), init.seen.front());
  ASSERT_EQ(SQLITE_OK, exec("COMMIT"));

  Reports reports;
  SharedPointer<ObjectCache> cache = new_cache(reports);
  cache->set_object_order(ObjectCache::id_order);
  ASSERT_EQ(0, cache->set_object_ids({ids[0], ids[1]}));
  const std::string busy =
      "ObjectCacheUmbo::startNextStep: status: " + std::to_string(ORVA_ERROR_KELDRA_DATABASE_BUSY);
  {
    SCOPED_TRACE("freed");
    LogCapture log;
    ASSERT_EQ(SQLITE_OK, exec("BEGIN EXCLUSIVE"));
    cache->load();
    ASSERT_TRUE(wait_until([&] { return log.count_exact(busy) >= 1; }));
    EXPECT_TRUE(reports.seen.empty());
    EXPECT_EQ(0u, cache->get_objects_count());
    ASSERT_EQ(SQLITE_OK, exec("COMMIT"));
    ASSERT_TRUE(wait_until([&] { return reports.ended(); }));
    expect_done(reports);
    EXPECT_EQ((std::vector<unsigned int>{ids[1], ids[0]}), ids_of(*cache));
  }
  {
    SCOPED_TRACE("cancelled");
    LogCapture log;
    reports.seen.clear();
    ASSERT_EQ(SQLITE_OK, exec("BEGIN EXCLUSIVE"));
    cache->reload(ids[2]);
    ASSERT_TRUE(wait_until([&] { return log.count_exact(busy) >= 1; }));
    cache->cancel();
    ASSERT_EQ(SQLITE_OK, exec("COMMIT"));
    pump_for(100);
    EXPECT_TRUE(reports.seen.empty());
    EXPECT_EQ(2u, cache->get_objects_count());
    // The id is still pending: the next load takes it.
    load_all(*cache, reports);
    expect_done(reports);
    EXPECT_EQ(3u, cache->get_objects_count());
  }
  cache.release();
  m_store.release();
  sqlite3_close(other);
}

// The cache cannot be made without a repository of its own; callers get an empty
// pointer, never an exception.
TEST(ObjectCacheMakingTest, ACacheThatCannotBeMadeIsAnEmptyPointer) {
  SharedPointer<orva::keldra::StringPool> pool = orva::keldra::StringPool::create();
  SharedPointer<orva::keldra::Repository> without_adapter(
      new orva::keldra::internal::RepositoryUmbo(
          SharedPointer<orva::keldra::internal::DataAdapterUmbo>()));
  SharedPointer<ObjectCache> cache;
  EXPECT_NO_THROW(cache = without_adapter->get_object_cache());
  EXPECT_FALSE(cache.is_valid());
}

}  // namespace
}  // namespace keldra_test
