#include <keldra/Link.h>

#include <keldra/ReadStream.h>
#include <keldra/WriteStream.h>

#include "model/RecordUtils.h"

namespace orva {
namespace keldra {

Link::Link() : m_local_link(0), m_global_link(0), m_modified(true) {}

Link::Link(unsigned int local_id) : m_local_link(local_id), m_global_link(0), m_modified(true) {}

Link::Link(const ObjectBase& object)
    : m_local_link(object.get_local_id()),
      m_global_link(object.get_global_id()),
      m_modified(true) {}

Link::Link(const Link& other) : Link() {
  *this = other;
  m_modified = true;
}

Link::Link(Link&& other) noexcept
    : RefCountable(),
      Serializable(),
      m_local_link(other.m_local_link),
      m_global_link(other.m_global_link),
      m_name(other.m_name),
      m_modified(other.m_modified) {}

Link& Link::operator=(const Link& other) {
  if (this == &other) return *this;
  set_local_link(other.m_local_link);
  set_global_link(other.m_global_link);
  set_name(other.m_name);
  return *this;
}

Link& Link::operator=(Link&& other) noexcept {
  m_local_link = other.m_local_link;
  m_global_link = other.m_global_link;
  m_name = other.m_name;
  m_modified = other.m_modified;
  return *this;
}

void Link::set_local_link(unsigned int id) {
  if (id == m_local_link) return;
  m_local_link = id;
  m_modified = true;
}

void Link::set_global_link(unsigned long long id) {
  if (id == m_global_link) return;
  m_global_link = id;
  m_modified = true;
}

Link::LinkType Link::get_link_type() const {
  if (m_global_link != 0) return LINK_GLOBAL;
  if (m_local_link != 0) return LINK_LOCAL;
  return LINK_NONE;
}

std::string Link::get_name() const { return StringPool::get_string(m_name); }

void Link::set_name(const StringPool::StringHandle& name) {
  if (name == m_name) return;
  m_name = name;
  m_modified = true;
}

void Link::set_name(const std::string& name) { set_name(internal::intern_name(name)); }

void Link::reset() {
  m_local_link = 0;
  m_global_link = 0;
  m_name = StringPool::StringHandle();
  m_modified = true;
}

Link::operator ObjectBase() const { return ObjectBase(m_local_link, m_global_link); }

bool Link::write(WriteStream& stream) const {
  internal::write_name(stream, m_name);
  stream.write_uint32(m_local_link);
  stream.write_uint64(m_global_link);
  return stream.is_ok();
}

bool Link::read(ReadStream& stream) {
  reset();
  std::string name;
  stream.read_string(name);  // false for an empty name as well
  if (!stream.is_ok()) return false;
  set_name(name);
  unsigned int local_link = 0;
  unsigned long long global_link = 0;
  if (!stream.read_uint32(local_link) || !stream.read_uint64(global_link)) return false;
  m_local_link = local_link;
  m_global_link = global_link;
  return stream.is_ok();
}

bool operator==(const Link& a, const Link& b) {
  return a.get_local_link() == b.get_local_link() &&
         a.get_global_link() == b.get_global_link() &&
         a.get_name_handle() == b.get_name_handle();
}

bool operator!=(const Link& a, const Link& b) { return !(a == b); }

}  // namespace keldra
}  // namespace orva
