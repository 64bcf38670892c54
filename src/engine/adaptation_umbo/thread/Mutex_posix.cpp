#include "adaptation_umbo/thread/Mutex.h"

#include <keldra/Invariant.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace orva {
namespace keldra {
namespace internal {

// A failing POSIX call is a broken invariant: stop with the assertion "false", naming
// this file and line.
#define MUTEX_CHECK(ok)                                                   \
  do {                                                                    \
    if (!(ok)) invariant_failed("false", __FILE__, __LINE__, __func__); \
  } while (0)

Mutex::Mutex() {
  pthread_mutexattr_t attr;
  MUTEX_CHECK(pthread_mutexattr_init(&attr) == 0);
  MUTEX_CHECK(pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_NORMAL) == 0);
  MUTEX_CHECK(pthread_mutex_init(&m_mutex, &attr) == 0);
  MUTEX_CHECK(pthread_mutexattr_destroy(&attr) == 0);
}

Mutex::~Mutex() { MUTEX_CHECK(pthread_mutex_destroy(&m_mutex) == 0); }

void Mutex::enter() { MUTEX_CHECK(pthread_mutex_lock(&m_mutex) == 0); }

void Mutex::exit() { MUTEX_CHECK(pthread_mutex_unlock(&m_mutex) == 0); }

Mutex& MutexBase::instance() {
  static pthread_mutex_t init_lock = PTHREAD_MUTEX_INITIALIZER;
  static Mutex* s_mutex = nullptr;
  static std::unique_ptr<Mutex> s_owner;
  pthread_mutex_lock(&init_lock);
  if (!s_mutex) {
    s_owner.reset(new Mutex);
    s_mutex = s_owner.get();
  }
  pthread_mutex_unlock(&init_lock);
  return *s_mutex;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
