// ListAttributeHandle: plain typed view of an attribute of class "list".
//
// It declares no fields and no children of its own: what the list attribute holds
// (the waypoints of a route as child attributes, the members of a collection as
// links) is read and written by the view that contains it.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/AttributeHandle.h>
#include <keldra/StringPool.h>

namespace orva {
namespace keldra {

// Names of ListAttributeHandle, interned once per string pool.
class ListAttributeHandleStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle list;  // the class
};

class ListAttributeHandle : public AttributeHandle {
 public:
  // Unbound root view.
  ListAttributeHandle();
  // A root view over a new attribute holding a deep copy of |other| (unbound when
  // |other| is).
  ListAttributeHandle(const ListAttributeHandle& other);
  // Copies |other|'s content into this view's own attribute.
  ListAttributeHandle& operator=(const ListAttributeHandle& other);

  const StringPool::StringHandle& get_class_name_handle() const override;

 private:
  const ListAttributeHandleStrings* m_list_strings;
};

}  // namespace keldra
}  // namespace orva
