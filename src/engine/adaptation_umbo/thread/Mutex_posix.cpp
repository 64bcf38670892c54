#include "adaptation_umbo/thread/Mutex.h"

#include <cassert>
#include <cstdlib>
#include <memory>

namespace orva {
namespace keldra {
namespace internal {

namespace {
// Failures of the POSIX calls are invariants: they must stop the process even in
// builds without assertions.
inline void check(bool ok) {
  assert(ok && "false");
  if (!ok) abort();
}
}  // namespace

Mutex::Mutex() {
  pthread_mutexattr_t attr;
  check(pthread_mutexattr_init(&attr) == 0);
  check(pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_NORMAL) == 0);
  check(pthread_mutex_init(&m_mutex, &attr) == 0);
  pthread_mutexattr_destroy(&attr);
}

Mutex::~Mutex() { check(pthread_mutex_destroy(&m_mutex) == 0); }

void Mutex::enter() { check(pthread_mutex_lock(&m_mutex) == 0); }

void Mutex::exit() { check(pthread_mutex_unlock(&m_mutex) == 0); }

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
