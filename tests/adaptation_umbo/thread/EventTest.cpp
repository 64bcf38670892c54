#include "adaptation_umbo/thread/Event.h"

#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

using orva::keldra::internal::Event;
using orva::keldra::internal::EventBase;

const EventBase::EVT_WAIT_RET S = EventBase::EVT_WAIT_SIGNALED;
const EventBase::EVT_WAIT_RET T = EventBase::EVT_WAIT_TIMEOUT;

// Lets other threads reach their blocking call. Only orders the scenario; no result
// depends on how long it takes.
void let_threads_block() {
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

struct FlagCase {
  const char* name;
  const char* ops;  // 's' signal, 'w' wait(0)
  std::vector<EventBase::EVT_WAIT_RET> expected;
};

TEST(Event, FlagIsAutoResetAndSignalsDoNotAccumulate) {
  const FlagCase cases[] = {
      {"no signal pending", "w", {T}},
      {"signal then two waits", "sww", {S, T}},
      {"two signals count as one", "ssww", {S, T}},
      {"signal after consume is pending again", "swsw", {S, S}},
  };
  for (const FlagCase& c : cases) {
    SCOPED_TRACE(c.name);
    Event event;
    std::vector<EventBase::EVT_WAIT_RET> got;
    for (const char* op = c.ops; *op; ++op) {
      if (*op == 's') event.signal();
      if (*op == 'w') got.push_back(event.wait(0));
    }
    EXPECT_EQ(c.expected, got);
  }
}

TEST(Event, WaitsUntilAnotherThreadSignals) {
  for (unsigned int ms : {EventBase::WAIT_INFINITE, 60000u}) {
    Event event;
    std::atomic<bool> returned(false);
    EventBase::EVT_WAIT_RET result = T;
    std::thread waiter([&] {
      result = event.wait(ms);
      returned = true;
    });
    let_threads_block();
    EXPECT_FALSE(returned);
    event.signal();
    waiter.join();
    EXPECT_EQ(S, result);
    EXPECT_EQ(T, event.wait(0)) << "the signal was consumed";
  }
}

TEST(Event, TimedOutWaitLeavesALaterSignalPending) {
  Event event;
  EXPECT_EQ(T, event.wait(5));
  event.signal();
  EXPECT_EQ(S, event.wait(5));
}

TEST(Event, WaitForStateReturnsAtOnceWhenStateMatches) {
  Event event;
  event.set_state(2);
  event.wait_for_state(2);
  EXPECT_EQ(2, event.state());
}

TEST(Event, SignalStateChangeReleasesStateWaiterWithoutTouchingFlag) {
  Event event;
  event.set_state(0);
  std::thread waiter([&] { event.wait_for_state(2); });
  let_threads_block();
  event.signal_state_change(2);
  waiter.join();
  EXPECT_EQ(2, event.state());
  EXPECT_EQ(T, event.wait(0)) << "a state change sets no flag";
}

TEST(Event, SignalIfWaitingActsOnlyInStateOne) {
  const struct {
    Event::State state;
    EventBase::EVT_WAIT_RET expected;
  } cases[] = {{0, T}, {1, S}, {2, T}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.state);
    Event event;
    event.set_state(c.state);
    event.signal_if_waiting();
    EXPECT_EQ(c.expected, event.wait(0));
  }
}

// A flag waiter and a state waiter share the one condition: a state change must reach
// the state waiter even when the flag waiter blocked first, and the flag waiter must
// go on waiting until its own signal comes.
TEST(Event, WakesEveryWaiterOfTheSharedCondition) {
  for (int round = 0; round < 5; ++round) {
    SCOPED_TRACE(round);
    Event event;
    event.set_state(0);
    Event state_reached;
    std::atomic<bool> flag_returned(false);
    std::thread flag_waiter([&] {
      event.wait(EventBase::WAIT_INFINITE);
      flag_returned = true;
    });
    let_threads_block();
    std::thread state_waiter([&] {
      event.wait_for_state(2);
      state_reached.signal();
    });
    let_threads_block();

    event.signal_state_change(2);
    bool reached = state_reached.wait(10000) == S;
    EXPECT_TRUE(reached) << "the state change did not reach its waiter";
    while (!reached) {  // unblock a faulty build so the test can end
      event.signal_state_change(2);
      reached = state_reached.wait(10) == S;
    }
    state_waiter.join();
    EXPECT_FALSE(flag_returned) << "a state change must not satisfy a flag waiter";

    event.signal();
    flag_waiter.join();
    EXPECT_TRUE(flag_returned);
  }
}

TEST(Event, DeadlineCarriesIntoSeconds) {
  const struct {
    long sec, usec;
    size_t delay;
    long want_sec, want_nsec;
  } cases[] = {
      {10, 700000, 1500, 12, 200000000},
      {10, 0, 0, 10, 0},
      {10, 999999, 1, 11, 999000},
      {10, 500000, 999, 11, 499000000},
      {10, 0, 1999999, 2009, 999000000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.delay);
    timeval now;
    now.tv_sec = c.sec;
    now.tv_usec = c.usec;
    timespec out;
    orva::keldra::internal::get_abs_time_delay_from(now, c.delay, out);
    EXPECT_EQ(c.want_sec, out.tv_sec);
    EXPECT_EQ(c.want_nsec, out.tv_nsec);
  }
}

TEST(EventDeathTest, DelayOfTwoMillionMillisecondsIsRefused) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  timespec out;
  EXPECT_DEATH(orva::keldra::internal::get_abs_time_delay(2000000, out),
               "Assertion `delay_ms < 2000000' failed");
}

TEST(Event, TracesATimedOutWait) {
  keldra_test::LogCapture log;
  {
    Event event;
    event.wait(0);
  }
  const std::string text = log.text();
  const char* lines[] = {"Event::Event ++",
                         "Event::Event --",
                         "Event::wait() ++",
                         "pthread_cond_timedwait ++",
                         "pthread_cond_timedwait wait_result: 110 --",
                         "Event::wait() EVT_WAIT_TIMEOUT --",
                         "Event::~Event() ++",
                         "Event::~Event() --"};
  size_t at = 0;
  for (const char* line : lines) {
    size_t found = text.find(std::string("]:") + line + "\n", at);
    ASSERT_NE(std::string::npos, found) << line << " missing or out of order in:\n" << text;
    at = found;
  }
}

}  // namespace
