#include "adaptation_umbo/database/dbitems/DbText.h"

#include "adaptation_umbo/base/Utils.h"
#include "adaptation_umbo/database/Bindable.h"
#include "adaptation_umbo/database/Gettable.h"

namespace orva {
namespace keldra {
namespace internal {

DbText::DbText() {}

DbText::DbText(const Field& field, unsigned int parent_object, unsigned int parent_attribute)
    : DbField(field, parent_object, parent_attribute) {
  recalculate_collate_key();
}

void DbText::bind(Bindable& query) {
  DbField::bind(query);
  query.bind(COLLATE_KEY, m_collate_key);
}

void DbText::get_result(Gettable& query) {
  DbField::get_result(query);
  query.get_result(COLLATE_KEY, m_collate_key);
}

void DbText::recalculate_collate_key() {
  if (m_field.get_type() != Field::TYPE_USTRING) return;  // type 10 gives no text
  std::string text;
  m_field.get_value(text);
  if (text.empty()) return;
  m_collate_key = internal::collate_key(casefold_and_normalize(text));
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
