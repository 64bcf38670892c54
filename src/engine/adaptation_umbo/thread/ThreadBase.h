// Portable thread shell: runs a work function on a new thread, once or repeatedly,
// and stops it again.
//
// The object is driven by its owner's thread (create, release, destruction) and read
// by the worker it starts. Stopping is cooperative: release() sets a stop flag that
// the work loop tests before every call (a long work function may poll is_active()
// to end early), waits a bounded time for the loop to end, then asks the work to
// return through the interrupt hook and joins the thread in every case. A thread is
// therefore never abandoned or killed while it holds a lock or is inside a library,
// and the object and its events are never freed while the worker runs. The platform
// half (Thread) starts and joins the threads.
#pragma once

#include "adaptation_umbo/thread/EventBase.h"

#include <atomic>
#include <cstdint>

namespace orva {
namespace keldra {
namespace internal {

class ThreadBase {
 public:
  // 0 runs the work function once; any other value repeats it until the thread is
  // stopped.
  enum RUN_TYPE : int { RUN_ONCE = 0, RUN_REPEAT = 1 };

  typedef void (*Callback)(void* arg);

  ThreadBase();
  // The platform half must have released the thread before this runs.
  virtual ~ThreadBase();
  ThreadBase(const ThreadBase&) = delete;
  ThreadBase& operator=(const ThreadBase&) = delete;

  virtual void set_debugger_name(const char*) {}

  // Starts a thread that calls client_callback(arg) as |run_type| says. Preconditions
  // (assertions): no thread exists ("m_thread_id == 0"), the callback is not null.
  // When the platform refuses to start a thread the object stays idle and is_active()
  // is false.
  void create(Callback client_callback, void* arg, RUN_TYPE run_type);

  // Stops the thread: the loop ends after the current call of the work function (a
  // loop that has not begun calls it no time). Waits at most |ms| milliseconds for
  // the loop to end; when it has not, calls the interrupt hook and then waits for the
  // work function to return. The thread is always joined before this returns.
  // Harmless when no thread exists. Afterwards the object can be started again.
  void release(unsigned int ms);

  // True from create until the loop ends or a stop is requested. Safe to call from
  // the worker, which may poll it to end a long call early.
  bool is_active() const { return !m_stopped.load(); }

  // The platform thread id (32 bits); 0 when no thread was started or after release.
  uint32_t thread_id() const { return m_thread_id; }

  // Precondition (assertion): a thread exists ("m_thread_id != 0").
  void set_priority(int priority);

  // Called on the owner's thread by release() when the loop has not ended within the
  // wait, so that the work function returns sooner (for example by interrupting a
  // running database statement). Set by the owner; may be null.
  void set_interrupt_hook(Callback hook, void* arg) {
    m_interrupt_hook = hook;
    m_interrupt_arg = arg;
  }

  // Suspends the calling thread for |ms| milliseconds.
  static void sleep(unsigned int ms);

  // The work loop; runs on the new thread. |self| is the address of m_self.
  static void wrapper_client_callback(void* self);

 protected:
  // Creates m_finished_event anew (deleting the previous one) and starts the thread
  // with &m_self as argument. Returns the 32-bit thread id, 0 when no thread started.
  virtual uint32_t platform_create() = 0;
  // Joins the thread whose loop has ended.
  virtual void platform_release() = 0;
  // Joins a thread whose loop did not end within the wait; called after the
  // interrupt hook. Waits as long as the work function takes.
  virtual void platform_forced_release() = 0;
  virtual void platform_set_priority(int priority) = 0;

  ThreadBase* m_self;
  Callback m_client_callback;
  void* m_client_arg;
  uint32_t m_thread_id;
  std::atomic<bool> m_stopped;
  std::atomic<bool> m_loop_ended;  // set by the worker when its loop is over
  RUN_TYPE m_run_type;
  EventBase* m_finished_event;
  Callback m_interrupt_hook;
  void* m_interrupt_arg;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
