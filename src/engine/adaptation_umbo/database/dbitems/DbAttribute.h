// An attribute row: the attribute's name and class name and the value blob of its
// plain fields (an unsigned 32-bit count, then each field in its binary form, the
// binary form of a FieldList). A null or empty blob is stored as NULL.
//
// Shares its Attribute with the object tree; the attribute is never null (a broken
// invariant otherwise).
#pragma once

#include "adaptation_umbo/database/dbitems/DbChildItem.h"

#include <keldra/Attribute.h>
#include <keldra/DynamicBuffer.h>
#include <keldra/SharedPointer.h>

#include <vector>

namespace orva {
namespace keldra {
namespace internal {

class DbAttribute : public DbChildItem {
 public:
  // An empty row over a new, empty Attribute (for reading).
  DbAttribute();
  DbAttribute(const orva::SharedPointer<Attribute>& attribute, unsigned int parent_object,
              unsigned int parent_attribute);

  // DbChildItem's columns, then CLASS_NAME, NAME (empty gives NULL), VALUE_BLOB.
  void bind(Bindable& query) override;
  // Sets name and class name in any case (NULL gives empty); reads the blob and, when
  // not empty, the attribute's field list from it.
  void get_result(Gettable& query) override;

  const orva::SharedPointer<Attribute>& attribute() const;
  const orva::SharedPointer<DynamicBuffer>& value_blob() const { return m_value_blob; }

  // Makes the value blob from the attribute's fields at |indexes|, in that order;
  // no index leaves the blob null.
  void set_header_fields(const std::vector<int>& indexes);

  void log(int level);

 private:
  orva::SharedPointer<Attribute> m_attribute;
  orva::SharedPointer<DynamicBuffer> m_value_blob;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
