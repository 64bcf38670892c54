// BoundedObjectBase: common base of the object views whose objects have a geographic
// extent (places, collections, routes). It adds the children "meta" (class
// "metadata") and "bounding_box" (class "box"); the class is the subclass's.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/AttributeHandle.h>
#include <keldra/BoundingBox.h>
#include <keldra/Metadata.h>
#include <keldra/ObjectHandle.h>
#include <keldra/StringPool.h>

namespace orva {
namespace keldra {

// Name table of BoundedObjectBase (no class name).
class BoundedObjectStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle meta;
  StringPool::StringHandle bounding_box;
};

class BoundedObjectBase : public ObjectHandle {
 public:
  // Unbound, with unbound children parented to this view.
  BoundedObjectBase();
  // Takes nothing from |other|: the subclass's copy constructor copies the content.
  BoundedObjectBase(const BoundedObjectBase& other);
  // Takes the other's name table, then ObjectHandle's assignment; nothing for
  // self-assignment.
  BoundedObjectBase& operator=(const BoundedObjectBase& other);

  Metadata& metadata() { return m_metadata; }
  const Metadata& metadata() const { return m_metadata; }
  BoundingBox& bounding_box() { return m_bounding_box; }
  const BoundingBox& bounding_box() const { return m_bounding_box; }

  // Custom sections first, then "meta" and "bounding_box".
  void attach_child_handles() override;
  void do_init_child_handle(AttributeHandle& child) override;

 private:
  void init_members();

  BoundedObjectStrings* m_bounded_strings;
  Metadata m_metadata;
  BoundingBox m_bounding_box;
};

}  // namespace keldra
}  // namespace orva
