#include "CacheFixture.h"

#include "support/TestEnv.h"

#include <keldra/StorableLocation.h>

#include <tervo/ustring.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace keldra_test {

using orva::SharedPointer;
using orva::keldra::ObjectCache;

void pump_for(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

std::string CacheTest::db_path() { return home_dir() + "/.cities/OstraMaps.db"; }

void CacheTest::SetUp() {
  DbusTestBus& bus = DbusTestBus::shared();
  ASSERT_TRUE(bus.running() && bus.relay_pid() > 0) << bus.error();
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
    std::remove((db_path() + suffix).c_str());
  }
  m_log.reset(new LogCapture());
  ASSERT_EQ(0, orva::keldra::Store::open(m_store));
  Reports init;
  m_store->init(init);
  ASSERT_TRUE(wait_until([&] { return !init.seen.empty(); }));
  ASSERT_EQ(Report(1.0f, 0), init.seen.front());
}

void CacheTest::TearDown() {
  m_store.release();
  m_log.reset();
}

unsigned int CacheTest::add_place(const std::string& name) {
  orva::keldra::StorableLocation place;
  EXPECT_EQ(0, place.metadata().set_name(orva::ustring(name.c_str()), orva::ustring()));
  EXPECT_EQ(0, place.store(*m_store));
  return place.get_local_id();
}

std::vector<unsigned int> CacheTest::add_places(unsigned int count) {
  std::vector<unsigned int> ids;
  EXPECT_EQ(0, m_store->begin_transaction(true));
  for (unsigned int n = 0; n < count; ++n) ids.push_back(add_place("place " + std::to_string(n)));
  EXPECT_EQ(0, m_store->commit_transaction());
  return ids;
}

SharedPointer<ObjectCache> CacheTest::new_cache(Reports& reports) {
  SharedPointer<ObjectCache> cache = m_store->get_object_cache();
  EXPECT_TRUE(cache.is_valid());
  if (cache.is_valid()) cache->set_progress_listener(reports);
  return cache;
}

std::vector<unsigned int> CacheTest::ids_of(const ObjectCache& cache) {
  std::vector<unsigned int> ids;
  cache.get_object_ids(ids);
  return ids;
}

void CacheTest::load_all(ObjectCache& cache, Reports& reports) {
  reports.seen.clear();
  cache.load();
  ASSERT_TRUE(wait_until([&] { return reports.ended(); }));
}

}  // namespace keldra_test
