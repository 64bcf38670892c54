#include "adaptation_umbo/database/dbitems/DbBox.h"

#include "adaptation_umbo/database/dbitems/DbSlotTable.h"

namespace orva {
namespace keldra {
namespace internal {

namespace {
const DbSlot kSlots[DbBox::SLOTS] = {
    {"minlat", MIN_LAT, Field::TYPE_DOUBLE},   {"maxlat", MAX_LAT, Field::TYPE_DOUBLE},
    {"minlong", MIN_LONG, Field::TYPE_DOUBLE}, {"maxlong", MAX_LONG, Field::TYPE_DOUBLE},
    {"maxalt", MAX_ALT, Field::TYPE_FLOAT},    {"minalt", MIN_ALT, Field::TYPE_FLOAT},
    {"datum", DATUM, Field::TYPE_INT32},
};
}  // namespace

DbBox::DbBox() : DbFieldList(SLOTS) {}

DbBox::DbBox(const FieldList& list, const std::vector<int>& indexes, unsigned int parent_object,
             unsigned int parent_attribute)
    : DbFieldList(parent_object, parent_attribute, SLOTS) {
  fill_slots(m_fields, kSlots, SLOTS, list, indexes);
}

void DbBox::bind(Bindable& query) {
  DbChildItem::bind(query);
  bind_slots(query, m_fields, kSlots, SLOTS);
}

void DbBox::get_result(Gettable& query) {
  DbChildItem::get_result(query);
  read_slots(query, m_fields, kSlots, SLOTS);
}

bool DbBox::is_box_field(const std::string& name) { return find_slot(kSlots, SLOTS, name) >= 0; }

}  // namespace internal
}  // namespace keldra
}  // namespace orva
