#include "adaptation_umbo/database/dbitems/DbChildItem.h"

#include "adaptation_umbo/database/Bindable.h"
#include "adaptation_umbo/database/Gettable.h"

namespace orva {
namespace keldra {
namespace internal {

DbChildItem::DbChildItem() : m_id(0), m_parent_object(0), m_parent_attribute(0) {}

DbChildItem::DbChildItem(unsigned int parent_object, unsigned int parent_attribute)
    : m_id(0), m_parent_object(parent_object), m_parent_attribute(parent_attribute) {}

void DbChildItem::bind(Bindable& query) {
  query.bind(ID, static_cast<int>(m_id));
  query.bind(LOCAL_ID, static_cast<int>(m_id));
  query.bind(PARENT_OBJECT, static_cast<int>(m_parent_object));
  query.bind(PARENT_ATTRIBUTE, static_cast<int>(m_parent_attribute));
}

void DbChildItem::get_result(Gettable& query) {
  int value;
  if (query.get_result(ID, value)) m_id = static_cast<unsigned int>(value);
  if (query.get_result(PARENT_OBJECT, value)) m_parent_object = static_cast<unsigned int>(value);
  if (query.get_result(PARENT_ATTRIBUTE, value))
    m_parent_attribute = static_cast<unsigned int>(value);
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
