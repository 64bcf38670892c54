// The thread's database manager: the registered services and, per service, its data
// adapter, created when first requested.
//
// Owned by the thread's Static, which creates it with new and deletes it first in its
// own destruction, while the thread's string pool still exists. Not reference
// counted. Holds the process logger and the thread's D-Bus event handler for its
// whole life. Used only on the thread that created it.
#pragma once

#include <keldra/LoggerUmbo.h>
#include <keldra/SharedPointer.h>

#include <string>
#include <vector>

namespace orva {
namespace keldra {

class DataAdapter;

namespace internal {

class DbusEventHandler;

class DatabaseManagerImpl {
 public:
  // One registered service and its adapter (empty until first requested).
  struct Service {
    std::string name;
    orva::SharedPointer<DataAdapter> adapter;
  };

  // Registers the one service "personal" (no adapter yet) and takes the logger and
  // the thread's D-Bus event handler (created when the thread has none). Throws
  // std::bad_alloc.
  DatabaseManagerImpl();
  // Releases every service's adapter, then the event handler and the logger.
  virtual ~DatabaseManagerImpl();

  // Appends the registered service names, in order.
  void get_services(std::vector<std::string>& out) const;

  // The adapter of the first service named |name|, created on its first request; empty
  // when no such service is registered or it can have no adapter.
  orva::SharedPointer<DataAdapter> get_data_adapter(const std::string& name);

 private:
  DatabaseManagerImpl(const DatabaseManagerImpl&) = delete;
  DatabaseManagerImpl& operator=(const DatabaseManagerImpl&) = delete;

  // Gives |service| a new adapter ("personal" only); whether it now holds one.
  bool create_data_adapter(Service& service);

  std::vector<Service> m_services;
  orva::SharedPointer<LoggerUmbo> m_logger;
  orva::SharedPointer<DbusEventHandler> m_dbus;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
