#include "adaptation_umbo/database/dbitems/DbFieldList.h"

namespace orva {
namespace keldra {
namespace internal {

DbFieldList::DbFieldList(unsigned int slots) {
  for (unsigned int i = 0; i < slots; ++i) m_fields.push_back(Field());
}

DbFieldList::DbFieldList(unsigned int parent_object, unsigned int parent_attribute,
                         unsigned int slots)
    : DbChildItem(parent_object, parent_attribute) {
  for (unsigned int i = 0; i < slots; ++i) m_fields.push_back(Field());
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
