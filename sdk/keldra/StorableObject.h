// StorableObject: a storable view of an object of any class, showing its "meta"
// section (class "metadata").
//
// The view has no class of its own: it binds to objects of every class, and an object
// it creates on a first write has no class name (the store refuses to insert such an
// object). A copy of the view, or an assignment into it, takes the source object's
// class along with its content, so the copy can be stored like the source.
//
// Results: as StorableObjectBase and Metadata.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/AttributeHandle.h>
#include <keldra/ErrorCode.h>
#include <keldra/Metadata.h>
#include <keldra/Object.h>
#include <keldra/ObjectHandle.h>
#include <keldra/SharedPointer.h>
#include <keldra/StorableObjectBase.h>
#include <keldra/StringPool.h>

namespace orva {
namespace keldra {

class Store;

// Name table of StorableObject (no class name).
class StorableObjectStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle meta;
};

class StorableObject : public ObjectHandle, public StorableObjectBase {
 public:
  // Unbound view with an unbound "meta" child.
  StorableObject();
  // A view over a new object holding a deep copy of |other|'s object, class
  // included; unbound when |other| is.
  StorableObject(const StorableObject& other);
  // Copies |other|'s object, class included, into this view's own object (created
  // when needed); an unbound |other| leaves the object as it was.
  StorableObject& operator=(const StorableObject& other);
  ~StorableObject() override;

  Metadata& metadata() { return m_metadata; }
  const Metadata& metadata() const { return m_metadata; }

  // The empty handle: any class.
  const StringPool::StringHandle& get_class_name_handle() const override;

  void do_init_child_handle(AttributeHandle& child) override;
  void attach_child_handles() override;

  ErrorCode store(Store& store) override;
  // Binds to |object| whatever its class. 0.
  ErrorCode do_attach_object(const orva::SharedPointer<Object>& object) override;

 private:
  void init_members();
  void copy_with_class(const StorableObject& other);

  StorableObjectStrings* m_strings;
  Metadata m_metadata;
};

}  // namespace keldra
}  // namespace orva
