// Base of every object view: a typed view over one Object.
//
// The view holds one counted reference to its object, shared with every other holder
// (the store, the object cache, other views). Its child views find their attributes
// in the object's attribute list. Besides the children that a class-specific view
// knows, attribute views can be registered at run time as custom sections under a
// name; they are bound and created like member child views.
//
// An unbound object view creates a new object of its class on its first write.
// Copy construction takes nothing from the source (class-specific views then call
// copy; custom sections are never copied); assignment copies the other's object into
// this view's own object, keeping this object's class.
//
// Results: 0 success; 2 the view could not be bound; 3 copy between views holding
// the same object (or both unbound); 4 a custom section name already registered.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/AttributeHandle.h>
#include <keldra/AttributeHandleManager.h>
#include <keldra/ErrorCode.h>
#include <keldra/Object.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>

#include <string>
#include <vector>

namespace orva {
namespace keldra {

class ObjectHandle : public AttributeHandleManager {
 public:
  // Unbound, no custom sections.
  ObjectHandle();
  // Takes nothing from |other|.
  ObjectHandle(const ObjectHandle& other);
  // Custom-section handlers that outlive the view no longer point at it.
  ~ObjectHandle() override;

  orva::SharedPointer<Object>& object() { return m_object; }
  const orva::SharedPointer<Object>& object() const { return m_object; }

  bool is_safe() const override { return m_object.is_valid(); }

  // Holds |object| (an empty pointer keeps the object held) and re-binds every child
  // view, also when the object is the one already held. A non-empty object must be
  // of the view's class when the view has one.
  void attach(const orva::SharedPointer<Object>& object);
  // Drops the object and unbinds every child view.
  void reset() override;
  AttributeList* get_attribute_list() override;
  const AttributeList* get_attribute_list() const override;
  // Bound: nothing. Otherwise holds a new object of the view's class. is_safe().
  bool init_self() override;
  void do_init_child_handle(AttributeHandle& child) override;
  void attach_child_handles() override;

  // Gives this view's object (created when needed) the other's header, identifiers,
  // flags, attributes and links, keeping its own class; child views are re-bound.
  // An unbound |other| leaves the object as it was. 0; 3 when both hold the same
  // object or both are unbound; 2 when no object can be had.
  ErrorCode copy(const ObjectHandle& other);
  // reset_self(), copy(other), attach_child_handles(); nothing for self-assignment.
  ObjectHandle& operator=(const ObjectHandle& other);

  // The object's name and owner; empty when unbound.
  std::string get_name() const;
  std::string get_owner() const;
  // The object's local id; 0 when unbound.
  unsigned int get_local_id() const;
  // The object's sharing model; private (0) when unbound.
  SharingModel get_sharing() const;
  // Creates the object when unbound (nothing happens when that fails) and sets it.
  void set_sharing(SharingModel model);

  // Registers |handler| under |name|, makes this view its parent and binds it to the
  // object's first attribute of that name and the handler's class. 0; 4 when a
  // handler is already registered under |name|; 3 for an empty handler.
  ErrorCode register_custom_section(const orva::SharedPointer<AttributeHandle>& handler,
                                    const StringPool::StringHandle& name);
  // The handler registered under |name|; empty when none.
  orva::SharedPointer<AttributeHandle> get_custom_section_handler(
      const StringPool::StringHandle& name);

 private:
  struct CustomSection {
    orva::SharedPointer<AttributeHandle> handler;
    StringPool::StringHandle name;
  };

  orva::SharedPointer<Object> m_object;
  std::vector<CustomSection> m_custom_sections;
};

}  // namespace keldra
}  // namespace orva
