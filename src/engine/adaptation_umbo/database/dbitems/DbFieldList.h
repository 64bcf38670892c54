// A row whose values are a fixed row of fields (the slots); base of DbPosition and
// DbBox. The slots start as fields of type 0 without name.
#pragma once

#include "adaptation_umbo/database/dbitems/DbChildItem.h"

#include <keldra/FieldList.h>

namespace orva {
namespace keldra {
namespace internal {

class DbFieldList : public DbChildItem {
 public:
  explicit DbFieldList(unsigned int slots);
  DbFieldList(unsigned int parent_object, unsigned int parent_attribute, unsigned int slots);

  FieldList& fields() { return m_fields; }
  const FieldList& fields() const { return m_fields; }

 protected:
  FieldList m_fields;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
