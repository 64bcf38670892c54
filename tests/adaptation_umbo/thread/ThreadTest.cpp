#include "adaptation_umbo/thread/Event.h"
#include "adaptation_umbo/thread/Thread.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

using orva::keldra::internal::Event;
using orva::keldra::internal::EventBase;
using orva::keldra::internal::Thread;
using orva::keldra::internal::ThreadBase;

// What a work function did, seen from the owner.
struct Work {
  std::atomic<int> entered{0};
  std::atomic<int> left{0};
  std::atomic<int> interrupts{0};
  std::atomic<bool> interrupted{false};
  Event reached;      // signalled when |entered| reaches |signal_at|
  int signal_at = 1;
  Thread* thread = nullptr;

  static void count(void* arg) {
    Work* w = static_cast<Work*>(arg);
    if (++w->entered == w->signal_at) w->reached.signal();
    ++w->left;
  }
  // Busy until the interrupt hook asks it to return.
  static void until_interrupted(void* arg) {
    Work* w = static_cast<Work*>(arg);
    if (++w->entered == w->signal_at) w->reached.signal();
    while (!w->interrupted) ThreadBase::sleep(1);
    ++w->left;
  }
  // A long call that polls the stop flag.
  static void until_stopped(void* arg) {
    Work* w = static_cast<Work*>(arg);
    if (++w->entered == w->signal_at) w->reached.signal();
    while (w->thread->is_active()) ThreadBase::sleep(1);
    ++w->left;
  }
  static void interrupt(void* arg) {
    Work* w = static_cast<Work*>(arg);
    ++w->interrupts;
    w->interrupted = true;
  }
};

TEST(Thread, ReleaseWithoutThreadDoesNothing) {
  Thread thread;
  thread.release(0);
  thread.release(100);
  EXPECT_FALSE(thread.is_active());
  EXPECT_EQ(0u, thread.thread_id());
}

TEST(Thread, RunOnceCallsTheWorkOnceAndFinishesByItself) {
  Work work;
  Thread thread;
  thread.set_interrupt_hook(&Work::interrupt, &work);
  thread.create(&Work::count, &work, ThreadBase::RUN_ONCE);
  EXPECT_NE(0u, thread.thread_id());
  ASSERT_EQ(EventBase::EVT_WAIT_SIGNALED, work.reached.wait(60000));
  for (int i = 0; i < 60000 && thread.is_active(); ++i) ThreadBase::sleep(1);
  EXPECT_FALSE(thread.is_active());
  EXPECT_NE(0u, thread.thread_id()) << "a finished thread keeps its id until released";

  thread.release(0);  // the loop has ended: joins without waiting or interrupting
  EXPECT_EQ(1, work.entered);
  EXPECT_EQ(1, work.left);
  EXPECT_EQ(0, work.interrupts);
  EXPECT_EQ(0u, thread.thread_id());
  thread.release(0);
}

TEST(Thread, RepeatRunsUntilReleasedAndJoins) {
  Work work;
  work.signal_at = 5;
  Thread thread;
  thread.create(&Work::count, &work, ThreadBase::RUN_REPEAT);
  ASSERT_EQ(EventBase::EVT_WAIT_SIGNALED, work.reached.wait(60000));
  EXPECT_TRUE(thread.is_active());
  thread.release(60000);
  EXPECT_FALSE(thread.is_active());
  EXPECT_EQ(0u, thread.thread_id());
  const int calls = work.entered;
  EXPECT_GE(calls, 5);
  EXPECT_EQ(calls, work.left) << "release returned while a call was running";
  ThreadBase::sleep(5);
  EXPECT_EQ(calls, work.entered) << "a call ran after release";
}

TEST(Thread, WorkThatPollsTheStopFlagEndsWithoutInterrupt) {
  Work work;
  Thread thread;
  work.thread = &thread;
  thread.set_interrupt_hook(&Work::interrupt, &work);
  thread.create(&Work::until_stopped, &work, ThreadBase::RUN_ONCE);
  ASSERT_EQ(EventBase::EVT_WAIT_SIGNALED, work.reached.wait(60000));
  thread.release(60000);
  EXPECT_EQ(1, work.left);
  EXPECT_EQ(0, work.interrupts);
}

