// FieldList: the ordered fields of an attribute, held by value.
//
// Names need not be unique: set_field keeps one field per name, push_back may add a
// second, and lookups find the first. The list's own modified flag is set by
// push_back, insert, erase, remove and read; replacing an element through set_field
// marks only that element. Used on one thread at a time.
#pragma once

#include <keldra/Field.h>
#include <keldra/ModifiableList.h>
#include <keldra/Serializable.h>
#include <keldra/StringPool.h>

#include <string>

namespace orva {
namespace keldra {

class FieldList : public ModifiableList<Field>, public Serializable {
 public:
  // Virtual so that a list is deleted whole through any of its bases.
  virtual ~FieldList() {}

  // Index of the first field at or after |start| with that name, -1 when none. A null
  // handle or an empty text finds the first unnamed field.
  int find_field(const StringPool::StringHandle& name, unsigned int start = 0) const;
  int find_field(const std::string& name, unsigned int start = 0) const;

  // Assigns |field| over the first field of its name (the element is marked modified
  // unless equal), or appends a copy; returns the element's index.
  int set_field(const Field& field);

  // Erases every field of that name.
  void remove(const StringPool::StringHandle& name);
  void remove(const std::string& name);

  // Sets or clears the external flag of every field; the list's flag is untouched.
  void set_external(bool external);

  // Record: u32 count, then the Field records. read replaces the content; it fails
  // on a count the remaining bytes cannot hold and stops at the first bad field.
  bool read(ReadStream& stream) override;
  bool write(WriteStream& stream) const override;
};

}  // namespace keldra
}  // namespace orva
