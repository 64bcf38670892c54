// Slot tables of the position and box rows: field name, column member and the type a
// value is read back as. Shared by DbPosition and DbBox.
#pragma once

#include "adaptation_umbo/database/QueryName.h"
#include "adaptation_umbo/database/dbitems/DbFieldList.h"

#include <keldra/Field.h>

#include <vector>

namespace orva {
namespace keldra {
namespace internal {

struct DbSlot {
  const char* field_name;
  QueryParameter column;
  Field::DataType read_as;
};

// Index of the slot named |name|, -1 when none.
int find_slot(const DbSlot* slots, int count, const std::string& name);
// Copies the fields of |list| at |indexes| into the slot of their name (a later field
// of the same name replaces an earlier one; other names are ignored).
void fill_slots(FieldList& slots_out, const DbSlot* slots, int count, const FieldList& list,
                const std::vector<int>& indexes);
// Binds every slot that holds a value under its column.
void bind_slots(Bindable& query, const FieldList& values, const DbSlot* slots, int count);
// Names every slot and reads its column as the slot's type (NULL leaves type 0).
void read_slots(Gettable& query, FieldList& values, const DbSlot* slots, int count);

}  // namespace internal
}  // namespace keldra
}  // namespace orva
