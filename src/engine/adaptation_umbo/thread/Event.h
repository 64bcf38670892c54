// POSIX auto-reset event with an integer state.
//
// The flag is set by signal() (or by signal_if_waiting() in state 1) and cleared by
// the wait() that consumes it; a signal with nobody waiting stays pending. Apart from
// the flag the event carries a state that one thread sets and another waits for with
// wait_for_state(); the state values belong to the owner (the event itself knows
// only 1, "the worker waits for a signal"). wait() never looks at the state and
// wait_for_state() never touches the flag.
//
// Every field is guarded by the event's own mutex, so every operation may be called
// from any thread. One condition serves both the flag and the state, so every
// wake-up reaches all blocked threads and each re-checks its own condition.
// Operations write trace lines (type 32) through the logger. A failing POSIX call
// ends the process with an assertion; nothing is reported to the caller.
#pragma once

#include "adaptation_umbo/thread/EventBase.h"

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <pthread.h>
#include <sys/time.h>

namespace orva {
namespace keldra {
namespace internal {

class Event : public EventBase {
 public:
  typedef int32_t State;

  Event();
  // Must not be called while another thread still uses the event.
  ~Event() override;
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void signal() override;
  // EVT_WAIT_SIGNALED when the flag was set or came within |ms| milliseconds (the flag
  // is then cleared), EVT_WAIT_TIMEOUT otherwise (the flag is left as it is, so a
  // signal that meets the expiry stays pending). wait(0) never blocks. A finite |ms|
  // must be below 2000000.
  EVT_WAIT_RET wait(unsigned int ms) override;

  // The state, read under the lock. The owner gives it a first value with set_state
  // before using any state operation.
  State state();
  // Writes the state without waking anybody.
  void set_state(State s);
  // Writes the state and wakes a thread blocked in wait_for_state.
  void signal_state_change(State s);
  // Blocks until the state equals |ws|; returns at once when it already does.
  void wait_for_state(State ws);
  // Sets the flag and wakes the waiters only while the state is 1.
  void signal_if_waiting();

 private:
  void wake_all();

  pthread_cond_t m_cond;
  pthread_mutex_t m_mutex;
  bool m_signaled;
  unsigned int m_state_waiting;  // threads blocked in wait_for_state
  State m_state;
};

// The absolute wall-clock deadline |delay_ms| milliseconds from now (the clock of the
// event's condition). |delay_ms| must be below 2000000.
void get_abs_time_delay(size_t delay_ms, timespec& out);
// The same deadline counted from |now|.
void get_abs_time_delay_from(const timeval& now, size_t delay_ms, timespec& out);

}  // namespace internal
}  // namespace keldra
}  // namespace orva
