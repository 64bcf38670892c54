#include <keldra/Attribute.h>

#include <keldra/ReadStream.h>
#include <keldra/WriteStream.h>

#include "model/RecordUtils.h"

#include <memory>
#include <new>

namespace orva {
namespace keldra {

namespace {

const FieldList& empty_fields() {
  static const FieldList list;
  return list;
}

const AttributeList& empty_attributes() {
  static const AttributeList list;
  return list;
}

const LinkList& empty_links() {
  static const LinkList list;
  return list;
}

template <class List>
bool any_item_modified(const List& list) {
  for (const auto& item : list) {
    if (item.is_modified()) return true;
  }
  return false;
}

template <class List>
void clear_marks(List& list) {
  list.set_modified(false);
  for (auto& item : list) item.set_modified(false);
}

}  // namespace

Attribute::Attribute()
    : m_fields(nullptr), m_attributes(nullptr), m_links(nullptr), m_modified(true) {}

Attribute::Attribute(const StringPool::StringHandle& class_name) : Attribute() {
  m_class_name = class_name;
}

Attribute::Attribute(const StringPool::StringHandle& name,
                     const StringPool::StringHandle& class_name)
    : Attribute() {
  m_name = name;
  m_class_name = class_name;
}

Attribute::Attribute(const std::string& class_name) : Attribute() {
  m_class_name = internal::intern(class_name);
}

Attribute::Attribute(const std::string& name, const std::string& class_name) : Attribute() {
  m_name = internal::intern(name);
  m_class_name = internal::intern(class_name);
}

Attribute::Attribute(const Attribute& other)
    : RefCountable(), Serializable(), m_fields(nullptr), m_attributes(nullptr),
      m_links(nullptr), m_modified(true) {
  *this = other;
}

Attribute::~Attribute() {
  delete m_fields;
  delete m_attributes;
  delete m_links;
}

Attribute& Attribute::operator=(const Attribute& other) {
  if (this == &other) return *this;
  // Copy everything before releasing anything: |other| may be a node of this tree.
  std::unique_ptr<FieldList> fields;
  if (other.m_fields) {
    fields.reset(new FieldList(*other.m_fields));
    fields->set_modified(true);
  }
  std::unique_ptr<AttributeList> children;
  if (other.m_attributes) children.reset(new AttributeList(*other.m_attributes));
  std::unique_ptr<LinkList> links;
  if (other.m_links) {
    links.reset(new LinkList(*other.m_links));
    links->set_modified(true);
  }
  StringPool::StringHandle name = other.m_name;
  StringPool::StringHandle class_name = other.m_class_name;

  reset();
  m_name = name;
  m_class_name = class_name;
  m_fields = fields.release();
  m_attributes = children.release();
  m_links = links.release();
  m_modified = true;
  return *this;
}

std::string Attribute::get_name() const { return StringPool::get_string(m_name); }

std::string Attribute::get_class_name() const { return StringPool::get_string(m_class_name); }

void Attribute::set_name(const StringPool::StringHandle& name) {
  if (name == m_name) return;
  m_name = name;
  m_modified = true;
}

void Attribute::set_class_name(const StringPool::StringHandle& class_name) {
  if (class_name == m_class_name) return;
  m_class_name = class_name;
  m_modified = true;
}

void Attribute::set_name(const std::string& name) { set_name(internal::intern_name(name)); }

void Attribute::set_class_name(const std::string& class_name) {
  set_class_name(internal::intern_name(class_name));
}

FieldList& Attribute::get_fields() {
  if (!m_fields) m_fields = new FieldList();
  return *m_fields;
}

AttributeList& Attribute::get_attributes() {
  if (!m_attributes) m_attributes = new AttributeList();
  return *m_attributes;
}

LinkList& Attribute::get_links() {
  if (!m_links) m_links = new LinkList();
  return *m_links;
}

const FieldList& Attribute::get_fields() const { return m_fields ? *m_fields : empty_fields(); }

const AttributeList& Attribute::get_attributes() const {
  return m_attributes ? *m_attributes : empty_attributes();
}

const LinkList& Attribute::get_links() const { return m_links ? *m_links : empty_links(); }

int Attribute::find_field(const StringPool::StringHandle& name) const {
  return m_fields ? m_fields->find_field(name, 0) : -1;
}

int Attribute::find_field(const std::string& name) const {
  return m_fields ? m_fields->find_field(name, 0) : -1;
}

Field* Attribute::add_field(const StringPool::StringHandle& name) {
  Field field;
  field.set_name(name);
  FieldList& fields = get_fields();
  fields.push_back(field);
  return &fields[fields.size() - 1];
}

Field* Attribute::add_field(const std::string& name) {
  return add_field(internal::intern_name(name));
}

Field* Attribute::prepare_field(const StringPool::StringHandle& name) {
  int index = find_field(name);
  if (index >= 0) return &(*m_fields)[index];
  return add_field(name);
}

Field* Attribute::prepare_field(const std::string& name) {
  return prepare_field(internal::intern_name(name));
}

ErrorCode Attribute::set_ustring_field(const StringPool::StringHandle& name,
                                       const unsigned short* units, unsigned int count) {
  try {
    return prepare_field(name)->set_value(units, count);
  } catch (const std::bad_alloc&) {
    return ORVA_ERROR_OUT_OF_MEMORY;
  }
}

ErrorCode Attribute::set_ustring_field(const std::string& name, const unsigned short* units,
                                       unsigned int count) {
  try {
    return set_ustring_field(internal::intern_name(name), units, count);
  } catch (const std::bad_alloc&) {
    return ORVA_ERROR_OUT_OF_MEMORY;
  }
}

ErrorCode Attribute::set_time_field(const StringPool::StringHandle& name, const long long& ms) {
  try {
    prepare_field(name)->set_timestamp(ms);
    return ORVA_ERROR_NONE;
  } catch (const std::bad_alloc&) {
    return ORVA_ERROR_OUT_OF_MEMORY;
  }
}

ErrorCode Attribute::set_time_field(const std::string& name, const long long& ms) {
  try {
    return set_time_field(internal::intern_name(name), ms);
  } catch (const std::bad_alloc&) {
    return ORVA_ERROR_OUT_OF_MEMORY;
  }
}

ErrorCode Attribute::set_field(const StringPool::StringHandle& name,
                               const orva::SharedPointer<DynamicBuffer>& buffer) {
  try {
    Field field(buffer);
    field.set_name(name);
    get_fields().set_field(field);
    return ORVA_ERROR_NONE;
  } catch (const std::bad_alloc&) {
    return ORVA_ERROR_OUT_OF_MEMORY;
  }
}

ErrorCode Attribute::set_field(const std::string& name,
                               const orva::SharedPointer<DynamicBuffer>& buffer) {
  try {
    return set_field(internal::intern_name(name), buffer);
  } catch (const std::bad_alloc&) {
    return ORVA_ERROR_OUT_OF_MEMORY;
  }
}

bool Attribute::get_time_field(const StringPool::StringHandle& name, long long& ms) const {
  ms = 0;
  int index = find_field(name);
  if (index < 0) return false;
  (*m_fields)[index].get_timestamp(ms);
  return true;
}

bool Attribute::get_time_field(const std::string& name, long long& ms) const {
  ms = 0;
  int index = find_field(name);
  if (index < 0) return false;
  (*m_fields)[index].get_timestamp(ms);
  return true;
}

bool Attribute::has_value() const {
  if (m_fields) {
    for (const Field& field : *m_fields) {
      if (field.has_value()) return true;
    }
  }
  if (m_links) {
    for (const Link& link : *m_links) {
      if (link.has_value()) return true;
    }
  }
  if (m_attributes) {
    for (const orva::SharedPointer<Attribute>& child : *m_attributes) {
      if (child.is_valid() && child->has_value()) return true;
    }
  }
  return false;
}

bool Attribute::find_first_field(const AttributeList::FieldPath& path, Field& out) const {
  if (path.names.size() != path.class_names.size()) return false;
  return find_path(path, 0, out);
}

bool Attribute::find_path(const AttributeList::FieldPath& path, size_t level,
                          Field& out) const {
  const Attribute* node = this;
  for (; level < path.names.size(); ++level) {
    const AttributeList& children = node->get_attributes();
    int index = children.find_attribute(path.names[level], path.class_names[level], 0);
    if (index < 0 || !children[index].is_valid()) return false;
    node = children[index].get();
  }
  const FieldList& fields = node->get_fields();
  int index = fields.find_field(path.field_name, 0);
  if (index < 0) return false;
  out = fields[index];
  return true;
}

bool Attribute::is_modified() const {
  if (m_modified) return true;
  if (m_fields && (m_fields->is_modified() || any_item_modified(*m_fields))) return true;
  if (m_links && (m_links->is_modified() || any_item_modified(*m_links))) return true;
  return m_attributes && m_attributes->is_modified();
}

void Attribute::set_modified(bool modified) {
  m_modified = modified;
  if (modified) return;
  if (m_fields) clear_marks(*m_fields);
  if (m_attributes) {
    m_attributes->set_modified(false);
    for (orva::SharedPointer<Attribute>& child : *m_attributes) {
      if (child.is_valid()) child->set_modified(false);
    }
  }
  if (m_links) clear_marks(*m_links);
}

void Attribute::set_external(bool external) {
  if (m_fields) m_fields->set_external(external);
  if (m_attributes) m_attributes->set_external(external);
}

void Attribute::clear() {
  delete m_fields;
  m_fields = nullptr;
  delete m_attributes;
  m_attributes = nullptr;
  delete m_links;
  m_links = nullptr;
  m_modified = true;
}

void Attribute::reset() {
  m_name = StringPool::StringHandle();
  m_class_name = StringPool::StringHandle();
  clear();
}

bool Attribute::write(WriteStream& stream) const {
  internal::write_name(stream, m_name);
  internal::write_name(stream, m_class_name);
  get_fields().write(stream);
  get_attributes().write(stream);
  get_links().write(stream);
  return stream.is_ok();
}

namespace {

// Reads a list's count: |empty| when it is 0 (consumed), otherwise the stream is put
// back to the count for the list's own reader. False when no count can be read.
bool empty_list_follows(ReadStream& stream, bool& empty) {
  const unsigned int position = stream.tell();
  unsigned int count = 0;
  if (!stream.read_uint32(count)) return false;
  empty = count == 0;
  return empty || stream.seek(position, ReadStream::SEEK_FROM_BEGIN);
}

}  // namespace

bool Attribute::read(ReadStream& stream) { return read_nested(stream, 0); }

bool Attribute::read_nested(ReadStream& stream, int depth) {
  reset();
  if (depth >= internal::MAX_RECORD_DEPTH) return false;
  std::string name;
  stream.read_string(name);  // false for an empty name as well
  if (!stream.is_ok()) return false;
  std::string text;
  stream.read_string(text);
  if (!stream.is_ok()) {
    set_name(name);
    return false;
  }
  set_class_name(text);
  // After the class, which decides whether the name is cut.
  set_name(internal::intern_attribute_name(name, m_class_name));

  // Each list is kept only when it holds something, also after a failed read; an
  // empty one (a count of 0) is not even made.
  bool empty = false;
  if (!empty_list_follows(stream, empty)) return false;
  if (!empty) {
    std::unique_ptr<FieldList> fields(new FieldList());
    bool ok = fields->read(stream);
    if (!fields->empty()) m_fields = fields.release();
    if (!ok) return false;
  }

  if (!empty_list_follows(stream, empty)) return false;
  if (!empty) {
    std::unique_ptr<AttributeList> children(new AttributeList());
    bool ok = children->read_nested(stream, depth + 1);
    if (!children->empty()) m_attributes = children.release();
    if (!ok) return false;
  }

  if (!empty_list_follows(stream, empty)) return false;
  if (!empty) {
    std::unique_ptr<LinkList> links(new LinkList());
    bool ok = links->read(stream);
    if (!links->empty()) m_links = links.release();
    if (!ok) return false;
  }
  return stream.is_ok();
}

}  // namespace keldra
}  // namespace orva
