// The task options of one sync request, built by the sync service and copied by the
// task manager. Plain record.
#pragma once

#include <cstdint>

namespace orva {
namespace keldra {
namespace internal {

struct KeldSyncOptions {
  uint32_t tasks = 0;             // the task bits
  bool local_ids_given = false;   // a list of local ids limits the work
  uint32_t cascading = 0;         // depth to which children of the local ids are included
  bool global_ids_given = false;  // the request carries global ids
  bool cascade = false;           // downloads and subscriptions by global id take linked objects

  bool operator==(const KeldSyncOptions& o) const {
    return tasks == o.tasks && local_ids_given == o.local_ids_given &&
           cascading == o.cascading && global_ids_given == o.global_ids_given &&
           cascade == o.cascade;
  }
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
