#include "SearchSortingImpl.h"

namespace keldra {
namespace qtplugin {

using orva::keldra::Search;

SearchSortingImpl::SearchSortingImpl(QObject* parent)
    : QObject(parent), m_sortBy(SORT_BY_NONE), m_ascending(true) {}

SearchSortingImpl::~SearchSortingImpl() = default;

void SearchSortingImpl::setSort(SearchSortingType sortBy, bool ascending) {
  // Compared as a number: QML may pass any integer.
  switch (static_cast<int>(sortBy)) {
    case SORT_BY_NONE:
    case SORT_BY_NAME:
    case SORT_BY_DATE:
    case SORT_BY_DISTANCE:
      break;
    default:
      return;
  }
  m_sortBy = sortBy;
  m_ascending = ascending;
  emit sortByChanged();
  emit ascendingChanged();
}

Search::SortPref SearchSortingImpl::sortPref() const {
  Search::SortPref pref;
  pref.order = m_ascending ? Search::SortPref::ORDER_ASCENDING : Search::SortPref::ORDER_DESCENDING;
  switch (m_sortBy) {
    case SORT_BY_NAME:
      pref.key = Search::SortPref::KEY_NAME;
      break;
    case SORT_BY_DISTANCE:
      pref.key = Search::SortPref::KEY_DISTANCE;
      break;
    default:
      pref.key = Search::SortPref::KEY_NONE;
      break;
  }
  return pref;
}

}  // namespace qtplugin
}  // namespace keldra
