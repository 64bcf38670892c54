// AttributeList: an ordered list of shared attribute pointers, with lookups by name
// and class and the path search for a field.
//
// The list's own flag is set at construction and by push_back, insert, erase, remove,
// read and assignment; replacing an element through set_attribute leaves it as it
// was. is_modified() also reports a modified element. The list operations never store
// an empty pointer; lookups and the modified marks skip one pushed by a caller.
// Used on one thread at a time.
#pragma once

#include <keldra/ModifiableList.h>
#include <keldra/Serializable.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>

#include <string>
#include <vector>

namespace orva {
namespace keldra {

class Attribute;
class Field;

class AttributeList : public ModifiablePtrList<orva::SharedPointer<Attribute>>,
                      public Serializable {
 public:
  // A path of attributes (one name and one class name per level) and the name of the
  // field sought at its end. An empty text matches any name or class at its level.
  struct FieldPath {
    std::vector<std::string> names;
    std::vector<std::string> class_names;
    std::string field_name;
  };

  AttributeList() {}
  AttributeList(const AttributeList& other);
  // Virtual so that a list is deleted whole through any of its bases.
  virtual ~AttributeList() {}
  // Deep copy: every attribute of |other| is copied into a new one. |other| may live
  // inside this list's own tree.
  AttributeList& operator=(const AttributeList& other);

  // Index of the first element at or after |start| (negative counts as 0) matching
  // the name and class; a null handle (or empty text) matches anything at its place,
  // but at least one of the two must be given. -1 when none.
  int find_attribute(const StringPool::StringHandle& name,
                     const StringPool::StringHandle& class_name, int start = 0) const;
  int find_attribute(const std::string& name, const std::string& class_name,
                     int start = 0) const;

  // Replaces the element of the attribute's own name and class by |attribute| (the
  // list's flag unchanged) or appends it; returns its index, -1 for an empty pointer.
  int set_attribute(orva::SharedPointer<Attribute>& attribute);
  // The same with a deep copy of |attribute|.
  int set_attribute(const Attribute& attribute);

  // Erases every element that find_attribute finds for the pair.
  void remove(const StringPool::StringHandle& name, const StringPool::StringHandle& class_name);
  void remove(const std::string& name, const std::string& class_name);

  // Attribute::set_external on every element.
  void set_external(bool external);

  // Follows the first element matching each level of |path| and copies the field of
  // the path's field name into |out|; false (|out| untouched) when any step fails or
  // the path is malformed (name and class counts differ, or no level).
  bool find_first_field(const FieldPath& path, Field& out) const;

  // Record: u32 count, then the Attribute records. read replaces the content; it fails
  // on a count the remaining bytes cannot hold, stops at the first bad attribute and
  // refuses nesting deeper than the reader's limit.
  bool read(ReadStream& stream) override;
  bool write(WriteStream& stream) const override;

 private:
  friend class Attribute;
  bool read_nested(ReadStream& stream, int depth);
};

}  // namespace keldra
}  // namespace orva

#include <keldra/Attribute.h>
