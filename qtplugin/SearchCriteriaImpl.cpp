#include "SearchCriteriaImpl.h"

#include "QmlText.h"

#include <keldra/TextCriterion.h>

namespace keldra {
namespace qtplugin {

using orva::keldra::Criterion;
using orva::keldra::TextCriterion;

// Each branch deletes the criterion as its exact type, which is what the warning asks.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdelete-non-virtual-dtor"
void CriterionDeleter::operator()(Criterion* criterion) const {
  if (criterion && criterion->get_type() == Criterion::TYPE_TEXT) {
    delete static_cast<TextCriterion*>(criterion);
  } else {
    delete criterion;
  }
}
#pragma GCC diagnostic pop

SearchCriteriaImpl::SearchCriteriaImpl(QObject* parent)
    : QObject(parent), m_textOption(TEXT_STARTS_WITH) {}

SearchCriteriaImpl::~SearchCriteriaImpl() = default;

void SearchCriteriaImpl::appendClass(QString className) {
  m_classes.push_back(toIdentifier(className));
}

void SearchCriteriaImpl::setClasses(QVariantList classNames) {
  m_classes.clear();
  for (const QVariant& name : classNames) {
    m_classes.push_back(toIdentifier(name.toString()));
  }
}

void SearchCriteriaImpl::setTextPattern(QString pattern, uint option) {
  if (option > TEXT_CONTAINS) {
    return;
  }
  m_pattern = toUstring(pattern);
  m_textOption = option;
}

CriterionPtr SearchCriteriaImpl::buildCriteria() const {
  CriterionPtr criterion;
  if (m_pattern.length() != 0) {
    orva::ustring pattern;
    if (m_textOption == TEXT_CONTAINS) {
      pattern.append('*');
    }
    for (unsigned int i = 0; i < m_pattern.length(); ++i) {
      pattern.append(m_pattern[i]);
    }
    if (m_textOption != TEXT_EQUALS) {
      pattern.append('*');
    }
    auto* text = new TextCriterion(m_pattern);
    text->set_pattern(pattern);
    criterion.reset(text);
  } else {
    criterion.reset(new Criterion());
  }
  if (!m_classes.empty()) {
    criterion->set_class_name(m_classes.front());
  }
  criterion->set_service_id("personal");
  return criterion;
}

QVariantList SearchCriteriaImpl::getClasses() const {
  QVariantList classes;
  for (const std::string& name : m_classes) {
    classes.append(fromIdentifier(name));
  }
  return classes;
}

QString SearchCriteriaImpl::getTextPattern() const { return fromUstring(m_pattern); }

}  // namespace qtplugin
}  // namespace keldra
