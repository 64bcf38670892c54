// Base of every attribute view: a typed view over one Attribute.
//
// A view is bound when it holds an attribute (one counted reference, shared with the
// parent's child list and every other holder) and unbound otherwise. A root view has
// no parent and creates its own unnamed attribute of its class on its first write; a
// child view asks its parent to append an attribute under the child's role name.
// Copy construction takes nothing from the source (class-specific views then call
// copy); assignment copies the other's content into this view's own attribute.
//
// Results: 0 success; 2 the view is still unbound after init_self() (a child view
// that no parent creates); 3 copy between views holding the same attribute (or both
// unbound). Getters report absence as false, 0, an empty text or NaN and never create
// anything.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/Attribute.h>
#include <keldra/AttributeHandleManager.h>
#include <keldra/ErrorCode.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>

#include <string>

namespace orva {
class ustring;

namespace keldra {

class Field;

class AttributeHandle : public AttributeHandleManager {
 public:
  // Unbound, no parent.
  AttributeHandle();
  // Takes nothing from |other|: unbound, no parent.
  AttributeHandle(const AttributeHandle& other);
  ~AttributeHandle() override;

  orva::SharedPointer<Attribute>& attribute() { return m_attribute; }
  const orva::SharedPointer<Attribute>& attribute() const { return m_attribute; }
  orva::SharedPointer<Attribute>& operator()() { return m_attribute; }
  const orva::SharedPointer<Attribute>& operator()() const { return m_attribute; }

  void set_parent(AttributeHandleManager* parent) { m_parent = parent; }
  AttributeHandleManager* get_parent() const { return m_parent; }

  bool is_safe() const override { return m_attribute.is_valid(); }

  // Binds the view to |attribute| (or unbinds it for an empty pointer) and re-binds
  // the child views. Binding the attribute already held does nothing at all. A
  // non-empty attribute must be of the view's class.
  void attach(const orva::SharedPointer<Attribute>& attribute);
  // Unbinds the view and every child view; the attribute stays with its holders.
  void reset() override;
  AttributeList* get_attribute_list() override;
  const AttributeList* get_attribute_list() const override;
  // Bound: nothing. Root view: holds a new unnamed attribute of the view's class.
  // Child view: the parent creates the attribute. Returns is_safe().
  bool init_self() override;

  // Replaces this view's content (fields, children, links) by a deep copy of the
  // other's, creating this view's attribute when needed; the class is kept, and a
  // root view's unnamed attribute takes the other's name. Child views are re-bound
  // to the new children. 0; 3 when both hold the same attribute or both are unbound
  // (nothing changes); 2 when this view cannot be bound.
  ErrorCode copy(const AttributeHandle& other);
  // reset_self(), copy(other), attach_child_handles(); nothing for self-assignment.
  AttributeHandle& operator=(const AttributeHandle& other);

  // The attribute's name; empty when unbound.
  std::string get_name() const;
  // False when unbound, else whether any field, link or child holds a value.
  bool has_value() const;

  // ---- Field access. "Creates" means: init_self() first; 2 when still unbound. ----

  // False when unbound or absent; otherwise reads the first field of that name and
  // returns true, also when it holds another type (|out| then left as it was).
  // Instances: orva::ustring, float, double, unsigned long long, unsigned int, int.
  template <class T>
  bool get_field(const StringPool::StringHandle& name, T& out) const;
  // Creates; stores |value| in the first field of that name (appended when absent).
  // 0, or 2. Same instances as get_field.
  template <class T>
  ErrorCode set_field(const StringPool::StringHandle& name, const T& value);
  ErrorCode set_field(const std::string& name, const unsigned long long& value);
  ErrorCode set_field(const std::string& name, const unsigned int& value);

  // Creates; stores |length| UTF-16 units as a text field. 0, or 2.
  ErrorCode set_ustring_field(const StringPool::StringHandle& name, const unsigned short* chars,
                              unsigned int length);
  ErrorCode set_ustring_field(const std::string& name, const unsigned short* chars,
                              unsigned int length);

  // Creates; the first field of that name, appended when absent; null when unbound.
  Field* prepare_field(const StringPool::StringHandle& name);
  Field* prepare_field(const std::string& name);

  // Removes every field of that name; nothing when unbound.
  void remove_field(const StringPool::StringHandle& name);
  void remove_field(const std::string& name);

  // False when unbound; otherwise |out| = 0, then the timestamp when the field holds
  // one, and true when the field exists.
  bool get_time_field(const StringPool::StringHandle& name, long long& out) const;
  bool get_time_field(const std::string& name, long long& out) const;
  // Creates; stores a timestamp field. 0, or 2.
  ErrorCode set_time_field(const StringPool::StringHandle& name, const long long& value);
  ErrorCode set_time_field(const std::string& name, const long long& value);

  // The float of the first field of that name; a quiet NaN when unbound, absent or
  // of another type.
  float get_float_val(const StringPool::StringHandle& name) const;
  float get_float_val(const std::string& name) const;

  // 0 when unbound or absent, else the value's length (Field::get_value_length).
  unsigned int get_field_data_length(const StringPool::StringHandle& name) const;
  unsigned int get_field_data_length(const std::string& name) const;

  // False when unbound or absent, else Field::has_value.
  bool has_field_value(const StringPool::StringHandle& name) const;
  bool has_field_value(const std::string& name) const;

 private:
  const Field* first_field(const StringPool::StringHandle& name) const;
  const Field* first_field(const std::string& name) const;

  orva::SharedPointer<Attribute> m_attribute;
  AttributeHandleManager* m_parent;
};

}  // namespace keldra
}  // namespace orva
