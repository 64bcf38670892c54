#include <keldra/FieldList.h>

#include <keldra/ReadStream.h>
#include <keldra/WriteStream.h>

#include "model/RecordUtils.h"

namespace orva {
namespace keldra {

namespace {
// A field record holds at least its name count and its type byte.
const unsigned int MIN_FIELD_RECORD = 5;
}  // namespace

int FieldList::find_field(const StringPool::StringHandle& name, unsigned int start) const {
  for (size_t i = start; i < m_items.size(); ++i) {
    if (m_items[i].get_name_handle() == name) return static_cast<int>(i);
  }
  return -1;
}

int FieldList::find_field(const std::string& name, unsigned int start) const {
  for (size_t i = start; i < m_items.size(); ++i) {
    if (m_items[i].get_name() == name) return static_cast<int>(i);
  }
  return -1;
}

int FieldList::set_field(const Field& field) {
  int index = find_field(field.get_name_handle(), 0);
  if (index >= 0) {
    m_items[index] = field;
    return index;
  }
  push_back(field);
  return static_cast<int>(m_items.size()) - 1;
}

void FieldList::remove(const StringPool::StringHandle& name) {
  // A copy: |name| may belong to an element that erase overwrites.
  const StringPool::StringHandle key = name;
  for (int index = find_field(key, 0); index >= 0; index = find_field(key, index)) {
    erase(index);
  }
}

void FieldList::remove(const std::string& name) {
  for (int index = find_field(name, 0); index >= 0; index = find_field(name, index)) {
    erase(index);
  }
}

void FieldList::set_external(bool external) {
  for (Field& field : m_items) field.set_external(external);
}

bool FieldList::write(WriteStream& stream) const {
  stream.write_uint32(size());
  for (const Field& field : m_items) field.write(stream);
  return stream.is_ok();
}

bool FieldList::read(ReadStream& stream) {
  m_items.clear();
  m_modified = true;
  unsigned int count = 0;
  if (!internal::read_list_count(stream, MIN_FIELD_RECORD, count)) return false;
  // The count is bounded by the bytes left; the room made for it is bounded too.
  reserve(count < internal::MAX_RESERVED_ITEMS ? count : internal::MAX_RESERVED_ITEMS);
  for (unsigned int i = 0; i < count; ++i) {
    Field field;
    if (!field.read(stream)) return false;
    push_back(std::move(field));
  }
  return stream.is_ok();
}

}  // namespace keldra
}  // namespace orva
