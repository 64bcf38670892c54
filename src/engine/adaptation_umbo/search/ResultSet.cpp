#include "adaptation_umbo/search/ResultSet.h"

#include <algorithm>

namespace orva {
namespace keldra {
namespace internal {

ResultSet::ResultSet() : m_sort{0, 0}, m_finished(false) {}

void ResultSet::set_sorting(const orva::keldra::Search::SortPref& sort) {
  m_sort = sort;
  clear();
}

void ResultSet::clear() {
  m_arrived.clear();
  m_ordered.clear();
  std::vector<Keyed>().swap(m_unsorted);
  m_finished = false;
}

bool ResultSet::sorts_by_name(const orva::keldra::Search::SortPref& sort) {
  return sort.key == orva::keldra::Search::SortPref::KEY_NAME && sort.order != 0;
}

void ResultSet::finish(std::vector<unsigned int>& ordered) {
  m_ordered.swap(ordered);
  m_finished = true;
}

void ResultSet::finish_unsorted(std::vector<Keyed>& keyed) {
  m_ordered.clear();
  m_unsorted.swap(keyed);
  m_finished = true;
}

void ResultSet::append_new(std::vector<unsigned int>& ids) const {
  if (ids.size() >= m_arrived.size()) return;
  ids.insert(ids.end(), m_arrived.begin() + static_cast<std::ptrdiff_t>(ids.size()),
             m_arrived.end());
}

void ResultSet::get_results(std::vector<unsigned int>& ids) {
  if (m_finished && sorts_by_name()) {
    if (!m_unsorted.empty()) {
      m_ordered = sorted_ids(m_unsorted, m_sort.order);
      std::vector<Keyed>().swap(m_unsorted);
    }
    ids = m_ordered;
  } else {
    ids = m_arrived;
  }
}

std::vector<unsigned int> ResultSet::sorted_ids(std::vector<Keyed>& keyed, uint32_t order) {
  std::vector<unsigned int> ids;
  sort_ids(keyed, order, nullptr, ids);
  keyed.clear();
  return ids;
}

bool ResultSet::sort_ids(const std::vector<Keyed>& keyed, uint32_t order,
                         const std::atomic<bool>* stop, std::vector<unsigned int>& ids) {
  // A bottom-up merge sort of positions in |keyed|: sorted runs, then merges that look
  // at |stop| every few thousand steps. Stable: of equal keys the earlier one goes first.
  const bool ascending = order == orva::keldra::Search::SortPref::ORDER_ASCENDING;
  // std::string compares its bytes as unsigned char.
  auto before = [&keyed, ascending](uint32_t a, uint32_t b) {
    return ascending ? keyed[a].key < keyed[b].key : keyed[b].key < keyed[a].key;
  };
  auto stopped = [stop] { return stop && stop->load(std::memory_order_relaxed); };
  const size_t n = keyed.size();
  const size_t kRun = 512;
  const size_t kLookEvery = 4096;
  std::vector<uint32_t> from(n), to(n);
  for (size_t i = 0; i < n; ++i) from[i] = static_cast<uint32_t>(i);
  for (size_t lo = 0; lo < n; lo += kRun) {
    if (stopped()) return false;
    std::stable_sort(from.begin() + static_cast<std::ptrdiff_t>(lo),
                     from.begin() + static_cast<std::ptrdiff_t>(std::min(lo + kRun, n)), before);
  }
  size_t steps = 0;
  for (size_t width = kRun; width < n; width *= 2) {
    for (size_t lo = 0; lo < n; lo += 2 * width) {
      const size_t mid = std::min(lo + width, n);
      const size_t hi = std::min(lo + 2 * width, n);
      size_t i = lo, j = mid, k = lo;
      while (i < mid && j < hi) {
        if (++steps % kLookEvery == 0 && stopped()) return false;
        to[k++] = before(from[j], from[i]) ? from[j++] : from[i++];
      }
      while (i < mid) to[k++] = from[i++];
      while (j < hi) to[k++] = from[j++];
    }
    from.swap(to);
  }
  ids.clear();
  ids.reserve(n);
  for (uint32_t position : from) ids.push_back(keyed[position].local_id);
  return true;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
