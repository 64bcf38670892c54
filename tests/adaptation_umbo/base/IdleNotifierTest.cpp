#include "adaptation_umbo/base/AsyncErrorReporter.h"
#include "adaptation_umbo/base/IdleNotifier.h"
#include "adaptation_umbo/base/Notifiable.h"

#include "support/LogCapture.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <glib.h>

#include <functional>
#include <thread>
#include <utility>
#include <vector>

namespace {

using orva::keldra::internal::AsyncErrorReporter;
using orva::keldra::internal::IdleNotifier;
using orva::keldra::internal::Notifiable;

// One pass of an event loop; the Qt loop of the main thread, or the GLib context of a
// thread without Qt.
typedef std::function<void()> Pass;

// Counts its calls, remembers on which pass each came, and asks to be called again
// until |limit| calls were made. |during| runs inside the call.
struct Counter : Notifiable {
  explicit Counter(int limit) : limit(limit) {}
  bool notify() override {
    passes.push_back(*pass);
    ++calls;
    bool again = calls < limit;
    if (during) during();
    return again;
  }
  int limit;
  int calls = 0;
  const int* pass = nullptr;
  std::vector<int> passes;
  std::function<void()> during;
};

// Runs |passes| loop passes, numbering them in |pass_no|.
void run(const Pass& pass, int passes, int* pass_no) {
  for (int i = 0; i < passes; ++i) {
    ++*pass_no;
    pass();
  }
}

void qt_pass() { QCoreApplication::processEvents(); }

// Runs |body| on a thread without a Qt event dispatcher that iterates its own GLib
// context, as the store's callers that drive a GLib main loop do.
void on_glib_thread(const std::function<void(const Pass&)>& body) {
  std::thread worker([&] {
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    body([context] { g_main_context_iteration(context, FALSE); });
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
  });
  worker.join();
}

// Every behaviour runs on both kinds of thread.
class IdleNotifierLoops : public ::testing::TestWithParam<bool> {
 protected:
  void with_loop(const std::function<void(const Pass&)>& body) {
    if (GetParam()) {
      on_glib_thread(body);
    } else {
      body(Pass(&qt_pass));
    }
  }
};

INSTANTIATE_TEST_SUITE_P(Loop, IdleNotifierLoops, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("GLib") : std::string("Qt");
                         });

TEST_P(IdleNotifierLoops, CallsOncePerPassUntilFalse) {
  for (int limit : {1, 4}) {
    SCOPED_TRACE(limit);
    keldra_test::LogCapture log;
    Counter counter(limit);
    int pass_no = 0;
    counter.pass = &pass_no;
    with_loop([&](const Pass& pass) {
      IdleNotifier notifier(nullptr);
      ASSERT_TRUE(notifier.start(&counter, "counter"));
      EXPECT_EQ(0, counter.calls) << "called from inside start";
      run(pass, 20, &pass_no);
    });
    EXPECT_EQ(limit, counter.calls);
    for (size_t i = 1; i < counter.passes.size(); ++i)
      EXPECT_LT(counter.passes[i - 1], counter.passes[i]) << "two calls in one pass";
    const std::string text = log.text();
    const size_t started = text.find("IdleNotifier 'counter' addr 0x");
    const size_t stopped = text.find("' addr 0x", started + 1);
    ASSERT_NE(std::string::npos, started);
    ASSERT_NE(std::string::npos, stopped);
    EXPECT_NE(std::string::npos, text.find(" started\n", started));
    EXPECT_NE(std::string::npos, text.find(" stopped\n", stopped));
    EXPECT_EQ(GetParam(), log.has("IdleNotifier: this is not a Qt thread, using GLib"));
  }
}

// Whether |notifier| still has a timer running or an idle source on this thread's
// GLib context.
bool has_schedule(IdleNotifier& notifier, bool glib) {
  if (glib) return g_main_context_pending(g_main_context_get_thread_default());
  QTimer* timer = notifier.findChild<QTimer*>();
  return timer && timer->isActive();
}

