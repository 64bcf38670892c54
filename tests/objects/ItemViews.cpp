#include "ItemViews.h"

#include <keldra/AttributeHandleManager.h>

namespace keldra_test {

using orva::keldra::view_strings;

StringPool::StringSet* TestItemStrings::create_strings(StringPool& pool) {
  TestItemStrings* s = new TestItemStrings;
  pool.init_handle(s->item, "item");
  pool.init_handle(s->meta, "meta");
  pool.init_handle(s->points, "points");
  pool.init_handle(s->data, "data");
  pool.init_handle(s->remote_info, "remote_info");
  pool.init_handle(s->remote_uri, "remote_uri");
  return s;
}

TestItem::TestItem() : m_strings(view_strings<TestItemStrings>()) {
  m_meta.set_parent(this);
  m_points.set_parent(this);
  m_data.set_parent(this);
  m_remote_info.set_parent(this);
  m_remote_uri.set_parent(this);
}

const StringPool::StringHandle& TestItem::get_class_name_handle() const { return m_strings->item; }

void TestItem::do_init_child_handle(AttributeHandle& child) {
  if (&child == &m_meta) {
    add_handle(child, m_strings->meta);
  } else if (&child == &m_points) {
    add_handle(child, m_strings->points);
  } else if (&child == &m_data) {
    add_handle(child, m_strings->data);
  } else if (&child == &m_remote_info) {
    add_handle(child, m_strings->remote_info);
  } else if (&child == &m_remote_uri) {
    add_handle(child, m_strings->remote_uri);
  } else {
    ObjectHandle::do_init_child_handle(child);
  }
}

void TestItem::attach_child_handles() {
  ObjectHandle::attach_child_handles();
  attach_handle(m_meta, m_strings->meta);
  attach_handle(m_points, m_strings->points);
  attach_handle(m_data, m_strings->data);
  attach_handle(m_remote_info, m_strings->remote_info);
  attach_handle(m_remote_uri, m_strings->remote_uri);
}

}  // namespace keldra_test
