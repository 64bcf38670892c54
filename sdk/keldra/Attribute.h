// Attribute: a node of an object's tree, with a name (its role), a class name, fields,
// child attributes and links.
//
// The three lists are created on the first non-const access and are absent until
// then; the const accessors return shared empty lists instead and never create one.
// Modified marks: the attribute's own mark is set at construction, by a name or class
// change, clear, reset, read and assignment. is_modified() covers the whole subtree;
// set_modified(false) clears the whole subtree; set_modified(true) marks only this node.
//
// Record: name, class name (u32 byte count and bytes each), then the FieldList,
// AttributeList and LinkList records (an absent list writes count 0).
// Shared through orva::SharedPointer; used on the thread whose pool holds its names.
#pragma once

#include <keldra/AttributeList.h>
#include <keldra/DynamicBuffer.h>
#include <keldra/ErrorCode.h>
#include <keldra/Field.h>
#include <keldra/FieldList.h>
#include <keldra/LinkList.h>
#include <keldra/RefCountable.h>
#include <keldra/Serializable.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>

#include <string>

namespace orva {
namespace keldra {

class Attribute : public orva::internal::RefCountable, public Serializable {
 public:
  Attribute();
  explicit Attribute(const StringPool::StringHandle& class_name);
  Attribute(const StringPool::StringHandle& name, const StringPool::StringHandle& class_name);
  // Texts given to constructors are interned whole (no 64-byte cut).
  explicit Attribute(const std::string& class_name);
  Attribute(const std::string& name, const std::string& class_name);
  Attribute(const Attribute& other);
  ~Attribute() override;

  // Deep copy (fields share their binary buffers); marks this attribute modified.
  // |other| may live inside this attribute's own tree.
  Attribute& operator=(const Attribute& other);

  const StringPool::StringHandle& get_name_handle() const { return m_name; }
  const StringPool::StringHandle& get_class_name_handle() const { return m_class_name; }
  std::string get_name() const;
  std::string get_class_name() const;
  // Mark the attribute modified only when the handle changes. Texts are cut to their
  // first 64 bytes (at a character boundary) before they are interned.
  void set_name(const StringPool::StringHandle& name);
  void set_class_name(const StringPool::StringHandle& class_name);
  void set_name(const std::string& name);
  void set_class_name(const std::string& class_name);

  // The lists, created empty (and marked modified) on first use.
  FieldList& get_fields();
  AttributeList& get_attributes();
  LinkList& get_links();
  // The lists, or a shared empty list when absent.
  const FieldList& get_fields() const;
  const AttributeList& get_attributes() const;
  const LinkList& get_links() const;

  // Index of the first field of that name, -1 when none.
  int find_field(const StringPool::StringHandle& name) const;
  int find_field(const std::string& name) const;

  // Appends a new empty field of that name and returns it. The pointer stays valid
  // until the field list next changes.
  Field* add_field(const StringPool::StringHandle& name);
  Field* add_field(const std::string& name);
  // The first field of that name, appended as by add_field when there is none.
  Field* prepare_field(const StringPool::StringHandle& name);
  Field* prepare_field(const std::string& name);

  // Set the first field of that name (appended when absent): 0, or 2 when memory is
  // missing.
  ErrorCode set_ustring_field(const StringPool::StringHandle& name, const unsigned short* units,
                              unsigned int count);
  ErrorCode set_ustring_field(const std::string& name, const unsigned short* units,
                              unsigned int count);
  ErrorCode set_time_field(const StringPool::StringHandle& name, const long long& ms);
  ErrorCode set_time_field(const std::string& name, const long long& ms);
  // Replaces the first field of that name by a binary field sharing |buffer|, or
  // appends one; 0.
  ErrorCode set_field(const StringPool::StringHandle& name,
                      const orva::SharedPointer<DynamicBuffer>& buffer);
  ErrorCode set_field(const std::string& name, const orva::SharedPointer<DynamicBuffer>& buffer);

  // |ms| becomes 0, then the field's timestamp when it holds one. True when a field of
  // that name exists, whatever its type.
  bool get_time_field(const StringPool::StringHandle& name, long long& ms) const;
  bool get_time_field(const std::string& name, long long& ms) const;
  // Field::get_value on the field of that name (|out| untouched for another type).
  // True when the field exists, whatever its type.
  template <class T>
  bool get_field(const std::string& name, T& out) const {
    int index = find_field(name);
    if (index < 0) return false;
    get_fields()[index].get_value(out);
    return true;
  }

  // True when any field has a type, any link a target, or any child has a value.
  bool has_value() const;

  // The path search starting at this attribute's children (level 0); with no levels
  // it looks among this attribute's own fields.
  bool find_first_field(const AttributeList::FieldPath& path, Field& out) const;

  bool is_modified() const;
  void set_modified(bool modified);

  // The external flag of every field in the subtree; nothing is marked modified.
  void set_external(bool external);

  // Deletes the three lists and marks the attribute; name and class stay.
  void clear();
  // Name and class null, then clear().
  void reset();

  bool read(ReadStream& stream) override;
  bool write(WriteStream& stream) const override;

 private:
  friend class AttributeList;
  bool read_nested(ReadStream& stream, int depth);
  // The path search from |level| on, in this attribute.
  bool find_path(const AttributeList::FieldPath& path, size_t level, Field& out) const;

  StringPool::StringHandle m_name;
  StringPool::StringHandle m_class_name;
  FieldList* m_fields;
  AttributeList* m_attributes;
  LinkList* m_links;
  bool m_modified;
};

}  // namespace keldra
}  // namespace orva
