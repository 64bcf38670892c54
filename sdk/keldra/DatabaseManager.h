// DatabaseManager: the calling thread's stored services and their data adapters.
//
// Static operations only; they reach the thread's manager through Static::instance(),
// which they hold for the duration of the call. The returned adapter keeps itself alive.
// Thread: each thread has its own manager, adapters and database connections.
#pragma once

#include <keldra/DataAdapter.h>
#include <keldra/SharedPointer.h>

#include <string>
#include <vector>

namespace orva {
namespace keldra {

class DatabaseManager {
 public:
  // Appends the names of the thread's services; nothing when the thread's holder cannot
  // be made.
  static void get_services(std::vector<std::string>& out);
  // The data adapter of |service| ("personal" is the only one), created on first
  // request; empty for any other name or when nothing can be made.
  static orva::SharedPointer<DataAdapter> open(const std::string& service);

 private:
  DatabaseManager() = delete;
};

}  // namespace keldra
}  // namespace orva
