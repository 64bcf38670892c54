#include "adaptation_umbo/base/Notifiable.h"
#include "adaptation_umbo/base/WakeNotifier.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <glib.h>

#include <functional>
#include <thread>
#include <vector>

namespace {

using orva::keldra::internal::Notifiable;
using orva::keldra::internal::WakeNotifier;

typedef std::function<void()> Pass;

// Counts its calls and the threads they came on; |again| answers each call.
struct Counter : Notifiable {
  bool notify() override {
    ++calls;
    threads.push_back(std::this_thread::get_id());
    if (during) during();
    return calls < again_until;
  }
  int calls = 0;
  int again_until = 0;
  std::vector<std::thread::id> threads;
  std::function<void()> during;
};

void passes(const Pass& pass, int n) {
  for (int i = 0; i < n; ++i) pass();
}

// Wakes |notifier| |times| times from another thread and waits for that thread.
void wake_from_elsewhere(WakeNotifier& notifier, int times) {
  std::thread other([&] {
    for (int i = 0; i < times; ++i) notifier.wake();
  });
  other.join();
}

class WakeNotifierLoops : public ::testing::TestWithParam<bool> {
 protected:
  // Runs |body| on this (Qt) thread, or on a thread without Qt that iterates its own
  // GLib context.
  void with_loop(const std::function<void(const Pass&)>& body) {
    if (!GetParam()) {
      body([] { QCoreApplication::processEvents(); });
      return;
    }
    std::thread owner([&] {
      GMainContext* context = g_main_context_new();
      g_main_context_push_thread_default(context);
      body([context] { g_main_context_iteration(context, FALSE); });
      g_main_context_pop_thread_default(context);
      g_main_context_unref(context);
    });
    owner.join();
  }
};

INSTANTIATE_TEST_SUITE_P(Loop, WakeNotifierLoops, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("GLib") : std::string("Qt");
                         });

TEST_P(WakeNotifierLoops, CallsOnlyWhenWokenMergingWakesOnTheOwnerThread) {
  with_loop([](const Pass& pass) {
    Counter counter;
    WakeNotifier notifier;
    ASSERT_TRUE(notifier.start(&counter));
    passes(pass, 20);
    EXPECT_EQ(0, counter.calls);  // armed but idle: no calls at all

    wake_from_elsewhere(notifier, 50);
    passes(pass, 20);
    ASSERT_EQ(1, counter.calls);  // the wakes before the call make one call
    EXPECT_EQ(std::this_thread::get_id(), counter.threads[0]);

    wake_from_elsewhere(notifier, 1);
    passes(pass, 20);
    EXPECT_EQ(2, counter.calls);

    // True asks for another call; false waits for the next wake.
    counter.again_until = 5;
    notifier.wake();
    passes(pass, 20);
    EXPECT_EQ(5, counter.calls);

    notifier.cancel();
    wake_from_elsewhere(notifier, 1);
    passes(pass, 20);
    EXPECT_EQ(5, counter.calls);
  });
}

TEST_P(WakeNotifierLoops, NotifiableMayDestroyTheNotifierOrWakeItAgain) {
  with_loop([](const Pass& pass) {
    Counter counter;
    WakeNotifier* notifier = new WakeNotifier;
    notifier->start(&counter);
    counter.during = [&] {
      if (counter.calls == 1) {
        notifier->wake();  // from inside the call: one more call
      } else {
        delete notifier;
        notifier = nullptr;
      }
    };
    wake_from_elsewhere(*notifier, 1);
    passes(pass, 20);
    EXPECT_EQ(2, counter.calls);
    EXPECT_EQ(nullptr, notifier);

    // A pending call goes with its notifier.
    Counter other;
    WakeNotifier* pending = new WakeNotifier;
    pending->start(&other);
    wake_from_elsewhere(*pending, 1);
    delete pending;
    passes(pass, 20);
    EXPECT_EQ(0, other.calls);
  });
}

}  // namespace
