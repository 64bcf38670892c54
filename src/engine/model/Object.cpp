#include <keldra/Object.h>

#include <keldra/Attribute.h>
#include <keldra/ReadStream.h>
#include <keldra/WriteStream.h>

#include "model/RecordUtils.h"

#include <cstring>
#include <memory>

namespace orva {
namespace keldra {

namespace {

const LinkList& empty_links() {
  static const LinkList list;
  return list;
}

const char SYSTEM_PREFIX[] = "sys.";
const char OWNER_SEPARATOR[] = "%%";

}  // namespace

Object::Object()
    : m_links(nullptr), m_version(0), m_timestamp(0), m_flags(FLAG_MODIFIED) {}

Object::Object(const std::string& class_name) : Object() {
  m_class_name = internal::intern(class_name);
}

Object::Object(const Object& other)
    : ObjectBase(other), m_links(nullptr), m_version(0), m_timestamp(0), m_flags(FLAG_MODIFIED) {
  *this = other;
}

Object::~Object() { delete m_links; }

Object& Object::operator=(const Object& other) {
  if (this == &other) return *this;
  reset();
  set_global_id(other.get_global_id());
  set_local_id(other.get_local_id());
  m_name = other.m_name;
  m_class_name = other.m_class_name;
  m_attributes = other.m_attributes;
  if (other.m_links) {
    m_links = new LinkList(*other.m_links);
    m_links->set_modified(true);
  }
  m_timestamp = other.m_timestamp;
  m_owner = other.m_owner;
  m_service = other.m_service;
  m_version = other.m_version;
  m_flags = other.m_flags;
  set_modified(true);
  return *this;
}

std::string Object::get_name() const { return StringPool::get_string(m_name); }
std::string Object::get_class_name() const { return StringPool::get_string(m_class_name); }
std::string Object::get_owner() const { return StringPool::get_string(m_owner); }
std::string Object::get_service() const { return StringPool::get_string(m_service); }

namespace {

// Stores |value| in |slot|; true when it changed.
bool replace(StringPool::StringHandle& slot, const StringPool::StringHandle& value) {
  if (slot == value) return false;
  slot = value;
  return true;
}

}  // namespace

void Object::set_name(const StringPool::StringHandle& name) {
  if (replace(m_name, name)) set_modified(true);
}

void Object::set_class_name(const StringPool::StringHandle& class_name) {
  if (replace(m_class_name, class_name)) set_modified(true);
}

void Object::set_owner(const StringPool::StringHandle& owner) {
  if (replace(m_owner, owner)) set_modified(true);
}

void Object::set_service(const StringPool::StringHandle& service) {
  if (replace(m_service, service)) set_modified(true);
}

void Object::set_name(const std::string& name) { set_name(internal::intern_name(name)); }

void Object::set_class_name(const std::string& class_name) {
  set_class_name(internal::intern_name(class_name));
}

void Object::set_service(const std::string& service) {
  set_service(internal::intern_name(service));
}

void Object::set_owner(const std::string& owner) {
  set_owner(internal::intern(owner.substr(0, owner.find(OWNER_SEPARATOR))));
}

void Object::set_version(unsigned int version) {
  if (version == m_version) return;
  m_version = version;
  set_modified(true);
}

LinkList& Object::get_links() {
  if (!m_links) m_links = new LinkList();
  return *m_links;
}

const LinkList& Object::get_links() const { return m_links ? *m_links : empty_links(); }

void Object::set_flags(unsigned int mask, bool on) {
  if (on) {
    m_flags |= mask;
  } else {
    m_flags &= ~mask;
  }
}

void Object::set_no_sync(bool no_sync) {
  if (no_sync == is_no_sync()) return;
  set_flags(FLAG_NO_SYNC, no_sync);
  set_modified(true);
}

void Object::set_sharing(SharingModel sharing) {
  unsigned int value = static_cast<unsigned int>(sharing) & 0xF;
  if (value == static_cast<unsigned int>(get_sharing())) return;
  m_flags = (m_flags & ~FLAG_SHARING_MASK) | (value << FLAG_SHARING_SHIFT);
  set_modified(true);
}

void Object::set_modified(bool modified) {
  set_flags(FLAG_MODIFIED, modified);
  if (modified) return;
  m_attributes.set_modified(false);
  for (orva::SharedPointer<Attribute>& attribute : m_attributes) {
    if (attribute.is_valid()) attribute->set_modified(false);
  }
  if (m_links) {
    m_links->set_modified(false);
    for (Link& link : *m_links) link.set_modified(false);
  }
}

bool Object::is_modified() const {
  if (m_flags & FLAG_MODIFIED) return true;
  if (m_attributes.is_modified()) return true;
  if (!m_links) return false;
  if (m_links->is_modified()) return true;
  for (const Link& link : *m_links) {
    if (link.is_modified()) return true;
  }
  return false;
}

bool Object::has_value() const {
  if (m_links) {
    for (const Link& link : *m_links) {
      if (link.has_value()) return true;
    }
  }
  for (const orva::SharedPointer<Attribute>& attribute : m_attributes) {
    if (attribute.is_valid() && attribute->has_value()) return true;
  }
  return false;
}

bool Object::is_system() const {
  const char* name = StringPool::get_text(m_name);
  return name && std::strncmp(name, SYSTEM_PREFIX, sizeof SYSTEM_PREFIX - 1) == 0;
}

void Object::clear() {
  m_attributes = AttributeList();
  delete m_links;
  m_links = nullptr;
  set_modified(true);
}

void Object::reset() {
  ObjectBase::reset();
  m_name = StringPool::StringHandle();
  m_class_name = StringPool::StringHandle();
  m_owner = StringPool::StringHandle();
  m_service = StringPool::StringHandle();
  m_version = 0;
  m_timestamp = 0;
  m_flags &= FLAG_LOCAL_CHANGES;
  clear();
}

bool Object::write(WriteStream& stream) const {
  ObjectBase::write(stream);
  internal::write_name(stream, m_name);
  internal::write_name(stream, m_class_name);
  internal::write_name(stream, m_owner);
  internal::write_name(stream, m_service);
  stream.write_uint32(m_version);
  stream.write_timestamp(m_timestamp);
  stream.write_uint32(m_flags);
  m_attributes.write(stream);
  get_links().write(stream);
  return stream.is_ok();
}

bool Object::read(ReadStream& stream) {
  reset();
  if (!ObjectBase::read(stream)) return false;
  // Through the text setters, so that their cuts hold.
  std::string text;
  stream.read_string(text);
  set_name(text);
  stream.read_string(text);
  set_class_name(text);
  stream.read_string(text);
  set_owner(text);
  stream.read_string(text);
  set_service(text);
  if (!stream.is_ok()) return false;
  unsigned int version = 0;
  long long timestamp = 0;
  unsigned int flags = 0;
  stream.read_uint32(version);
  stream.read_timestamp(timestamp);
  stream.read_uint32(flags);
  if (!stream.is_ok()) return false;
  m_version = version;
  m_timestamp = timestamp;
  m_flags = flags;  // exactly the stored word, the modified bit included
  if (!m_attributes.read(stream)) return false;
  std::unique_ptr<LinkList> links(new LinkList());
  bool ok = links->read(stream);
  if (!links->empty()) m_links = links.release();
  return ok && stream.is_ok();
}

}  // namespace keldra
}  // namespace orva
