// The "SearchCriteria" element: which objects a store search finds, by class name and
// text pattern. A plain value; the store element turns it into a library criterion when
// a search starts, so later changes do not affect a running search.
//
// Thread: the QML engine's thread. Owned by the engine or by the element that made it.
#pragma once

#include "ElementMacros.h"

#include <QObject>
#include <QVariantList>

#include <keldra/Criterion.h>

#include <tervo/ustring.h>

#include <memory>
#include <string>
#include <vector>

namespace keldra {
namespace qtplugin {

// Deletes a criterion through its own type (the criteria have no virtual destructor).
struct CriterionDeleter {
  void operator()(orva::keldra::Criterion* criterion) const;
};
typedef std::unique_ptr<orva::keldra::Criterion, CriterionDeleter> CriterionPtr;

class SearchCriteriaImpl : public QObject {
  Q_OBJECT

 public:
  // Published for QML only: the criteria never restrict positions.
  enum AreaOptions {
    AREA_ALL_POSITIONS = 0,
    AREA_ANY_POSITION = 1,
    AREA_INCLUDES_BBOX = 2,
    AREA_TOUCHES_BBOX = 3
  };
  Q_ENUM(AreaOptions)

  enum TextOptions {
    TEXT_EQUALS = 0,
    TEXT_STARTS_WITH = 1,
    TEXT_ANY_WORD_STARTS_WITH = 2,
    TEXT_CONTAINS = 3
  };
  Q_ENUM(TextOptions)

  KELDRA_QML_CONSTANT(AreaOptions, AREA_ALL_POSITIONS)
  KELDRA_QML_CONSTANT(AreaOptions, AREA_ANY_POSITION)
  KELDRA_QML_CONSTANT(AreaOptions, AREA_INCLUDES_BBOX)
  KELDRA_QML_CONSTANT(AreaOptions, AREA_TOUCHES_BBOX)
  KELDRA_QML_CONSTANT(TextOptions, TEXT_EQUALS)
  KELDRA_QML_CONSTANT(TextOptions, TEXT_STARTS_WITH)
  KELDRA_QML_CONSTANT(TextOptions, TEXT_ANY_WORD_STARTS_WITH)
  KELDRA_QML_CONSTANT(TextOptions, TEXT_CONTAINS)

 public:
  explicit SearchCriteriaImpl(QObject* parent = nullptr);
  ~SearchCriteriaImpl() override;

  // A new criterion for the "personal" service: a text criterion when a pattern is set
  // (the option decides the wildcards around it), a plain one otherwise; the class name
  // is the first class name, empty (every class) when there is none.
  CriterionPtr buildCriteria() const;

  QVariantList getClasses() const;
  QString getTextPattern() const;
  uint getTextPatternOption() const { return m_textOption; }

 public slots:
  void appendClass(QString className);
  // Replaces the class list; every entry, an empty one too, becomes a class name.
  void setClasses(QVariantList classNames);
  // An option above TEXT_CONTAINS changes nothing. An empty pattern removes the text
  // condition.
  void setTextPattern(QString pattern, uint option);

 private:
  std::vector<std::string> m_classes;
  uint m_textOption;
  orva::ustring m_pattern;
};

}  // namespace qtplugin
}  // namespace keldra
