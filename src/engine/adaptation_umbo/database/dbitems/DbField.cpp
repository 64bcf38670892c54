#include "adaptation_umbo/database/dbitems/DbField.h"

#include "adaptation_umbo/database/Bindable.h"
#include "adaptation_umbo/database/Gettable.h"

namespace orva {
namespace keldra {
namespace internal {

DbField::DbField() {}

DbField::DbField(const Field& field, unsigned int parent_object, unsigned int parent_attribute)
    : DbChildItem(parent_object, parent_attribute), m_field(field) {}

int DbField::value_member(int type) {
  switch (type) {
    case Field::TYPE_INT32:
    case Field::TYPE_UINT32:
    case Field::TYPE_INT64:
    case Field::TYPE_UINT64:
    case Field::TYPE_TIMESTAMP:
      return VALUE_INT;
    case Field::TYPE_FLOAT:
    case Field::TYPE_DOUBLE:
      return VALUE_REAL;
    case Field::TYPE_USTRING:
    case Field::TYPE_SPECIAL_USTRING:
      return VALUE_TEXT;
    case Field::TYPE_BINARY:
      return VALUE_BLOB;
    default:
      return -1;
  }
}

void DbField::bind(Bindable& query) {
  DbChildItem::bind(query);
  query.bind(NAME, m_field.get_name());
  query.bind(TYPE, static_cast<int>(m_field.get_type()));
  const int member = value_member(m_field.get_type());
  if (member >= 0) query.bind(static_cast<QueryParameter>(member), m_field);
}

void DbField::get_result(Gettable& query) {
  DbChildItem::get_result(query);
  int type = 0;
  query.get_result(TYPE, type);
  std::string name;
  query.get_result(NAME, name);
  m_field.set_name(name);
  const int member = value_member(type);
  if (member >= 0) {
    query.get_result(static_cast<QueryParameter>(member), static_cast<Field::DataType>(type),
                     m_field);
  }
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
