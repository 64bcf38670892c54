#include "adaptation_umbo/thread/Thread.h"

#include "adaptation_umbo/thread/Event.h"

#include <keldra/Invariant.h>
#include <cstdint>

namespace orva {
namespace keldra {
namespace internal {

Thread::Thread() : m_handle(), m_has_handle(false) {}

Thread::~Thread() { release(2000); }

uint32_t Thread::platform_create() {
  delete m_finished_event;
  m_finished_event = new Event;
  if (pthread_create(&m_handle, nullptr, &Thread::platform_callback, &m_self) != 0) {
    m_has_handle = false;
    return 0;
  }
  m_has_handle = true;
  // Thread ids are 32-bit values on the handset; keep that width (and never 0, which
  // means "no thread").
  uint32_t id = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(
      reinterpret_cast<void*>(m_handle)));
  return id != 0 ? id : 1;
}

void* Thread::platform_callback(void* self) {
  wrapper_client_callback(self);
  return nullptr;
}

void Thread::join() {
  if (!m_has_handle) return;
  // A failed join is a broken invariant: stop, also in builds without assertions.
  if (pthread_join(m_handle, nullptr) != 0)
    ::orva::keldra::internal::invariant_failed("0", __FILE__, __LINE__, __func__);
  m_has_handle = false;
  m_handle = pthread_t();
}

void Thread::platform_release() { join(); }

// The worker is never cancelled: it may hold the logger's mutex, be inside malloc or
// inside a database statement. It has been asked to stop (and interrupted through
// the hook), so waiting for it to return is the one safe end.
void Thread::platform_forced_release() { join(); }

}  // namespace internal
}  // namespace keldra
}  // namespace orva
