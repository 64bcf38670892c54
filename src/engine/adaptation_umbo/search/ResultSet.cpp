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
  m_finished = false;
}

bool ResultSet::sorts_by_name(const orva::keldra::Search::SortPref& sort) {
  return sort.key == orva::keldra::Search::SortPref::KEY_NAME && sort.order != 0;
}

void ResultSet::finish(std::vector<unsigned int>& ordered) {
  m_ordered.swap(ordered);
  m_finished = true;
}

void ResultSet::append_new(std::vector<unsigned int>& ids) const {
  if (ids.size() >= m_arrived.size()) return;
  ids.insert(ids.end(), m_arrived.begin() + static_cast<std::ptrdiff_t>(ids.size()),
             m_arrived.end());
}

void ResultSet::get_results(std::vector<unsigned int>& ids) const {
  if (m_finished && sorts_by_name()) {
    ids = m_ordered;
  } else {
    ids = m_arrived;
  }
}

std::vector<unsigned int> ResultSet::sorted_ids(std::vector<Keyed>& keyed, uint32_t order) {
  // std::string compares its bytes as unsigned char.
  if (order == orva::keldra::Search::SortPref::ORDER_ASCENDING) {
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const Keyed& a, const Keyed& b) { return a.key < b.key; });
  } else {
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const Keyed& a, const Keyed& b) { return b.key < a.key; });
  }
  std::vector<unsigned int> ids;
  ids.reserve(keyed.size());
  for (const Keyed& k : keyed) ids.push_back(k.local_id);
  keyed.clear();
  return ids;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
