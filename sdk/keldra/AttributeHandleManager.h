// Common parent interface of the typed views.
//
// A typed view stands over one attribute (AttributeHandle) or one object
// (ObjectHandle) and reads and writes it in place through a shared reference. Views
// nest like the tree: a view owns its child views as members, and each child knows
// its parent through an AttributeHandleManager pointer. This interface is what a
// child asks of its parent: the list in which its attribute lives, and the creation
// of that attribute on the first write.
//
// Reads never create anything. Writes create the missing attribute, and its parents
// up to the root view (or the object), through init_self().
//
// Thread: a view, its data and its name table belong to the thread whose string pool
// interned the names; nothing here is locked.
#pragma once

#include <keldra/Invariant.h>
#include <keldra/RefCountable.h>
#include <keldra/StringPool.h>

#include <string>

namespace orva {
namespace keldra {

class AttributeHandle;
class AttributeList;

// The name table of view class S for the calling thread's pool, built on first use by
// S::create_strings. Throws std::bad_alloc when the table cannot be made.
template <class S>
S* view_strings() {
  return static_cast<S*>(StringPool::register_string_set(&S::create_strings));
}

class AttributeHandleManager : public orva::internal::RefCountable {
 public:
  ~AttributeHandleManager() override {}

  // Whether the view holds its attribute or object.
  virtual bool is_safe() const = 0;
  // Unbinds the view and its child views; the data stays with its other holders.
  virtual void reset() = 0;
  // The list in which this view's child attributes live, created on first use in a
  // bound attribute; null when unbound.
  virtual AttributeList* get_attribute_list() = 0;
  // The class this view stands for; an empty handle accepts any class.
  virtual const StringPool::StringHandle& get_class_name_handle() const = 0;
  // Makes sure the view is bound, creating what is missing; returns is_safe().
  virtual bool init_self() = 0;
  // Called when |child| needs its attribute; views with children create it under the
  // child's role name. The default knows no children and does nothing.
  virtual void do_init_child_handle(AttributeHandle& child);
  // Re-binds every child view after this view was bound to other data. Default: none.
  virtual void attach_child_handles();
  // Called before the view is re-bound or assigned. Default: nothing.
  virtual void reset_self();
  // The existing child list, for reading: never creates one (an attribute without a
  // child list gives an empty list); null when unbound.
  virtual const AttributeList* get_attribute_list() const = 0;

  // init_self().
  bool init();
  // When this view is (or can be made) bound, do_init_child_handle(child).
  void init_child_handle(AttributeHandle& child);
  // The text of get_class_name_handle(); empty for an empty handle.
  std::string get_class_name() const;

  // Appends a new attribute named |name| of the child's class to this view's list
  // and binds |child| to it; nothing when there is no list. Does not look for an
  // existing attribute of that name.
  void add_handle(AttributeHandle& child, const StringPool::StringHandle& name);
  void add_handle(AttributeHandle& child, const std::string& name);
  void add_handle(AttributeHandle& child, const char* name);

  // Binds |child| to the first attribute of this view's list with that name and the
  // child's class (any class when the child has none), or unbinds it when there is
  // none or this view is unbound.
  void attach_handle(AttributeHandle& child, const StringPool::StringHandle& name);
  void attach_handle(AttributeHandle& child, const std::string& name);
  void attach_handle(AttributeHandle& child, const char* name);
};

}  // namespace keldra
}  // namespace orva