// A worker still busy when the wait ends is interrupted through the hook and joined,
// never cancelled: its call runs to its end before release returns.
TEST(Thread, LateWorkerIsInterruptedAndJoined) {
  for (ThreadBase::RUN_TYPE run_type : {ThreadBase::RUN_ONCE, ThreadBase::RUN_REPEAT}) {
    SCOPED_TRACE(run_type);
    Work work;
    Thread thread;
    thread.set_interrupt_hook(&Work::interrupt, &work);
    thread.create(&Work::until_interrupted, &work, run_type);
    ASSERT_EQ(EventBase::EVT_WAIT_SIGNALED, work.reached.wait(60000));
    thread.release(1);
    EXPECT_EQ(1, work.interrupts);
    EXPECT_EQ(1, work.entered);
    EXPECT_EQ(1, work.left) << "release returned before the worker's call ended";
    EXPECT_FALSE(thread.is_active());
  }
}

TEST(Thread, LateWorkerWithoutHookIsStillJoined) {
  Work work;
  {
    Thread thread;
    work.thread = &thread;
    thread.create(&Work::until_stopped, &work, ThreadBase::RUN_REPEAT);
    ASSERT_EQ(EventBase::EVT_WAIT_SIGNALED, work.reached.wait(60000));
    thread.release(0);
    EXPECT_EQ(1, work.left);
  }
  EXPECT_EQ(1, work.entered);
}

TEST(Thread, DestructionJoinsARunningWorker) {
  Work work;
  work.signal_at = 3;
  {
    Thread thread;
    thread.create(&Work::count, &work, ThreadBase::RUN_REPEAT);
    ASSERT_EQ(EventBase::EVT_WAIT_SIGNALED, work.reached.wait(60000));
  }
  const int calls = work.entered;
  EXPECT_EQ(calls, work.left);
  ThreadBase::sleep(5);
  EXPECT_EQ(calls, work.entered);
}

TEST(Thread, CanBeStartedAgainAfterRelease) {
  Work work;
  Thread thread;
  for (int run = 1; run <= 3; ++run) {
    work.signal_at = run;
    thread.create(&Work::count, &work, ThreadBase::RUN_ONCE);
    ASSERT_EQ(EventBase::EVT_WAIT_SIGNALED, work.reached.wait(60000));
    thread.release(60000);
    EXPECT_EQ(run, work.left);
  }
}

// Start and stop in every order the owner can produce: release before the worker's
// first loop test, during a call, after the loop ended by itself. Every release must
// join (no call runs or starts afterwards) and leave the object reusable.
TEST(Thread, StressStartAndStop) {
  Work work;
  work.signal_at = -1;  // never signalled
  Thread thread;
  for (int i = 0; i < 400; ++i) {
    const ThreadBase::RUN_TYPE run_type = (i % 2) ? ThreadBase::RUN_REPEAT : ThreadBase::RUN_ONCE;
    const int before = work.entered;
    thread.create(&Work::count, &work, run_type);
    if (i % 3 == 1) ThreadBase::sleep(0);
    if (i % 7 == 3) thread.is_active();
    thread.release((i % 4 == 0) ? 0 : 100);
    ASSERT_EQ(work.entered.load(), work.left.load()) << "iteration " << i;
    ASSERT_FALSE(thread.is_active());
    if (run_type == ThreadBase::RUN_ONCE) {
      ASSERT_LE(work.entered - before, 1) << "iteration " << i;
    }
  }
  const int calls = work.entered;
  ThreadBase::sleep(5);
  EXPECT_EQ(calls, work.entered);
}

TEST(ThreadDeathTest, PreconditionsStopTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        Thread thread;
        thread.create(nullptr, nullptr, ThreadBase::RUN_ONCE);
      },
      "Assertion `client_callback != 0' failed");
  EXPECT_DEATH(
      {
        Thread thread;
        thread.set_priority(0);
      },
      "Assertion `m_thread_id != 0' failed");
  EXPECT_DEATH(
      {
        Work work;
        work.signal_at = -1;
        Thread thread;
        work.thread = &thread;
        thread.create(&Work::until_stopped, &work, ThreadBase::RUN_ONCE);
        thread.create(&Work::until_stopped, &work, ThreadBase::RUN_ONCE);
      },
      "Assertion `m_thread_id == 0' failed");
}

}  // namespace
