#include <keldra/CompositeCriterion.h>

#include <keldra/PositionCriterion.h>
#include <keldra/StateCriterion.h>
#include <keldra/TextCriterion.h>

namespace orva {
namespace keldra {

namespace {
// A copy of |argument| as its own kind, chosen by its type as the search does.
std::shared_ptr<const Criterion> copy_of_kind(const Criterion& argument) {
  switch (argument.get_type()) {
    case Criterion::TYPE_TEXT:
      return std::make_shared<TextCriterion>(static_cast<const TextCriterion&>(argument));
    case Criterion::TYPE_POSITION:
      return std::make_shared<PositionCriterion>(static_cast<const PositionCriterion&>(argument));
    case Criterion::TYPE_COMPOSITE:
      return std::make_shared<CompositeCriterion>(static_cast<const CompositeCriterion&>(argument));
    case Criterion::TYPE_STATE:
      return std::make_shared<StateCriterion>(static_cast<const StateCriterion&>(argument));
    default:
      return std::make_shared<Criterion>(argument);
  }
}
}  // namespace

CompositeCriterion::CompositeCriterion(CriterionComposition composition)
    : m_composition(composition) {}

CompositeCriterion::~CompositeCriterion() {}

void CompositeCriterion::add_argument(const Criterion& argument) {
  std::shared_ptr<const Criterion> full = copy_of_kind(argument);
  // Both lists grow together or not at all.
  m_arguments.reserve(m_arguments.size() + 1);
  m_full_arguments.reserve(m_full_arguments.size() + 1);
  m_arguments.push_back(argument);
  m_full_arguments.push_back(full);
}

int CompositeCriterion::get_type() const { return TYPE_COMPOSITE; }

}  // namespace keldra
}  // namespace orva
