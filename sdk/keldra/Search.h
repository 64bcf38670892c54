// Search: finds the local ids of the stored objects that match one criterion, without
// blocking the caller.
//
// A repository hands out one search object (Repository::get_searcher) and reuses it
// for every search. start() returns at once; the search runs on a worker thread of its
// own, and the ProgressHandler given to start hears every change later, from the
// calling thread's event loop: (0.5, ORVA_ERROR_KELDRA_IN_PROGRESS) while rows arrive,
// then the end: (1.0, 0) when done, (1.0, ORVA_ERROR_KELDRA_CANCELLED) after cancel(),
// (0.5, code) when the database failed during the run, (0.0, code) when it could not
// be opened. A refused start is reported the same way, later, as (0.0, code): 3 for a
// criterion that is not for the service "personal" (a criterion has no service id
// until set_service_id(KELD_SERVICE_PERSONAL) gives it one) or that cannot be
// searched, 7 while a search runs (that search goes on and keeps its handler), 1 when
// the event loop cannot be used.
//
// Results: get_results() holds the ids as of the latest report. With the sort
// preference key 1 (by name) and order 1 (ascending) or 2 (descending) the final list
// is ordered by the names' sort keys, objects without a name first (ascending) or last
// (descending), equal keys in the order found; otherwise the ids come in the order the
// database returned them. While a sorted search runs, the ids found so far are listed
// in the order found.
//
// Thread: every operation is called on the thread that created the search, which runs
// an event loop (Qt or GLib; see ProgressHandler.h for what serves). The handler must
// outlive the search's last report.
#pragma once

#include <keldra/ProgressHandler.h>
#include <keldra/RefCountable.h>

#include <cstdint>
#include <vector>

namespace orva {
namespace keldra {

class Criterion;

class Search : public orva::internal::RefCountable {
 public:
  struct SortPref {
    enum Order : uint32_t { ORDER_NONE = 0, ORDER_ASCENDING = 1, ORDER_DESCENDING = 2 };
    enum Key : uint32_t { KEY_NONE = 0, KEY_NAME = 1, KEY_DISTANCE = 2 };
    // Only key 1 with a non-zero order sorts; key 2 (distance) keeps the database's
    // row order.
    uint32_t order;
    uint32_t key;
  };

  ~Search() override;

  // Starts a search; every outcome, refusals included, reaches |handler| later.
  virtual void start(const Criterion& criterion, const SortPref& sort,
                     ProgressHandler& handler) = 0;
  // Ends a running search: returns once the worker has stopped, within milliseconds
  // also inside a long statement; the search then reports (1.0, 0x6006) with the ids
  // found so far. Returns at once when no search runs; nothing is reported then.
  virtual void cancel() = 0;
  virtual const std::vector<unsigned int>& get_results() const = 0;
  // True from an accepted start until the worker has ended that search.
  virtual bool is_active() const = 0;
};

}  // namespace keldra
}  // namespace orva
