#include <keldra/AttributeList.h>

#include <keldra/ReadStream.h>
#include <keldra/WriteStream.h>

#include "model/RecordUtils.h"

namespace orva {
namespace keldra {

namespace {
// An attribute record holds at least five counts: name, class, fields, children, links.
const unsigned int MIN_ATTRIBUTE_RECORD = 20;
}  // namespace

AttributeList::AttributeList(const AttributeList& other)
    : ModifiablePtrList<orva::SharedPointer<Attribute>>(), Serializable() {
  *this = other;
}

AttributeList& AttributeList::operator=(const AttributeList& other) {
  if (this == &other) return *this;
  // Copy before releasing: |other| may be a list inside one of our attributes.
  std::vector<orva::SharedPointer<Attribute>> copies;
  copies.reserve(other.m_items.size());
  for (const orva::SharedPointer<Attribute>& attribute : other.m_items) {
    copies.push_back(attribute.is_valid() ? new Attribute(*attribute)
                                          : orva::SharedPointer<Attribute>());
  }
  m_items.swap(copies);
  m_modified = true;
  return *this;
}

int AttributeList::find_attribute(const StringPool::StringHandle& name,
                                  const StringPool::StringHandle& class_name, int start) const {
  if (!name.is_valid() && !class_name.is_valid()) return -1;
  for (size_t i = start < 0 ? 0 : start; i < m_items.size(); ++i) {
    const Attribute* attribute = m_items[i].get();
    if (!attribute) continue;
    if (name.is_valid() && attribute->get_name_handle() != name) continue;
    if (class_name.is_valid() && attribute->get_class_name_handle() != class_name) continue;
    return static_cast<int>(i);
  }
  return -1;
}

int AttributeList::find_attribute(const std::string& name, const std::string& class_name,
                                  int start) const {
  if (name.empty() && class_name.empty()) return -1;
  for (size_t i = start < 0 ? 0 : start; i < m_items.size(); ++i) {
    const Attribute* attribute = m_items[i].get();
    if (!attribute) continue;
    if (!name.empty() && attribute->get_name() != name) continue;
    if (!class_name.empty() && attribute->get_class_name() != class_name) continue;
    return static_cast<int>(i);
  }
  return -1;
}

int AttributeList::set_attribute(orva::SharedPointer<Attribute>& attribute) {
  if (!attribute.is_valid()) return -1;
  int index =
      find_attribute(attribute->get_name_handle(), attribute->get_class_name_handle(), 0);
  if (index >= 0) {
    m_items[index] = attribute;
    return index;
  }
  push_back(attribute);
  return static_cast<int>(m_items.size()) - 1;
}

int AttributeList::set_attribute(const Attribute& attribute) {
  orva::SharedPointer<Attribute> copy(new Attribute(attribute));
  return set_attribute(copy);
}

void AttributeList::remove(const StringPool::StringHandle& name,
                           const StringPool::StringHandle& class_name) {
  // Copies: the handles may belong to an element that erase releases.
  const StringPool::StringHandle name_key = name;
  const StringPool::StringHandle class_key = class_name;
  for (int index = find_attribute(name_key, class_key, 0); index >= 0;
       index = find_attribute(name_key, class_key, index)) {
    erase(index);
  }
}

void AttributeList::remove(const std::string& name, const std::string& class_name) {
  for (int index = find_attribute(name, class_name, 0); index >= 0;
       index = find_attribute(name, class_name, index)) {
    erase(index);
  }
}

void AttributeList::set_external(bool external) {
  for (orva::SharedPointer<Attribute>& attribute : m_items) {
    if (attribute.is_valid()) attribute->set_external(external);
  }
}

bool AttributeList::find_first_field(const FieldPath& path, Field& out) const {
  if (path.names.empty() || path.names.size() != path.class_names.size()) return false;
  int index = find_attribute(path.names[0], path.class_names[0], 0);
  if (index < 0 || !m_items[index].is_valid()) return false;
  return m_items[index]->find_path(path, 1, out);
}

bool AttributeList::write(WriteStream& stream) const {
  stream.write_uint32(size());
  for (const orva::SharedPointer<Attribute>& attribute : m_items) {
    // An empty slot (never stored by the list itself) is written as an empty
    // attribute, so that the count stays true.
    if (attribute.is_valid()) {
      attribute->write(stream);
    } else {
      Attribute().write(stream);
    }
  }
  return stream.is_ok();
}

bool AttributeList::read(ReadStream& stream) { return read_nested(stream, 0); }

bool AttributeList::read_nested(ReadStream& stream, int depth) {
  m_items.clear();
  m_modified = true;
  unsigned int count = 0;
  if (!internal::read_list_count(stream, MIN_ATTRIBUTE_RECORD, count)) return false;
  reserve(count < internal::MAX_RESERVED_ITEMS ? count : internal::MAX_RESERVED_ITEMS);
  for (unsigned int i = 0; i < count; ++i) {
    orva::SharedPointer<Attribute> attribute(new Attribute());
    if (!attribute->read_nested(stream, depth)) return false;
    push_back(attribute);
  }
  return stream.is_ok();
}

}  // namespace keldra
}  // namespace orva
