#include <keldra/BoundedObjectBase.h>

namespace orva {
namespace keldra {

StringPool::StringSet* BoundedObjectStrings::create_strings(StringPool& pool) {
  BoundedObjectStrings* s = new BoundedObjectStrings;
  pool.init_handle(s->meta, "meta");
  pool.init_handle(s->bounding_box, "bounding_box");
  return s;
}

BoundedObjectBase::BoundedObjectBase() : m_bounded_strings(view_strings<BoundedObjectStrings>()) {
  init_members();
}

BoundedObjectBase::BoundedObjectBase(const BoundedObjectBase& other)
    : ObjectHandle(other), m_bounded_strings(view_strings<BoundedObjectStrings>()) {
  init_members();
}

BoundedObjectBase& BoundedObjectBase::operator=(const BoundedObjectBase& other) {
  if (this != &other) {
    m_bounded_strings = other.m_bounded_strings;
    ObjectHandle::operator=(other);
  }
  return *this;
}

void BoundedObjectBase::init_members() {
  m_metadata.set_parent(this);
  m_bounding_box.set_parent(this);
}

void BoundedObjectBase::attach_child_handles() {
  ObjectHandle::attach_child_handles();
  attach_handle(m_metadata, m_bounded_strings->meta);
  attach_handle(m_bounding_box, m_bounded_strings->bounding_box);
}

void BoundedObjectBase::do_init_child_handle(AttributeHandle& child) {
  if (&child == &m_metadata) {
    add_handle(child, m_bounded_strings->meta);
  } else if (&child == &m_bounding_box) {
    add_handle(child, m_bounded_strings->bounding_box);
  } else {
    ObjectHandle::do_init_child_handle(child);
  }
}

}  // namespace keldra
}  // namespace orva
