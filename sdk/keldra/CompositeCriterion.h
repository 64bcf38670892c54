// CompositeCriterion: objects that match every one of its arguments (and its own class
// name, when set).
//
// The QML search sends one when it has both a text pattern and an area, with the
// composition COMPOSITION_AND; the search builds it as the intersection of the
// arguments' searches. A composite with another composition, or without arguments,
// cannot be searched (the search refuses it with 3).
//
// add_argument keeps a full copy of the argument, with the fields of its own kind
// (get_argument). get_arguments() gives the base part of each argument (class name and
// service id; each reports type 0), as earlier callers read them.
//
// A value; see Criterion. Copies share the stored arguments, which never change.
#pragma once

#include <keldra/Criterion.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace orva {
namespace keldra {

class CompositeCriterion : public Criterion {
 public:
  enum CriterionComposition : int32_t { COMPOSITION_AND = 1 };

  explicit CompositeCriterion(CriterionComposition composition);
  ~CompositeCriterion();

  // Appends a copy of |argument| of its own kind: a text, position, state or
  // composite criterion keeps its fields; a kind this library does not know is kept
  // as its base part.
  void add_argument(const Criterion& argument);
  const std::vector<Criterion>& get_arguments() const { return m_arguments; }
  // The argument at |index| (below get_arguments().size()) with its own fields.
  const Criterion& get_argument(std::size_t index) const { return *m_full_arguments[index]; }

  CriterionComposition get_composition_type() const { return m_composition; }
  void set_composition_type(CriterionComposition composition) { m_composition = composition; }

  int get_type() const override;

 private:
  CriterionComposition m_composition;
  std::vector<Criterion> m_arguments;
  // The same arguments as their own kinds; the shared pointers delete each through
  // its own type.
  std::vector<std::shared_ptr<const Criterion> > m_full_arguments;
};

}  // namespace keldra
}  // namespace orva
