// Abstract auto-reset event of the platform layer: one thread signals, another waits
// for the signal with a time limit. The POSIX implementation is Event.
#pragma once

namespace orva {
namespace keldra {
namespace internal {

class EventBase {
 public:
  enum EVT_WAIT_RET : int {
    EVT_WAIT_SIGNALED = 1,  // the signal came and was consumed
    EVT_WAIT_TIMEOUT = 2    // the time limit passed without a signal
  };
  // Wait time that means "no time limit".
  static constexpr unsigned int WAIT_INFINITE = 0xFFFFFFFFu;

  virtual ~EventBase() {}

  // Sets the flag and wakes the waiters; several signals before one wait count as one.
  virtual void signal() = 0;
  // Waits at most |ms| milliseconds (WAIT_INFINITE: for ever) for the flag and clears it.
  virtual EVT_WAIT_RET wait(unsigned int ms) = 0;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
