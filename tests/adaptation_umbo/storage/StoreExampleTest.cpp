// What an application does with the library's public headers alone: open the store,
// initialise it, store a place, find it with the store's searcher, load it through an
// object cache, and hear of its creation at the observer of another thread's store
// through the change relay on the (private) session bus.
#include "CacheFixture.h"
#include "support/TestEnv.h"

#include <keldra/ErrorCode.h>
#include <keldra/ObjectCache.h>
#include <keldra/ProgressHandler.h>
#include <keldra/RepositoryEvent.h>
#include <keldra/RepositoryObserver.h>
#include <keldra/Search.h>
#include <keldra/SharedPointer.h>
#include <keldra/StorableLocation.h>
#include <keldra/Store.h>
#include <keldra/TextCriterion.h>

#include <tervo/ustring.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <memory>
#include <vector>

namespace keldra_test {
namespace {

using orva::SharedPointer;
using orva::keldra::RepositoryEvent;
using orva::keldra::Store;

struct Heard : public orva::keldra::RepositoryObserver {
  void handle_repository_event(const std::vector<RepositoryEvent>& batch) override {
    for (const RepositoryEvent& e : batch) events.push_back(e);
  }
  bool has(int type, unsigned int local_id) const {
    for (const RepositoryEvent& e : events) {
      if (e.type == type && static_cast<unsigned int>(e.local_id) == local_id) return true;
    }
    return false;
  }
  std::vector<RepositoryEvent> events;
};

// Runs this thread's event loop until |done| or about 20 s.
template <class Done>
bool pump(Done done) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > 20000) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

// The other thread: a store of its own on the same file, its observer registered. It
// proves its observer hears the relay (its own write comes back) before it says ready,
// then waits for |wanted| to be announced.
class ObservingThread {
 public:
  void run() {
    SharedPointer<Store> store;
    if (Store::open(store) != 0) return finish();
    Reports init;
    store->init(init);
    if (!pump([&] { return !init.seen.empty(); }) || init.seen[0] != Report(1.0f, 0)) {
      return finish();
    }
    Heard heard;
    store->set_event_listener(heard);
    orva::keldra::StorableLocation own;
    own.metadata().set_name(orva::ustring("Own mark"), orva::ustring());
    if (own.store(*store) != 0) return finish();
    if (!pump([&] { return heard.has(RepositoryEvent::OBJECT_CREATED, own.get_local_id()); })) {
      return finish();
    }
    ready = true;
    if (pump([&] { return wanted != 0 && heard.has(RepositoryEvent::OBJECT_CREATED, wanted); })) {
      heard_it = true;
    }
    store->unset_event_listener();
    finish();
  }
  void finish() { ended = true; }

  std::atomic<bool> ready{false};
  std::atomic<bool> ended{false};
  std::atomic<bool> heard_it{false};
  std::atomic<unsigned int> wanted{0};
};

TEST_F(CacheTest, AnApplicationStoresFindsLoadsAndHearsOfAPlace) {
  ObservingThread observing;
  std::unique_ptr<QThread> thread(QThread::create([&] { observing.run(); }));
  thread->start();
  ASSERT_TRUE(pump([&] { return observing.ready || observing.ended; }));
  ASSERT_TRUE(observing.ready);

  // Store a place.
  orva::keldra::StorableLocation place;
  ASSERT_EQ(0, place.metadata().set_name(orva::ustring("Lighthouse cafe"), orva::ustring()));
  ASSERT_EQ(0, place.store(*m_store));
  const unsigned int id = place.get_local_id();
  ASSERT_NE(0u, id);
  observing.wanted = id;

  // Find it.
  SharedPointer<orva::keldra::Search> search = m_store->get_searcher();
  ASSERT_TRUE(search.is_valid());
  orva::keldra::TextCriterion criterion(orva::ustring("Lighthouse cafe"));
  criterion.set_service_id(KELD_SERVICE_PERSONAL);
  Reports searched;
  search->start(criterion, orva::keldra::Search::SortPref{0, 0}, searched);
  ASSERT_TRUE(pump([&] { return searched.ended(); }));
  EXPECT_EQ(Report(1.0f, 0), searched.seen.back());
  EXPECT_EQ(std::vector<unsigned int>{id}, search->get_results());

  // Load what was found.
  Reports loaded;
  SharedPointer<orva::keldra::ObjectCache> cache = m_store->get_object_cache();
  ASSERT_TRUE(cache.is_valid());
  cache->set_progress_listener(loaded);
  cache->set_object_order(orva::keldra::ObjectCache::name_order);
  ASSERT_EQ(0, cache->set_object_ids(search->get_results()));
  cache->load();
  ASSERT_TRUE(pump([&] { return loaded.ended(); }));
  EXPECT_EQ(std::vector<Report>{Report(1.0f, 0)}, loaded.seen);
  ASSERT_EQ(1u, cache->get_objects_count());
  orva::keldra::StorableLocation shown;
  ASSERT_EQ(0, shown.do_attach_object(cache->get_object_by_index(0)));
  orva::ustring name;
  ASSERT_TRUE(shown.metadata().get_name(name, orva::ustring()));
  EXPECT_EQ("Lighthouse cafe", name.to_utf8());

  // The other thread heard of it through the relay.
  ASSERT_TRUE(pump([&] { return bool(observing.ended); }));
  thread->wait();
  EXPECT_TRUE(observing.heard_it);
}

}  // namespace
}  // namespace keldra_test
