#include <keldra/StorableBoundedObject.h>

namespace orva {
namespace keldra {

StringPool::StringSet* StorableBoundedObjectStrings::create_strings(StringPool& pool) {
  StorableBoundedObjectStrings* s = new StorableBoundedObjectStrings;
  pool.init_handle(s->bounding_box, "bounding_box");
  return s;
}

StorableBoundedObject::StorableBoundedObject()
    : m_strings(view_strings<StorableBoundedObjectStrings>()) {
  init_members();
}

// StorableObject's copy constructor copies the object; the bounding box, constructed
// after it, is bound here.
StorableBoundedObject::StorableBoundedObject(const StorableBoundedObject& other)
    : StorableObject(other), m_strings(other.m_strings) {
  init_members();
  attach_child_handles();
}

StorableBoundedObject& StorableBoundedObject::operator=(const StorableBoundedObject& other) {
  if (this != &other) {
    m_strings = other.m_strings;
    StorableObject::operator=(other);
  }
  return *this;
}

StorableBoundedObject::~StorableBoundedObject() {}

void StorableBoundedObject::init_members() { m_bounding_box.set_parent(this); }

void StorableBoundedObject::do_init_child_handle(AttributeHandle& child) {
  if (&child == &m_bounding_box) {
    add_handle(child, m_strings->bounding_box);
  } else {
    StorableObject::do_init_child_handle(child);
  }
}

void StorableBoundedObject::attach_child_handles() {
  StorableObject::attach_child_handles();
  attach_handle(m_bounding_box, m_strings->bounding_box);
}

}  // namespace keldra
}  // namespace orva
