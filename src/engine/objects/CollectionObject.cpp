#include <keldra/CollectionObject.h>

#include <keldra/Attribute.h>

namespace orva {
namespace keldra {

StringPool::StringSet* CollectionObjectStrings::create_strings(StringPool& pool) {
  CollectionObjectStrings* s = new CollectionObjectStrings;
  pool.init_handle(s->collection, "collection");
  pool.init_handle(s->items, "items");
  return s;
}

CollectionObject::CollectionObject() : m_strings(view_strings<CollectionObjectStrings>()) {
  init_members();
}

CollectionObject::CollectionObject(const CollectionObject& other)
    : BoundedObjectBase(other), m_strings(other.m_strings) {
  init_members();
  ObjectHandle::copy(other);
  attach_child_handles();
}

CollectionObject& CollectionObject::operator=(const CollectionObject& other) {
  if (this != &other) {
    m_strings = other.m_strings;
    BoundedObjectBase::operator=(other);
  }
  return *this;
}

void CollectionObject::init_members() { m_items.set_parent(this); }

const StringPool::StringHandle& CollectionObject::get_class_name_handle() const {
  return m_strings->collection;
}

void CollectionObject::get_items(LinkList& out) const {
  if (!m_items.is_safe()) return;
  // The const accessor: reading must not give the attribute a link list.
  const Attribute& items = *m_items.attribute();
  const LinkList& links = items.get_links();
  if (&out == &links) return;
  out = links;
  out.set_modified(true);
}

ErrorCode CollectionObject::set_items(const LinkList& items) {
  if (!m_items.is_safe()) m_items.init();
  if (!m_items.is_safe()) return ORVA_ERROR_OUT_OF_MEMORY;
  LinkList& links = m_items.attribute()->get_links();
  // |items| may be the members themselves: take them before clearing.
  const LinkList source(items);
  links = LinkList();
  links.set_modified(true);
  for (const Link& link : source) {
    if (links.find_similar_link(link, 0) >= 0) continue;
    links.push_back(link);
  }
  return ORVA_ERROR_NONE;
}

void CollectionObject::remove_dup_links() {
  if (!m_items.is_safe()) return;
  const Attribute& items = *m_items.attribute();
  if (items.get_links().empty()) return;
  LinkList& links = m_items.attribute()->get_links();
  for (unsigned int i = 0; i < links.size(); ++i) {
    while (i < links.size() && links.find_similar_link(links[i], i + 1) >= 0) links.erase(i);
  }
}

void CollectionObject::attach_child_handles() {
  BoundedObjectBase::attach_child_handles();
  attach_handle(m_items, m_strings->items);
  remove_dup_links();
}

void CollectionObject::do_init_child_handle(AttributeHandle& child) {
  if (&child == &m_items) {
    add_handle(child, m_strings->items);
  } else {
    BoundedObjectBase::do_init_child_handle(child);
  }
}

}  // namespace keldra
}  // namespace orva
