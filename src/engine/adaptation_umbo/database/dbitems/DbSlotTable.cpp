#include "adaptation_umbo/database/dbitems/DbSlotTable.h"

#include "adaptation_umbo/database/Bindable.h"
#include "adaptation_umbo/database/Gettable.h"

namespace orva {
namespace keldra {
namespace internal {

int find_slot(const DbSlot* slots, int count, const std::string& name) {
  for (int i = 0; i < count; ++i) {
    if (name == slots[i].field_name) return i;
  }
  return -1;
}

void fill_slots(FieldList& slots_out, const DbSlot* slots, int count, const FieldList& list,
                const std::vector<int>& indexes) {
  for (int index : indexes) {
    if (index < 0 || static_cast<unsigned int>(index) >= list.size()) continue;
    const Field& field = list[static_cast<unsigned int>(index)];
    const int slot = find_slot(slots, count, field.get_name());
    if (slot >= 0) slots_out[static_cast<unsigned int>(slot)] = field;
  }
}

void bind_slots(Bindable& query, const FieldList& values, const DbSlot* slots, int count) {
  for (int i = 0; i < count; ++i) {
    const Field& field = values[static_cast<unsigned int>(i)];
    if (field.get_type() != Field::TYPE_NONE) query.bind(slots[i].column, field);
  }
}

void read_slots(Gettable& query, FieldList& values, const DbSlot* slots, int count) {
  for (int i = 0; i < count; ++i) {
    Field& field = values[static_cast<unsigned int>(i)];
    field.set_name(std::string(slots[i].field_name));
    query.get_result(slots[i].column, slots[i].read_as, field);
  }
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
