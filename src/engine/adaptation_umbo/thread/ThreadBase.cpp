#include "adaptation_umbo/thread/ThreadBase.h"

#include <keldra/LoggerUmbo.h>

#include <keldra/Invariant.h>
#include <cerrno>
#include <ctime>

// A broken precondition stops the process with an assertion naming it, also in
// builds without assertions.
#define REQUIRE(condition)                                                                  \
  do {                                                                                      \
    if (!(condition))                                                                       \
      ::orva::keldra::internal::invariant_failed(#condition, __FILE__, __LINE__, __func__); \
  } while (0)

namespace orva {
namespace keldra {
namespace internal {

ThreadBase::ThreadBase()
    : m_self(nullptr),
      m_client_callback(nullptr),
      m_client_arg(nullptr),
      m_thread_id(0),
      m_stopped(true),
      m_loop_ended(true),
      m_run_type(RUN_REPEAT),
      m_finished_event(nullptr),
      m_interrupt_hook(nullptr),
      m_interrupt_arg(nullptr) {}

ThreadBase::~ThreadBase() {
  // The platform destructor has joined the worker; nothing reads the event now.
  delete m_finished_event;
}

void ThreadBase::create(Callback client_callback, void* arg, RUN_TYPE run_type) {
  REQUIRE(m_thread_id == 0);
  REQUIRE(client_callback != 0);
  m_client_callback = client_callback;
  m_client_arg = arg;
  m_run_type = run_type;
  m_stopped = false;
  m_loop_ended = false;
  m_self = this;
  m_thread_id = platform_create();
  if (m_thread_id == 0) {
    m_stopped = true;
    LoggerUmbo::log("ThreadBase::create: the thread could not be started", LoggerUmbo::MSG_ERROR);
  }
}

void ThreadBase::release(unsigned int ms) {
  if (m_thread_id == 0) return;
  m_thread_id = 0;
  m_stopped = true;
  // A loop that ended but has not yet signalled has nothing left to interrupt.
  if (m_finished_event->wait(ms) == EventBase::EVT_WAIT_SIGNALED || m_loop_ended) {
    platform_release();
    return;
  }
  LoggerUmbo::logf(LoggerUmbo::MSG_WARNING,
                   "ThreadBase::release: worker still busy after %u ms, interrupting it", ms);
  if (m_interrupt_hook) m_interrupt_hook(m_interrupt_arg);
  platform_forced_release();
}

void ThreadBase::set_priority(int priority) {
  REQUIRE(m_thread_id != 0);
  platform_set_priority(priority);
}

void ThreadBase::sleep(unsigned int ms) {
  timespec left;
  left.tv_sec = static_cast<time_t>(ms / 1000);
  left.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

void ThreadBase::wrapper_client_callback(void* self) {
  ThreadBase* thread = *static_cast<ThreadBase**>(self);
  for (;;) {
    if (thread->m_stopped) break;
    thread->m_client_callback(thread->m_client_arg);
    if (thread->m_run_type == RUN_ONCE) break;
  }
  thread->m_stopped = true;
  thread->m_loop_ended = true;
  thread->m_finished_event->signal();
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
