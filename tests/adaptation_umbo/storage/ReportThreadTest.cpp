// Where the store's reports arrive when the store lives on a plain std::thread that runs
// an event loop of its own: init's and a search's reports come on that thread, not on
// the application's main thread, which keeps its own Qt event loop running meanwhile
// (a misdirected report would be run there). Under a Qt loop the change events of the
// thread's own write come back to its observer there too, through the relay.
#include <keldra/ErrorCode.h>
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
#include <QEventLoop>

#include <glib.h>

#include "support/DbusTestBus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace {

using orva::SharedPointer;
using orva::keldra::Store;

// Records each report with the thread it came on.
// Records each delivery with the thread it came on.
struct ThreadEvents : public orva::keldra::RepositoryObserver {
  void handle_repository_event(const std::vector<orva::keldra::RepositoryEvent>& batch) override {
    threads.push_back(std::this_thread::get_id());
    events.insert(events.end(), batch.begin(), batch.end());
  }
  std::vector<std::thread::id> threads;
  std::vector<orva::keldra::RepositoryEvent> events;
};

struct ThreadReports : public orva::keldra::ProgressHandler {
  void handle_progress(float progress, orva::ErrorCode status) override {
    threads.push_back(std::this_thread::get_id());
    last_progress = progress;
    last_status = status;
  }
  bool ended() const { return !threads.empty() && last_status != ORVA_ERROR_KELDRA_IN_PROGRESS; }
  std::vector<std::thread::id> threads;
  float last_progress = -1;
  orva::ErrorCode last_status = -1;
};

// One pass of the worker's event loop.
typedef std::function<void()> Pass;

// What the worker saw.
struct Outcome {
  bool inited = false;
  bool searched = false;
  bool heard = false;  // the observer heard the write (Qt loop only)
  bool all_on_worker = true;
  std::vector<unsigned int> found;
  unsigned int stored = 0;
  std::string failure;
};

// Opens a store on the calling thread, starts init, only then makes the thread's event
// loop (|make_loop|), runs init and a search for a place named |name| through it and
// records where the reports came. The place goes again at the end, so that the cases
// (and repeats) of one process do not find each other's.
void use_store(const std::function<Pass()>& make_loop, bool observe, const char* name,
               Outcome& out) {
  const std::thread::id me = std::this_thread::get_id();
  SharedPointer<Store> store;
  if (Store::open(store) != 0) {
    out.failure = "open";
    return;
  }
  ThreadReports init;
  store->init(init);
  const Pass pass = make_loop();  // the loop comes after init started
  auto run_until = [&](const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 20000) pass();
    return done();
  };
  if (!run_until([&] { return init.ended(); })) {
    out.failure = "no init report on the worker";
    return;
  }
  out.inited = init.last_progress == 1.0f && init.last_status == 0;
  for (std::thread::id id : init.threads) out.all_on_worker = out.all_on_worker && id == me;

  ThreadEvents events;
  if (observe) store->set_event_listener(events);
  orva::keldra::StorableLocation place;
  place.metadata().set_name(orva::ustring(name), orva::ustring());
  if (place.store(*store) != 0) {
    out.failure = "store";
    return;
  }
  out.stored = place.get_local_id();
  if (observe) {
    const orva::keldra::RepositoryEvent created(orva::keldra::RepositoryEvent::OBJECT_CREATED,
                                                static_cast<int32_t>(out.stored));
    out.heard = run_until([&] {
      return std::find(events.events.begin(), events.events.end(), created) != events.events.end();
    });
    store->unset_event_listener();
    for (std::thread::id id : events.threads) out.all_on_worker = out.all_on_worker && id == me;
  }
  SharedPointer<orva::keldra::Search> search = store->get_searcher();
  orva::keldra::TextCriterion criterion{orva::ustring(name)};
  criterion.set_service_id(KELD_SERVICE_PERSONAL);
  ThreadReports searched;
  search->start(criterion, orva::keldra::Search::SortPref{0, 0}, searched);
  if (!run_until([&] { return searched.ended(); })) {
    out.failure = "no search report on the worker";
    return;
  }
  out.searched = searched.last_progress == 1.0f && searched.last_status == 0;
  for (std::thread::id id : searched.threads) out.all_on_worker = out.all_on_worker && id == me;
  out.found = search->get_results();
  if (store->remove_object(out.stored) != 0) out.failure = "remove";
}

struct ThreadCase {
  const char* name;
  bool own_glib_context;  // else a Qt event loop
  const char* place;      // the name of the place the case stores and searches
};

void PrintTo(const ThreadCase& c, std::ostream* os) { *os << c.name; }

class ReportThread : public ::testing::TestWithParam<ThreadCase> {};

INSTANTIATE_TEST_SUITE_P(Loop, ReportThread,
                         ::testing::Values(ThreadCase{"QtLoopMadeAfterInit", false, "Qt cabin"},
                                           ThreadCase{"OwnGLibContext", true, "GLib cabin"}),
                         [](const ::testing::TestParamInfo<ThreadCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_P(ReportThread, ReportsComeOnTheStdThreadThatStartedThem) {
  const bool glib = GetParam().own_glib_context;
  keldra_test::DbusTestBus& bus = keldra_test::DbusTestBus::shared();
  ASSERT_TRUE(bus.running() && bus.relay_pid() > 0) << bus.error();
  Outcome out;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    GMainContext* context = nullptr;
    if (glib) {
      context = g_main_context_new();
      g_main_context_push_thread_default(context);
    }
    std::unique_ptr<QEventLoop> loop;
    use_store(
        [&]() -> Pass {
          if (glib) return [context] { g_main_context_iteration(context, FALSE); };
          loop.reset(new QEventLoop);
          QEventLoop* l = loop.get();
          return [l] { l->processEvents(QEventLoop::AllEvents, 10); };
        },
        !glib, GetParam().place, out);
    loop.reset();
    if (glib) {
      g_main_context_pop_thread_default(context);
      g_main_context_unref(context);
    }
    done = true;
  });
  // The main thread keeps its Qt loop (and with it the global GLib context) running.
  while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  worker.join();

  ASSERT_EQ("", out.failure);
  EXPECT_TRUE(out.inited);
  EXPECT_TRUE(out.searched);
  EXPECT_EQ(!glib, out.heard);
  EXPECT_TRUE(out.all_on_worker);
  EXPECT_EQ(std::vector<unsigned int>{out.stored}, out.found);
}

}  // namespace
