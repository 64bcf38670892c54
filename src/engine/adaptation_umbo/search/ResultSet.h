// The ids a search has found, in the order they arrived, and their final order.
//
// The worker appends ids as they arrive and, at the end of the run, sets the final
// order (made by sorted_ids outside the lock); the poll takes what is new since its
// last look and, once the run is over, the final list once. So the caller's copies
// grow with the number of ids, not with the number of polls. A cancelled run hands
// over its ids with their keys unsorted, so that cancel() need not wait for a sort:
// the first look at the final list sorts them.
//
// Not locked: SearchThread guards it with its data mutex.
#pragma once

#include <keldra/Search.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orva {
namespace keldra {
namespace internal {

class ResultSet {
 public:
  // An id with its name sort key (collation key bytes; empty without a name).
  struct Keyed {
    std::string key;
    unsigned int local_id;
  };

  ResultSet();

  // Stores the preference and clears.
  void set_sorting(const orva::keldra::Search::SortPref& sort);
  void clear();
  // Whether the preference orders by name: key 1 and a non-zero order.
  bool sorts_by_name() const { return sorts_by_name(m_sort); }
  static bool sorts_by_name(const orva::keldra::Search::SortPref& sort);

  // Appends the ids of |local_ids| in their order and empties it.
  void insert(std::vector<unsigned int>& local_ids) {
    m_arrived.insert(m_arrived.end(), local_ids.begin(), local_ids.end());
    local_ids.clear();
  }
  // Ends the run; |ordered| (taken; when sorting by name) is the final order of the ids.
  void finish(std::vector<unsigned int>& ordered);
  // Ends the run with the ids and name keys of |keyed| (taken) not yet in order; the
  // final order is made by the first get_results.
  void finish_unsorted(std::vector<Keyed>& keyed);
  bool finished() const { return m_finished; }

  std::size_t size() const { return m_arrived.size(); }
  // Appends to |ids| the arrived ids from position ids.size() on (|ids| holds a prefix
  // of them).
  void append_new(std::vector<unsigned int>& ids) const;
  // |ids| := the ids in result order: the final order once finished, else the order of
  // arrival.
  void get_results(std::vector<unsigned int>& ids);

  // The ids of |keyed| ordered by key bytes: order 1 ascending (a shorter key first
  // when it is a prefix of the other, so objects without a name come first), any
  // other order descending; equal keys keep their order in |keyed|. Empties |keyed|.
  static std::vector<unsigned int> sorted_ids(std::vector<Keyed>& keyed, uint32_t order);
  // The same into |ids|, leaving |keyed| as it is; gives up (false, |ids| unspecified)
  // soon after |stop| becomes true, so that a cancel need not wait for a long sort.
  static bool sort_ids(const std::vector<Keyed>& keyed, uint32_t order,
                       const std::atomic<bool>* stop, std::vector<unsigned int>& ids);

 private:
  orva::keldra::Search::SortPref m_sort;
  std::vector<unsigned int> m_arrived;
  std::vector<unsigned int> m_ordered;
  std::vector<Keyed> m_unsorted;  // a cancelled run's final ids, until sorted
  bool m_finished;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
