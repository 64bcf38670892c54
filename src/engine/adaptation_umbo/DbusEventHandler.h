// The thread's D-Bus event handler: the library's one contact with the session bus,
// towards the change-relay service and the sync daemon.
//
// Each thread has at most one handler, remembered in a thread-local word that holds
// no count; instance() creates it on the thread's first call, and the destructor
// clears the word, so the handler lives while counted holders (the thread's database
// manager, data adapters, the sync engine) keep it and the next instance() after the
// last release creates a new one. Holds the process logger for its whole life.
//
// Thread: created, used and destroyed on one thread; counts are not atomic.
#pragma once

#include <keldra/LoggerUmbo.h>
#include <keldra/SharedPointer.h>

#include <QObject>

namespace orva {
namespace keldra {
namespace internal {

class DbusEventHandler : public QObject, public orva::internal::RefCountable {
  Q_OBJECT

 public:
  // The calling thread's handler with one more count; created (without a parent
  // object) on the thread's first call. Throws std::bad_alloc.
  static orva::SharedPointer<DbusEventHandler> instance();

  ~DbusEventHandler() override;

 private:
  DbusEventHandler();
  DbusEventHandler(const DbusEventHandler&) = delete;
  DbusEventHandler& operator=(const DbusEventHandler&) = delete;

  orva::SharedPointer<LoggerUmbo> m_logger;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
