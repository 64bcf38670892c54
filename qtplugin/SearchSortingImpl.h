// The "SearchSorting" element: the order of a store search's results, a sort key and a
// direction. A plain value; the store element reads it when a search starts.
//
// Thread: the QML engine's thread. Owned by the engine or by the element that made it.
#pragma once

#include "ElementMacros.h"

#include <QObject>

#include <keldra/Search.h>

namespace keldra {
namespace qtplugin {

class SearchSortingImpl : public QObject {
  Q_OBJECT

 public:
  // A fixed underlying type: QML may pass any integer, which must stay a valid value
  // until setSort refuses it.
  enum SearchSortingType : int {
    SORT_BY_NONE = 1,
    SORT_BY_NAME = 2,
    SORT_BY_DATE = 4,
    SORT_BY_DISTANCE = 5
  };
  Q_ENUM(SearchSortingType)

 private:
  Q_PROPERTY(SearchSortingType sortBy READ getSortBy NOTIFY sortByChanged)
  Q_PROPERTY(bool ascending READ isSortAscending NOTIFY ascendingChanged)
  KELDRA_QML_CONSTANT(SearchSortingType, SORT_BY_NONE)
  KELDRA_QML_CONSTANT(SearchSortingType, SORT_BY_NAME)
  KELDRA_QML_CONSTANT(SearchSortingType, SORT_BY_DATE)
  KELDRA_QML_CONSTANT(SearchSortingType, SORT_BY_DISTANCE)

 public:
  explicit SearchSortingImpl(QObject* parent = nullptr);
  ~SearchSortingImpl() override;

  Q_INVOKABLE SearchSortingType getSortBy() const { return m_sortBy; }
  Q_INVOKABLE bool isSortAscending() const { return m_ascending; }

  // Order 1 ascending, 2 descending; key 1 by name, 2 by distance, 0 otherwise.
  orva::keldra::Search::SortPref sortPref() const;

 public slots:
  // A type other than 1, 2, 4, 5 changes nothing. Every accepted call emits both
  // signals, also when nothing changed.
  void setSort(SearchSortingType sortBy, bool ascending);

 signals:
  void sortByChanged();
  void ascendingChanged();

 private:
  SearchSortingType m_sortBy;
  bool m_ascending;
};

}  // namespace qtplugin
}  // namespace keldra
