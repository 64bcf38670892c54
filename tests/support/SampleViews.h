// Sample views with children, a tree printer and a fixture for the view tests.
//
// TestPlace is an object view of class "place" with the child views "position"
// (Position) and "card" (TestCard), the text list "name" and the list of all
// positions. TestCard is an attribute view of class "card" with the child views
// "title" (Text) and "tags" (TagList) and the text list "line".
#pragma once

#include <keldra/Attribute.h>
#include <keldra/AttributeHandle.h>
#include <keldra/Object.h>
#include <keldra/ObjectHandle.h>
#include <keldra/Position.h>
#include <keldra/PositionArray.h>
#include <keldra/StringPool.h>
#include <keldra/TagList.h>
#include <keldra/Text.h>
#include <keldra/TextArray.h>

#include <tervo/ustring.h>

#include <gtest/gtest.h>

#include "support/AttributeTree.h"

#include <ostream>
#include <string>

namespace keldra_test {

using orva::SharedPointer;
using orva::keldra::Attribute;
using orva::keldra::AttributeHandle;
using orva::keldra::AttributeList;
using orva::keldra::Object;
using orva::keldra::StringPool;

class TestViewStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle place, card, position, title, tags, name, line;
};

class TestCard : public AttributeHandle {
 public:
  TestCard();
  TestCard(const TestCard& other);
  TestCard& operator=(const TestCard& other);

  const StringPool::StringHandle& get_class_name_handle() const override;
  void do_init_child_handle(AttributeHandle& child) override;
  void attach_child_handles() override;
  void reset_self() override { ++reset_self_calls; }

  orva::keldra::Text& title() { return m_title; }
  orva::keldra::TagList& tags() { return m_tags; }
  orva::keldra::TextArray& lines() { return m_lines; }

  int reset_self_calls = 0;

 private:
  void set_up_children();

  TestViewStrings* m_strings;
  orva::keldra::Text m_title;
  orva::keldra::TagList m_tags;
  orva::keldra::TextArray m_lines;
};

class TestPlace : public orva::keldra::ObjectHandle {
 public:
  TestPlace();
  TestPlace(const TestPlace& other);
  TestPlace& operator=(const TestPlace& other);

  const StringPool::StringHandle& get_class_name_handle() const override;
  void do_init_child_handle(AttributeHandle& child) override;
  void attach_child_handles() override;

  orva::keldra::Position& position() { return m_position; }
  TestCard& card() { return m_card; }
  orva::keldra::TextArray& names() { return m_names; }
  orva::keldra::PositionArray& positions() { return m_positions; }

 private:
  void set_up_children();

  TestViewStrings* m_strings;
  orva::keldra::Position m_position;
  TestCard m_card;
  orva::keldra::TextArray m_names;
  orva::keldra::PositionArray m_positions;
};

// Tree pictures with field names only.
inline std::string name_tree(const AttributeList& list) {
  return attribute_tree(list, FieldText::kName, false);
}
inline std::string name_tree(const Attribute& attribute) {
  return attribute_tree(attribute, FieldText::kName, false);
}

// Every test runs with a string pool of its own.
class ViewTest : public ::testing::Test {
 protected:
  SharedPointer<StringPool> m_pool = StringPool::create();
};

}  // namespace keldra_test
