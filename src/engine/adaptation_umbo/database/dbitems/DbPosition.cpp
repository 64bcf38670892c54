#include "adaptation_umbo/database/dbitems/DbPosition.h"

#include "adaptation_umbo/database/dbitems/DbSlotTable.h"

namespace orva {
namespace keldra {
namespace internal {

namespace {
const DbSlot kSlots[DbPosition::SLOTS] = {
    {"latitude", LATITUDE, Field::TYPE_DOUBLE},
    {"longitude", LONGITUDE, Field::TYPE_DOUBLE},
    {"accuracy", ACCURACY, Field::TYPE_FLOAT},
    {"altitude", ALTITUDE, Field::TYPE_FLOAT},
    {"altitude_above_sea", ALTITUDE_ABOVE_SEA, Field::TYPE_FLOAT},
    {"alt_accuracy", ALT_ACCURACY, Field::TYPE_FLOAT},
    {"course", COURSE, Field::TYPE_FLOAT},
    {"speed", SPEED, Field::TYPE_FLOAT},
    {"time", DATETIME, Field::TYPE_TIMESTAMP},
    {"datum", DATUM, Field::TYPE_INT32},
};
}  // namespace

DbPosition::DbPosition() : DbFieldList(SLOTS) {}

DbPosition::DbPosition(const FieldList& list, const std::vector<int>& indexes,
                       unsigned int parent_object, unsigned int parent_attribute)
    : DbFieldList(parent_object, parent_attribute, SLOTS) {
  fill_slots(m_fields, kSlots, SLOTS, list, indexes);
}

void DbPosition::bind(Bindable& query) {
  DbChildItem::bind(query);
  bind_slots(query, m_fields, kSlots, SLOTS);
}

void DbPosition::get_result(Gettable& query) {
  DbChildItem::get_result(query);
  read_slots(query, m_fields, kSlots, SLOTS);
}

bool DbPosition::is_position_field(const std::string& name) {
  return find_slot(kSlots, SLOTS, name) >= 0;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