// A null Notifiable schedules nothing, also when it replaces one whose calls were
// pending (they would otherwise keep the loop spinning without a callee).
TEST_P(IdleNotifierLoops, NullNotifiableSchedulesNothing) {
  for (bool pending_before : {false, true}) {
    SCOPED_TRACE(pending_before);
    Counter counter(1000);
    int pass_no = 0;
    counter.pass = &pass_no;
    with_loop([&](const Pass& pass) {
      IdleNotifier notifier(nullptr);
      if (pending_before) {
        ASSERT_TRUE(notifier.start(&counter, "pending"));
      }
      EXPECT_TRUE(notifier.start(nullptr, "none"));
      run(pass, 5, &pass_no);
      EXPECT_FALSE(has_schedule(notifier, GetParam()));
    });
    EXPECT_EQ(0, counter.calls);
  }
}

TEST_P(IdleNotifierLoops, DestroyedOrCancelledNotifierCallsNoMore) {
  for (bool destroy : {false, true}) {
    SCOPED_TRACE(destroy);
    Counter counter(1000);
    int pass_no = 0;
    counter.pass = &pass_no;
    with_loop([&](const Pass& pass) {
      IdleNotifier* notifier = new IdleNotifier(nullptr);
      ASSERT_TRUE(notifier->start(&counter, "pending"));
      run(pass, 3, &pass_no);
      const int calls = counter.calls;
      EXPECT_GE(calls, 1);
      if (destroy) {
        delete notifier;
        notifier = nullptr;
      } else {
        notifier->cancel();
      }
      run(pass, 5, &pass_no);
      EXPECT_EQ(calls, counter.calls);
      delete notifier;
    });
  }
}

// The Notifiable may destroy the notifier that calls it, whatever it answers.
TEST_P(IdleNotifierLoops, NotifiableMayDestroyItsNotifier) {
  for (int limit : {1, 1000}) {
    SCOPED_TRACE(limit);
    Counter counter(limit);
    int pass_no = 0;
    counter.pass = &pass_no;
    with_loop([&](const Pass& pass) {
      IdleNotifier* notifier = new IdleNotifier(nullptr);
      counter.during = [&] {
        delete notifier;
        notifier = nullptr;
      };
      ASSERT_TRUE(notifier->start(&counter, "self-destroying"));
      run(pass, 5, &pass_no);
      EXPECT_EQ(nullptr, notifier);
      EXPECT_EQ(1, counter.calls);
    });
  }
}

// A start from inside notify() schedules new calls even though the call that made it
// answered false.
TEST_P(IdleNotifierLoops, StartFromInsideNotifyKeepsTheNewCalls) {
  Counter first(1);
  Counter second(2);
  int pass_no = 0;
  first.pass = second.pass = &pass_no;
  with_loop([&](const Pass& pass) {
    IdleNotifier notifier(nullptr);
    first.during = [&] { notifier.start(&second, "second"); };
    ASSERT_TRUE(notifier.start(&first, "first"));
    run(pass, 10, &pass_no);
  });
  EXPECT_EQ(1, first.calls);
  EXPECT_EQ(2, second.calls);
}

// Cancelling one notifier removes only its own GLib source.
TEST(IdleNotifier, CancelOnGLibRemovesOnlyItsOwnSource) {
  Counter a(1000), b(1000);
  int pass_no = 0;
  a.pass = b.pass = &pass_no;
  on_glib_thread([&](const Pass& pass) {
    IdleNotifier na(nullptr), nb(nullptr);
    ASSERT_TRUE(na.start(&a, "a"));
    ASSERT_TRUE(nb.start(&b, "b"));
    run(pass, 3, &pass_no);
    na.cancel();
    const int a_calls = a.calls, b_calls = b.calls;
    run(pass, 3, &pass_no);
    EXPECT_EQ(a_calls, a.calls);
    EXPECT_GT(b.calls, b_calls);
  });
}

