// Calls a Notifiable on every idle pass of the calling thread's event loop until it
// returns false.
//
// Under a Qt event loop the calls come from a zero-interval Qt timer. A thread without
// a Qt event dispatcher (one that only iterates a GLib main context, where a Qt timer
// would never fire) gets a GLib idle source on its thread-default GLib context (the
// global default context unless the thread pushed its own). The global context is
// taken only on the application's main thread, or when there is no QCoreApplication:
// any other thread without a context of its own (a std::thread that will run a Qt
// event loop, also one made after start) is given its Qt event dispatcher by start, so
// that the calls stay on it. start, cancel, the calls and destruction all happen on
// the thread that owns the notifier; no locks.
//
// The Notifiable may destroy the notifier (or its owner) from inside notify(): the
// notifier then touches nothing of itself after the call.
#pragma once

#include <QObject>
#include <QString>

class QTimer;
struct _GSource;

namespace orva {
namespace keldra {
namespace internal {

class Notifiable;

class IdleNotifier : public QObject {
  Q_OBJECT

 public:
  explicit IdleNotifier(QObject* parent);
  // Pending calls end; none follows.
  ~IdleNotifier() override;

  // Schedules calls of notifiable->notify() (not owned; |name| is used in log lines).
  // A start while calls are pending replaces the Notifiable and keeps one schedule.
  // True when the calls are scheduled, and for a null |notifiable| (nothing is
  // scheduled then, and calls pending from an earlier start end); false when neither a Qt timer nor
  // a GLib idle source could be set up.
  bool start(Notifiable* notifiable, const char* name);

  // The GLib idle callback; |data| is the notifier. Keeps the source (TRUE) until
  // cancel removes it.
  static int idle(void* data);

 public slots:
  // One call of notify(); when it returns false (and the notifier was not started
  // again meanwhile), cancel().
  void idle();
  // Ends the pending calls and forgets the Notifiable; harmless when nothing is pending.
  void cancel();

 private:
  // Stops the timer and removes the GLib idle source, if any.
  void unschedule();
  // Whether the calling thread, having no Qt event dispatcher, must get one: it is not
  // the application's main thread and has pushed no GLib context of its own.
  static bool needs_qt_dispatcher();

  Notifiable* m_notifiable;
  QString m_name;
  QTimer* m_timer;
  _GSource* m_source;        // the pending GLib idle source, or null
  unsigned int m_starts;     // counts start calls, to see a restart from inside notify
  bool* m_destroyed;         // set by the destructor while a call is in progress
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
