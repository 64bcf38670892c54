// StorableBoundedObject: a storable view of an object of any class that shows, besides
// "meta", its "bounding_box" (class "box").
//
// Like StorableObject it has no class of its own, binds to objects of every class,
// and its copies take the source object's class.
//
// Results: as StorableObjectBase, Metadata and BoundingBox.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/AttributeHandle.h>
#include <keldra/BoundingBox.h>
#include <keldra/StorableObject.h>
#include <keldra/StringPool.h>

namespace orva {
namespace keldra {

// Name table of StorableBoundedObject (no class name).
class StorableBoundedObjectStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle bounding_box;
};

class StorableBoundedObject : public StorableObject {
 public:
  // Unbound view with unbound "meta" and "bounding_box" children.
  StorableBoundedObject();
  // A view over a new object holding a deep copy of |other|'s object, class
  // included; unbound when |other| is.
  StorableBoundedObject(const StorableBoundedObject& other);
  // Copies |other|'s object, class included, into this view's own object.
  StorableBoundedObject& operator=(const StorableBoundedObject& other);
  ~StorableBoundedObject() override;

  BoundingBox& bounding_box() { return m_bounding_box; }
  const BoundingBox& bounding_box() const { return m_bounding_box; }

  void do_init_child_handle(AttributeHandle& child) override;
  // "meta" first, then "bounding_box".
  void attach_child_handles() override;

 private:
  void init_members();

  StorableBoundedObjectStrings* m_strings;
  BoundingBox m_bounding_box;
};

}  // namespace keldra
}  // namespace orva
