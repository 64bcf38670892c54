// CollectionObject: the view of an object of class "collection", a collection of
// other stored objects.
//
// The members are the links of the child "items" (class "list"), in order, without
// duplicates: two links are similar when they share a non-zero local id or a
// non-zero global id (link names are not compared). Binding the view to an object
// (attach, copy construction, assignment) removes duplicates from that object.
//
// Results: 0; 2 the "items" attribute cannot be created. Binding to an object of
// another class is a broken invariant.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/BoundedObjectBase.h>
#include <keldra/ErrorCode.h>
#include <keldra/LinkList.h>
#include <keldra/ListAttributeHandle.h>
#include <keldra/StringPool.h>

namespace orva {
namespace keldra {

// Name table of CollectionObject.
class CollectionObjectStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle collection;  // the class
  StringPool::StringHandle items;
};

class CollectionObject : public BoundedObjectBase {
 public:
  // Unbound view with an unbound "items" child.
  CollectionObject();
  // A view over a new object of class "collection" holding a deep copy of |other|'s
  // object, duplicates removed; unbound when |other| is.
  CollectionObject(const CollectionObject& other);
  // Copies |other|'s object into this view's own object (created when needed).
  CollectionObject& operator=(const CollectionObject& other);

  const StringPool::StringHandle& get_class_name_handle() const override;

  // Replaces the links of |out| by a copy of the members, in order, and marks |out|
  // modified; |out| is untouched when there is no "items" attribute.
  void get_items(LinkList& out) const;
  // Creates "items" when needed and makes |items| the members: of several similar
  // links the first one is kept, at its place in input order; links without any id
  // are all kept. 0, or 2 (the members are then unchanged).
  ErrorCode set_items(const LinkList& items);
  // Of several similar members only the last one is kept, at its own place; the link
  // list is marked modified only when something is removed.
  void remove_dup_links();

  void attach_child_handles() override;
  void do_init_child_handle(AttributeHandle& child) override;

 private:
  void init_members();

  CollectionObjectStrings* m_strings;
  ListAttributeHandle m_items;
};

}  // namespace keldra
}  // namespace orva
