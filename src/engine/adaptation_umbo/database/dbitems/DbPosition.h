// The position row of a "position" attribute: ten slots, in this order, with the type
// each is read back as: latitude, longitude (double), accuracy, altitude,
// altitude_above_sea, alt_accuracy, course, speed (float), time (column datetime,
// timestamp), datum (int32). A value is written with its own type and read back with
// the slot's; slots without value leave their column NULL and are skipped on reading.
#pragma once

#include "adaptation_umbo/database/dbitems/DbFieldList.h"

#include <string>
#include <vector>

namespace orva {
namespace keldra {
namespace internal {

class DbPosition : public DbFieldList {
 public:
  static const unsigned int SLOTS = 10;
  // Empty slots, for reading.
  DbPosition();
  // The fields of |list| at |indexes| in the slots of their names, for writing.
  DbPosition(const FieldList& list, const std::vector<int>& indexes, unsigned int parent_object,
             unsigned int parent_attribute);

  void bind(Bindable& query) override;
  void get_result(Gettable& query) override;

  // True for the ten slot names.
  static bool is_position_field(const std::string& name);
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
