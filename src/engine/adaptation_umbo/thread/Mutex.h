// Plain non-recursive lock of the POSIX layer.
//
// The logger serialises its lines with one; the search worker guards the values it
// shares with its starting thread with one. A failing POSIX call is a broken
// invariant and ends the process with an assertion. Writes no log lines, so the
// logger can take it while logging.
#pragma once

#include <pthread.h>

namespace orva {
namespace keldra {
namespace internal {

class Mutex {
 public:
  Mutex();
  ~Mutex();
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  void enter();  // blocks until the lock is free; never nested by a user
  void exit();

 private:
  pthread_mutex_t m_mutex;
};

class MutexBase {
 public:
  // The one process-wide mutex, constructed on first call, destroyed at exit.
  static Mutex& instance();
};

// Holds a Mutex for the lifetime of the guard.
class MutexLocker {
 public:
  explicit MutexLocker(Mutex& mutex) : m_mutex(mutex) { m_mutex.enter(); }
  ~MutexLocker() { m_mutex.exit(); }
  MutexLocker(const MutexLocker&) = delete;
  MutexLocker& operator=(const MutexLocker&) = delete;

 private:
  Mutex& m_mutex;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
