// A text row: a string field with its sort key, collate_key(casefold_and_normalize(
// text)) in the process's collation locale, so "Café" and "CAFÉ" get one key. The key
// column is declared BLOB but bound and read as text.
#pragma once

#include "adaptation_umbo/database/dbitems/DbField.h"

#include <string>

namespace orva {
namespace keldra {
namespace internal {

class DbText : public DbField {
 public:
  DbText();
  // Copies the field and computes its key.
  DbText(const Field& field, unsigned int parent_object, unsigned int parent_attribute);

  // DbField's columns, then COLLATE_KEY (empty gives NULL).
  void bind(Bindable& query) override;
  void get_result(Gettable& query) override;

  // Recomputes the key from a type-8 value; an empty text leaves the key as it was.
  void recalculate_collate_key();
  const std::string& collate_key() const { return m_collate_key; }

 private:
  std::string m_collate_key;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
