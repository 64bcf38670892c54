// Calls a Notifiable from its owner thread's event loop when another thread asks for it
// (wake), instead of on every idle pass: a thread that waits for a worker's news spends
// nothing while the worker has none.
//
// Under a Qt event loop the call comes from an event posted to the notifier; a thread
// without a Qt event dispatcher gets a GLib source on its thread-default context,
// readied by wake(). Wakes that come before the call are merged into one call.
//
// Threads: start, cancel, the calls and destruction happen on the owner thread (the one
// that created the notifier); wake() may be called from any thread, also while the
// owner is inside start or cancel, but not once the destructor has begun (the caller
// stops its other threads first). The Notifiable may destroy the notifier (or its
// owner) from inside notify(): the notifier then touches nothing of itself afterwards.
#pragma once

#include <QObject>

#include <atomic>
#include <mutex>

struct _GSource;

namespace orva {
namespace keldra {
namespace internal {

class Notifiable;

class WakeNotifier : public QObject {
 public:
  WakeNotifier();
  // No call follows, a pending one is dropped.
  ~WakeNotifier() override;

  // Owner thread. From now on each wake leads to one call of notifiable->notify()
  // (not owned); a start while armed only replaces the Notifiable. False when neither
  // a Qt event nor a GLib source can reach this thread.
  bool start(Notifiable* notifiable);
  // Owner thread. Disarms: no call follows until the next start.
  void cancel();

  // Any thread. Schedules one call, unless one is already scheduled. A notify() that
  // returns true is followed by another call as if woken again.
  void wake();

 protected:
  void customEvent(QEvent* event) override;

 private:
  static int fire_source(void* data);
  void fire();
  void post_locked();

  std::mutex m_mutex;          // guards the arming and the GLib source against wake()
  Notifiable* m_notifiable;    // owner thread only
  _GSource* m_source;          // the GLib path's source, or null on the Qt path
  bool m_armed;                // under m_mutex
  std::atomic<bool> m_posted;  // a call is scheduled and has not begun
  bool* m_destroyed;           // set by the destructor while a call is in progress
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
