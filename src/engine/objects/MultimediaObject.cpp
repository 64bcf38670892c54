#include <keldra/MultimediaObject.h>

namespace orva {
namespace keldra {

StringPool::StringSet* MultimediaObjectStrings::create_strings(StringPool& pool) {
  MultimediaObjectStrings* s = new MultimediaObjectStrings;
  pool.init_handle(s->multimedia, "multimedia");
  pool.init_handle(s->data, "data");
  pool.init_handle(s->local_info, "local_info");
  pool.init_handle(s->local_uri, "local_uri");
  pool.init_handle(s->meta, "meta");
  pool.init_handle(s->position, "position");
  pool.init_handle(s->remote_info, "remote_info");
  pool.init_handle(s->remote_uri, "remote_uri");
  return s;
}

MultimediaObject::MultimediaObject() : m_strings(view_strings<MultimediaObjectStrings>()) {
  init_members();
}

MultimediaObject::MultimediaObject(const MultimediaObject& other)
    : ObjectHandle(other), m_strings(other.m_strings) {
  init_members();
  ObjectHandle::copy(other);
  attach_child_handles();
}

MultimediaObject& MultimediaObject::operator=(const MultimediaObject& other) {
  if (this != &other) {
    m_strings = other.m_strings;
    ObjectHandle::operator=(other);
  }
  return *this;
}

void MultimediaObject::init_members() {
  m_metadata.set_parent(this);
  m_position.set_parent(this);
  m_data_stream.set_parent(this);
  m_local_uri.set_parent(this);
  m_remote_uri.set_parent(this);
  m_local_info.set_parent(this);
  m_remote_info.set_parent(this);
}

const StringPool::StringHandle& MultimediaObject::get_class_name_handle() const {
  return m_strings->multimedia;
}

void MultimediaObject::attach_child_handles() {
  ObjectHandle::attach_child_handles();
  attach_handle(m_metadata, m_strings->meta);
  attach_handle(m_position, m_strings->position);
  attach_handle(m_data_stream, m_strings->data);
  attach_handle(m_local_uri, m_strings->local_uri);
  attach_handle(m_remote_uri, m_strings->remote_uri);
  attach_handle(m_local_info, m_strings->local_info);
  attach_handle(m_remote_info, m_strings->remote_info);
}

void MultimediaObject::do_init_child_handle(AttributeHandle& child) {
  if (&child == &m_metadata) {
    add_handle(child, m_strings->meta);
  } else if (&child == &m_position) {
    add_handle(child, m_strings->position);
  } else if (&child == &m_data_stream) {
    add_handle(child, m_strings->data);
  } else if (&child == &m_local_uri) {
    add_handle(child, m_strings->local_uri);
  } else if (&child == &m_remote_uri) {
    add_handle(child, m_strings->remote_uri);
  } else if (&child == &m_local_info) {
    add_handle(child, m_strings->local_info);
  } else if (&child == &m_remote_info) {
    add_handle(child, m_strings->remote_info);
  } else {
    ObjectHandle::do_init_child_handle(child);
  }
}

}  // namespace keldra
}  // namespace orva
