#include "adaptation_umbo/thread/Mutex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using orva::keldra::internal::Mutex;
using orva::keldra::internal::MutexBase;

TEST(Mutex, SecondThreadBlocksUntilExit) {
  Mutex m;
  std::atomic<bool> entered(false);
  m.enter();
  std::thread other([&] {
    m.enter();
    entered = true;
    m.exit();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(entered.load());
  m.exit();
  other.join();
  EXPECT_TRUE(entered.load());
}

TEST(Mutex, SerialisesWriters) {
  Mutex m;
  long counter = 0;  // plain on purpose: only the mutex protects it
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        m.enter();
        long v = counter;
        std::this_thread::yield();
        counter = v + 1;
        m.exit();
        if (i == 100) std::this_thread::yield();
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(80000, counter);
}

TEST(Mutex, InstanceIsOneMutexForAllThreads) {
  Mutex* first = &MutexBase::instance();
  EXPECT_EQ(first, &MutexBase::instance());
  Mutex* from_thread = nullptr;
  std::thread([&] { from_thread = &MutexBase::instance(); }).join();
  EXPECT_EQ(first, from_thread);
  first->enter();
  first->exit();
}

TEST(MutexDeathTest, FailingPosixCallEndsWithAssertion) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // Destroying a held mutex fails (EBUSY).
  EXPECT_DEATH(
      {
        Mutex m;
        m.enter();
      },
      "Mutex_posix.cpp:[0-9]+.*Assertion `false' failed");
}

}  // namespace
