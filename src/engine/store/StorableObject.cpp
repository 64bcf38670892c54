#include <keldra/StorableObject.h>

namespace orva {
namespace keldra {

StringPool::StringSet* StorableObjectStrings::create_strings(StringPool& pool) {
  StorableObjectStrings* s = new StorableObjectStrings;
  pool.init_handle(s->meta, "meta");
  return s;
}

StorableObject::StorableObject() : m_strings(view_strings<StorableObjectStrings>()) {
  init_members();
}

StorableObject::StorableObject(const StorableObject& other)
    : ObjectHandle(other), StorableObjectBase(other), m_strings(other.m_strings) {
  init_members();
  copy_with_class(other);
}

StorableObject& StorableObject::operator=(const StorableObject& other) {
  if (this != &other) {
    m_strings = other.m_strings;
    reset_self();
    copy_with_class(other);
  }
  return *this;
}

StorableObject::~StorableObject() {}

void StorableObject::init_members() { m_metadata.set_parent(this); }

// ObjectHandle::copy keeps the class of this view's own object, which for a view
// without class is none at all; the copy would then never be storable.
void StorableObject::copy_with_class(const StorableObject& other) {
  ObjectHandle::copy(other);
  if (is_safe() && other.is_safe()) {
    object()->set_class_name(other.object()->get_class_name_handle());
  }
  attach_child_handles();
}

const StringPool::StringHandle& StorableObject::get_class_name_handle() const {
  static const StringPool::StringHandle any_class;
  return any_class;
}

void StorableObject::do_init_child_handle(AttributeHandle& child) {
  if (&child == &m_metadata) {
    add_handle(child, m_strings->meta);
  } else {
    ObjectHandle::do_init_child_handle(child);
  }
}

void StorableObject::attach_child_handles() {
  ObjectHandle::attach_child_handles();
  attach_handle(m_metadata, m_strings->meta);
}

ErrorCode StorableObject::store(Store& store) { return do_store(store, object()); }

ErrorCode StorableObject::do_attach_object(const orva::SharedPointer<Object>& object) {
  return attach_if_accepted(*this, object);
}

}  // namespace keldra
}  // namespace orva
