// The ids a search has found, in the order they arrived, and their final order.
//
// The worker appends ids as they arrive and, at the end of the run, sets the final
// order (made by sorted_ids outside the lock); the poll takes what is new since its
// last look and, once the run is over, the final list once. So the caller's copies
// grow with the number of ids, not with the number of polls.
//
// Not locked: SearchThread guards it with its data mutex.
#pragma once

#include <keldra/Search.h>

#include <cstddef>
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
  bool finished() const { return m_finished; }

  std::size_t size() const { return m_arrived.size(); }
  // Appends to |ids| the arrived ids from position ids.size() on (|ids| holds a prefix
  // of them).
  void append_new(std::vector<unsigned int>& ids) const;
  // |ids| := the ids in result order: the final order once finished, else the order of
  // arrival.
  void get_results(std::vector<unsigned int>& ids) const;

  // The ids of |keyed| ordered by key bytes: order 1 ascending (a shorter key first
  // when it is a prefix of the other, so objects without a name come first), any
  // other order descending; equal keys keep their order in |keyed|. Empties |keyed|.
  static std::vector<unsigned int> sorted_ids(std::vector<Keyed>& keyed, uint32_t order);

 private:
  orva::keldra::Search::SortPref m_sort;
  std::vector<unsigned int> m_arrived;
  std::vector<unsigned int> m_ordered;
  bool m_finished;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
