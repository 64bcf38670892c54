// Criterion: which stored objects a search wants.
//
// The plain criterion selects objects by class name (empty: objects of every class).
// Subclasses add a text pattern (TextCriterion), an area (PositionCriterion), a
// combination of criteria (CompositeCriterion) and stored states (StateCriterion).
// Each reports its kind through get_type(); the search reaches a kind's own fields by
// a down-cast chosen by that value.
//
// Every criterion given to Search::start needs the service id "personal"
// (set_service_id(KELD_SERVICE_PERSONAL)); a new criterion has none, and without it the
// search refuses the criterion, reporting (0.0, 3) and finding nothing.
//
// Criteria are plain values: built on the stack or with new by their user, copied
// member by member, owned by whoever holds them. The search turns a criterion into its
// statement inside Search::start, so a criterion need not outlive that call. The
// destructor is not virtual: delete a criterion through its own type. Copying or
// assigning through a Criterion keeps only the base fields.
//
// Thread: a value; not shared between threads while it is changed.
#pragma once

#include <string>

namespace orva {
namespace keldra {

class Criterion {
 public:
  // get_type() values.
  enum Type : int {
    TYPE_CLASS = 0,
    TYPE_TEXT = 1,
    TYPE_POSITION = 2,
    TYPE_COMPOSITE = 3,
    TYPE_STATE = 4
  };

  Criterion();
  explicit Criterion(const std::string& class_name);
  ~Criterion();

  const std::string& get_class_name() const { return m_class_name; }
  void set_class_name(const std::string& class_name) { m_class_name = class_name; }
  // Empty until set. The only service the local search accepts, and one it requires,
  // is "personal": any other value, the empty one included, is refused with 3.
  const std::string& get_service_id() const { return m_service_id; }
  void set_service_id(const std::string& service_id) { m_service_id = service_id; }

  virtual int get_type() const;

 private:
  std::string m_class_name;
  std::string m_service_id;
};

}  // namespace keldra
}  // namespace orva
