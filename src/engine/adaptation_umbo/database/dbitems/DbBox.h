// The box row of a "box" attribute: seven slots, in this order, with the type
// each is read back as: minlat, maxlat, minlong, maxlong (double), maxalt, minalt
// (float), datum (int32); so "maxalt" comes back before "minalt". A value is written
// with its own type and read back with the slot's; slots without value leave their
// column NULL and are skipped on reading.
#pragma once

#include "adaptation_umbo/database/dbitems/DbFieldList.h"

#include <string>
#include <vector>

namespace orva {
namespace keldra {
namespace internal {

class DbBox : public DbFieldList {
 public:
  static const unsigned int SLOTS = 7;
  // Empty slots, for reading.
  DbBox();
  // The fields of |list| at |indexes| in the slots of their names, for writing.
  DbBox(const FieldList& list, const std::vector<int>& indexes, unsigned int parent_object,
        unsigned int parent_attribute);

  void bind(Bindable& query) override;
  void get_result(Gettable& query) override;

  // True for the seven slot names.
  static bool is_box_field(const std::string& name);
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
