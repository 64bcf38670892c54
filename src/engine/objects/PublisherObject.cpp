#include <keldra/PublisherObject.h>

namespace orva {
namespace keldra {

StringPool::StringSet* PublisherObjectStrings::create_strings(StringPool& pool) {
  PublisherObjectStrings* s = new PublisherObjectStrings;
  pool.init_handle(s->publisher, "publisher");
  pool.init_handle(s->contact, "contact");
  pool.init_handle(s->meta, "meta");
  return s;
}

PublisherObject::PublisherObject() : m_strings(view_strings<PublisherObjectStrings>()) {
  init_members();
}

PublisherObject::PublisherObject(const PublisherObject& other)
    : ObjectHandle(other), m_strings(other.m_strings) {
  init_members();
  ObjectHandle::copy(other);
  attach_child_handles();
}

PublisherObject& PublisherObject::operator=(const PublisherObject& other) {
  if (this != &other) {
    m_strings = other.m_strings;
    ObjectHandle::operator=(other);
  }
  return *this;
}

void PublisherObject::init_members() {
  m_metadata.set_parent(this);
  m_contact.set_parent(this);
}

const StringPool::StringHandle& PublisherObject::get_class_name_handle() const {
  return m_strings->publisher;
}

void PublisherObject::attach_child_handles() {
  ObjectHandle::attach_child_handles();
  attach_handle(m_metadata, m_strings->meta);
  attach_handle(m_contact, m_strings->contact);
}

void PublisherObject::do_init_child_handle(AttributeHandle& child) {
  if (&child == &m_metadata) {
    add_handle(child, m_strings->meta);
  } else if (&child == &m_contact) {
    add_handle(child, m_strings->contact);
  } else {
    ObjectHandle::do_init_child_handle(child);
  }
}

}  // namespace keldra
}  // namespace orva
