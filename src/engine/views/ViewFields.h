// Read access to the fields of a typed view's attribute, for the views' getters that
// must tell the stored type apart. Never creates a field list.
#pragma once

#include <keldra/Attribute.h>
#include <keldra/AttributeHandle.h>
#include <keldra/Field.h>
#include <keldra/StringPool.h>

namespace orva {
namespace keldra {
namespace internal {

// The first field of that name in the view's attribute; null when the view is
// unbound or has no such field.
inline const Field* view_field(const AttributeHandle& view, const StringPool::StringHandle& name) {
  if (!view.is_safe()) return nullptr;
  const Attribute& attribute = *view.attribute();
  int index = attribute.find_field(name);
  return index < 0 ? nullptr : &attribute.get_fields()[static_cast<unsigned int>(index)];
}

// The first field of that name when it holds exactly |type|; null otherwise.
inline const Field* view_field(const AttributeHandle& view, const StringPool::StringHandle& name,
                               Field::DataType type) {
  const Field* field = view_field(view, name);
  return field && field->get_type() == type ? field : nullptr;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
