// A field row of table text: name, type and value. The value goes under the member
// its type selects (VALUE_INT for the integer and timestamp types, VALUE_REAL for
// float and double, VALUE_TEXT for strings, VALUE_BLOB for binary); of these only
// value_text is a column of table text, so only string fields keep their value there.
#pragma once

#include "adaptation_umbo/database/QueryName.h"
#include "adaptation_umbo/database/dbitems/DbChildItem.h"

#include <keldra/Field.h>

namespace orva {
namespace keldra {
namespace internal {

class DbField : public DbChildItem {
 public:
  DbField();
  DbField(const Field& field, unsigned int parent_object, unsigned int parent_attribute);

  // DbChildItem's columns, NAME, TYPE (int), then the value under its member.
  void bind(Bindable& query) override;
  // TYPE (0 when absent), the name in any case, then the value as that type.
  void get_result(Gettable& query) override;

  const Field& field() const { return m_field; }

  // The member a value of |type| goes under; -1 for types without a column form
  // (0, 9, above 11).
  static int value_member(int type);

 protected:
  Field m_field;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
