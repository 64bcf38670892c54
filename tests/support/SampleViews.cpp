#include "support/SampleViews.h"

#include <keldra/AttributeHandleManager.h>

namespace keldra_test {

using orva::keldra::view_strings;

StringPool::StringSet* TestViewStrings::create_strings(StringPool& pool) {
  TestViewStrings* s = new TestViewStrings;
  pool.init_handle(s->place, "place");
  pool.init_handle(s->card, "card");
  pool.init_handle(s->position, "position");
  pool.init_handle(s->title, "title");
  pool.init_handle(s->tags, "tags");
  pool.init_handle(s->name, "name");
  pool.init_handle(s->line, "line");
  return s;
}

// ---- TestCard ----

TestCard::TestCard() : m_strings(view_strings<TestViewStrings>()) {
  set_up_children();
  m_lines.set_items_name(m_strings->line);
}

TestCard::TestCard(const TestCard& other) : AttributeHandle(other), m_strings(other.m_strings) {
  set_up_children();
  m_lines.set_items_name(m_strings->line);
  copy(other);
  attach_child_handles();
}

TestCard& TestCard::operator=(const TestCard& other) {
  if (this != &other) {
    m_strings = other.m_strings;
    AttributeHandle::operator=(other);
  }
  return *this;
}

void TestCard::set_up_children() {
  m_title.set_parent(this);
  m_tags.set_parent(this);
  m_lines.set_parent(this);
}

const StringPool::StringHandle& TestCard::get_class_name_handle() const { return m_strings->card; }

void TestCard::do_init_child_handle(AttributeHandle& child) {
  if (&child == &m_title) {
    add_handle(child, m_strings->title);
  } else if (&child == &m_tags) {
    add_handle(child, m_strings->tags);
  } else {
    AttributeHandle::do_init_child_handle(child);
  }
}

void TestCard::attach_child_handles() {
  AttributeHandle::attach_child_handles();
  attach_handle(m_title, m_strings->title);
  attach_handle(m_tags, m_strings->tags);
  m_lines.attach();
}

// ---- TestPlace ----

TestPlace::TestPlace() : m_strings(view_strings<TestViewStrings>()) {
  set_up_children();
  m_names.set_items_name(m_strings->name);
  m_positions.set_items_name();
}

TestPlace::TestPlace(const TestPlace& other)
    : ObjectHandle(other), m_strings(other.m_strings) {
  set_up_children();
  m_names.set_items_name(m_strings->name);
  m_positions.set_items_name();
  copy(other);
  attach_child_handles();
}

TestPlace& TestPlace::operator=(const TestPlace& other) {
  if (this != &other) {
    m_strings = other.m_strings;
    ObjectHandle::operator=(other);
  }
  return *this;
}

void TestPlace::set_up_children() {
  m_position.set_parent(this);
  m_card.set_parent(this);
  m_names.set_parent(this);
  m_positions.set_parent(this);
}

const StringPool::StringHandle& TestPlace::get_class_name_handle() const {
  return m_strings->place;
}

void TestPlace::do_init_child_handle(AttributeHandle& child) {
  if (&child == &m_position) {
    add_handle(child, m_strings->position);
  } else if (&child == &m_card) {
    add_handle(child, m_strings->card);
  } else {
    ObjectHandle::do_init_child_handle(child);
  }
}

void TestPlace::attach_child_handles() {
  ObjectHandle::attach_child_handles();
  attach_handle(m_position, m_strings->position);
  attach_handle(m_card, m_strings->card);
  m_names.attach();
  m_positions.attach();
}

}  // namespace keldra_test