TEST(IdleNotifier, CancelWithoutStartOnlyLogs) {
  keldra_test::LogCapture log;
  IdleNotifier notifier(nullptr);
  notifier.cancel();
  EXPECT_TRUE(log.has("IdleNotifier '' addr 0x0 stopped"));
}

// --- AsyncErrorReporter ------------------------------------------------------------

struct Handler : orva::keldra::ProgressHandler {
  void handle_progress(float progress, orva::ErrorCode status) override {
    reports.emplace_back(progress, status);
    if (during) during();
  }
  std::vector<std::pair<float, orva::ErrorCode>> reports;
  std::function<void()> during;
};

typedef std::vector<std::pair<float, orva::ErrorCode>> Reports;

TEST_P(IdleNotifierLoops, ReporterDeliversOneFinalErrorAfterTheCallReturned) {
  Handler handler;
  with_loop([&](const Pass& pass) {
    AsyncErrorReporter reporter(handler);
    EXPECT_TRUE(reporter.start_async_report(0.0f, 1));
    EXPECT_TRUE(handler.reports.empty()) << "reported from inside the starting call";
    int pass_no = 0;
    run(pass, 10, &pass_no);
  });
  EXPECT_EQ(Reports({{0.0f, 1}}), handler.reports);
}

TEST_P(IdleNotifierLoops, ReporterRefusesCodesThatAreNotFinal) {
  for (orva::ErrorCode code : {ORVA_ERROR_NONE, ORVA_ERROR_KELDRA_IN_PROGRESS}) {
    SCOPED_TRACE(code);
    keldra_test::LogCapture log;
    Handler handler;
    with_loop([&](const Pass& pass) {
      AsyncErrorReporter reporter(handler);
      EXPECT_FALSE(reporter.start_async_report(0.0f, code));
      int pass_no = 0;
      run(pass, 5, &pass_no);
    });
    EXPECT_TRUE(handler.reports.empty());
    EXPECT_TRUE(log.has("AsyncErrorReporter::start_async_report could not be started."));
  }
}

TEST_P(IdleNotifierLoops, ReporterDeliversOnlyTheLastOfTwoPendingErrors) {
  Handler handler;
  with_loop([&](const Pass& pass) {
    AsyncErrorReporter reporter(handler);
    EXPECT_TRUE(reporter.start_async_report(0.0f, ORVA_ERROR_NOT_FOUND));
    EXPECT_TRUE(reporter.start_async_report(0.5f, ORVA_ERROR_KELDRA_CANCELLED));
    int pass_no = 0;
    run(pass, 10, &pass_no);
  });
  EXPECT_EQ(Reports({{0.5f, ORVA_ERROR_KELDRA_CANCELLED}}), handler.reports);
}

TEST_P(IdleNotifierLoops, CancelledReportIsDropped) {
  Handler handler;
  with_loop([&](const Pass& pass) {
    AsyncErrorReporter reporter(handler);
    EXPECT_TRUE(reporter.start_async_report(0.0f, 1));
    reporter.cancel();
    int pass_no = 0;
    run(pass, 5, &pass_no);
  });
  EXPECT_TRUE(handler.reports.empty());
}

// The handler may destroy the reporter, or start the next report, from inside its
// call; both the report it receives and the next one must arrive intact.
TEST_P(IdleNotifierLoops, HandlerMayDestroyOrRestartTheReporter) {
  Handler handler;
  with_loop([&](const Pass& pass) {
    AsyncErrorReporter* reporter = new AsyncErrorReporter(handler);
    handler.during = [&] {
      if (handler.reports.size() == 1) {
        EXPECT_TRUE(reporter->start_async_report(0.0f, 2));
      } else {
        delete reporter;
        reporter = nullptr;
      }
    };
    EXPECT_TRUE(reporter->start_async_report(0.0f, 1));
    int pass_no = 0;
    run(pass, 10, &pass_no);
    EXPECT_EQ(nullptr, reporter);
    delete reporter;
  });
  EXPECT_EQ(Reports({{0.0f, 1}, {0.0f, 2}}), handler.reports);
}

}  // namespace
