#include <keldra/Attribute.h>
#include <keldra/AttributeList.h>
#include <keldra/DynamicBuffer.h>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ObjectTestSupport.h"

namespace {

using orva::SharedPointer;
using orva::keldra::Attribute;
using orva::keldra::AttributeList;
using orva::keldra::DynamicBuffer;
using orva::keldra::Field;
using orva::keldra::Link;
using orva::keldra::ObjectBase;
using orva::keldra::StringPool;
using objects_test::read_record;
using objects_test::record_hex;

typedef SharedPointer<Attribute> AttributePtr;

class AttributeTest : public objects_test::PoolTest {};

AttributePtr make(const char* name, const char* class_name) {
  return AttributePtr(new Attribute(std::string(name), std::string(class_name)));
}

Field int_field(const char* name, int value) {
  Field f(value);
  f.set_name(std::string(name));
  return f;
}

// a/x, b/x, a/y
AttributeList three() {
  AttributeList list;
  list.push_back(make("a", "x"));
  list.push_back(make("b", "x"));
  list.push_back(make("a", "y"));
  return list;
}

StringPool::StringHandle handle(const char* text) {
  StringPool::StringHandle h;
  StringPool::set_handle(h, text);
  return h;
}

TEST_F(AttributeTest, FindAttributeByNameAndClass) {
  AttributeList list = three();
  struct Case {
    const char* name;
    const char* class_name;
    int start;
    int index;
  } cases[] = {
      {"a", "", 0, 0},  {"", "x", 1, 1}, {"a", "y", 0, 2}, {"a", "x", 1, -1},
      {"a", "x", -5, 0}, {"", "", 0, -1}, {"b", "y", 0, -1}, {"", "y", 3, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + "/" + c.class_name + " from " + std::to_string(c.start));
    EXPECT_EQ(c.index,
              list.find_attribute(std::string(c.name), std::string(c.class_name), c.start));
    EXPECT_EQ(c.index, list.find_attribute(handle(c.name), handle(c.class_name), c.start));
  }
  AttributeList unnamed;
  unnamed.push_back(AttributePtr(new Attribute()));
  EXPECT_EQ(-1, unnamed.find_attribute(std::string(), std::string(), 0));
  unnamed.push_back(AttributePtr());  // empty slots are skipped
  unnamed.push_back(make("a", ""));
  EXPECT_EQ(2, unnamed.find_attribute(std::string("a"), std::string(), 0));
}

TEST_F(AttributeTest, RemoveAndSetAttribute) {
  AttributeList list = three();
  list.set_modified(false);
  AttributePtr replacement = make("a", "x");
  replacement->get_fields().push_back(int_field("f", 1));
  EXPECT_EQ(0, list.set_attribute(replacement));
  EXPECT_EQ(replacement.get(), list[0].get());
  EXPECT_FALSE(static_cast<const orva::keldra::ModifiableListBase<AttributePtr>&>(list)
                   .is_modified());  // the list's own flag stays clear
  list.set_modified(false);
  for (AttributePtr& a : list) a->set_modified(false);
  EXPECT_EQ(3, list.set_attribute(*make("c", "x")));  // a copy is appended
  EXPECT_TRUE(list.is_modified());
  AttributePtr empty;
  EXPECT_EQ(-1, list.set_attribute(empty));

  list.remove(std::string("a"), std::string());
  ASSERT_EQ(2u, list.size());
  EXPECT_EQ("b", list[0]->get_name());
  EXPECT_EQ("c", list[1]->get_name());
  list.remove(list[1]->get_name_handle(), list[1]->get_class_name_handle());
  ASSERT_EQ(1u, list.size());
  EXPECT_THROW(list.at(1), std::out_of_range);
}

TEST_F(AttributeTest, PathSearchFollowsOnlyTheFirstMatch) {
  // a/x{ b/z{ g } }, a/x{ b/w{ f=2 } }, a/y{ b/z{ f=3 } }
  AttributeList list;
  AttributePtr first = make("a", "x");
  first->get_attributes().push_back(make("b", "z"));
  first->get_attributes()[0]->get_fields().push_back(int_field("g", 1));
  AttributePtr second = make("a", "x");
  second->get_attributes().push_back(make("b", "w"));
  second->get_attributes()[0]->get_fields().push_back(int_field("f", 2));
  AttributePtr third = make("a", "y");
  third->get_attributes().push_back(make("b", "z"));
  third->get_attributes()[0]->get_fields().push_back(int_field("f", 3));
  third->get_fields().push_back(Field(4));  // unnamed
  list.push_back(first);
  list.push_back(second);
  list.push_back(third);

  struct Case {
    std::vector<std::string> names;
    std::vector<std::string> classes;
    const char* field;
    int found;  // the int found, 0 for none
  } cases[] = {
      {{"a", "b"}, {"x", ""}, "g", 1},
      {{"a", "b"}, {"x", ""}, "f", 0},  // the second a/x is not tried
      {{"a", "b"}, {"y", "z"}, "f", 3},
      {{"a", "b"}, {"", "w"}, "f", 0},  // first "a" has no b/w
      {{"a"}, {"y"}, "", 4},            // empty field name: first unnamed field
      {{"a", "b"}, {"x"}, "g", 0},      // counts differ
      {{}, {}, "g", 0},                 // no level
  };
  for (const Case& c : cases) {
    AttributeList::FieldPath path{c.names, c.classes, c.field};
    Field out(-1);
    bool found = list.find_first_field(path, out);
    EXPECT_EQ(c.found != 0, found) << c.field;
    int value = 0;
    out.get_value(value);
    EXPECT_EQ(c.found ? c.found : -1, value) << c.field;
  }

  // From an attribute: levels start among its children; no level means its own fields.
  AttributeList::FieldPath own{{}, {}, ""};
  Field out;
  EXPECT_TRUE(third->find_first_field(own, out));
  AttributeList::FieldPath child{{"b"}, {"z"}, "f"};
  EXPECT_TRUE(third->find_first_field(child, out));
  AttributeList::FieldPath uneven{{"b"}, {}, "f"};
  EXPECT_FALSE(third->find_first_field(uneven, out));
}

TEST_F(AttributeTest, ConstAccessorsNeverCreateLists) {
  Attribute a(std::string("n"), std::string("c"));
  const Attribute& view = a;
  EXPECT_TRUE(view.get_fields().empty());
  EXPECT_TRUE(view.get_attributes().empty());
  EXPECT_TRUE(view.get_links().empty());
  EXPECT_EQ(-1, view.find_field(std::string("x")));
  EXPECT_FALSE(view.has_value());
  AttributeList::FieldPath path{{}, {}, "x"};
  Field out;
  EXPECT_FALSE(view.find_first_field(path, out));
  // Still without lists: the shared empty lists are the same for every attribute.
  Attribute other;
  const Attribute& other_view = other;
  EXPECT_EQ(&view.get_fields(), &other_view.get_fields());
  EXPECT_EQ(&view.get_attributes(), &other_view.get_attributes());
  EXPECT_EQ(&view.get_links(), &other_view.get_links());
  const std::string hex = "010000006E" "0100000063" "00000000" "00000000" "00000000";
  EXPECT_EQ(hex, record_hex(a));
  Attribute back;
  back.get_fields();
  ASSERT_TRUE(read_record(back, hex));
  // The list made before the read is gone: the record had no fields.
  EXPECT_EQ(&other_view.get_fields(), &static_cast<const Attribute&>(back).get_fields());
}

TEST_F(AttributeTest, FieldHelpers) {
  Attribute a("c");
  Field* first = a.prepare_field(std::string("p"));
  Field* again = a.prepare_field(std::string("p"));
  EXPECT_EQ(first, again);
  a.add_field(std::string("d"));
  a.add_field(std::string("d"));
  EXPECT_EQ(3u, a.get_fields().size());

  const unsigned short units[] = {'h', 'i'};
  EXPECT_EQ(0, a.set_ustring_field(std::string("p"), units, 2));
  std::string text;
  a.get_fields()[0].get_value(text);
  EXPECT_EQ("hi", text);

  long long ms = 99;
  EXPECT_FALSE(a.get_time_field(std::string("t"), ms));
  EXPECT_EQ(0, ms);
  EXPECT_EQ(0, a.set_time_field(std::string("t"), 1234));
  EXPECT_TRUE(a.get_time_field(std::string("t"), ms));
  EXPECT_EQ(1234, ms);
  a.get_fields().push_back(int_field("i", 5));
  ms = 99;
  EXPECT_TRUE(a.get_time_field(std::string("i"), ms));  // exists, holds no timestamp
  EXPECT_EQ(0, ms);

  float f = 1.5f;
  EXPECT_TRUE(a.get_field(std::string("i"), f));  // exists; f untouched (int32)
  EXPECT_EQ(1.5f, f);
  EXPECT_FALSE(a.get_field(std::string("none"), f));

  SharedPointer<DynamicBuffer> buffer(new DynamicBuffer());
  EXPECT_EQ(0, a.set_field(std::string("d"), buffer));  // replaces the first "d"
  EXPECT_EQ(Field::TYPE_BINARY, a.get_fields()[1].get_type());
  EXPECT_EQ(Field::TYPE_NONE, a.get_fields()[2].get_type());
}

TEST_F(AttributeTest, ModifiedMarksCoverTheSubtree) {
  AttributePtr root = make("r", "c");
  AttributePtr child = make("k", "c");
  AttributePtr grandchild = make("g", "c");
  grandchild->get_fields().push_back(int_field("f", 1));
  grandchild->get_links().push_back(ObjectBase(1, 0).get_link());
  child->get_attributes().push_back(grandchild);
  root->get_attributes().push_back(child);

  root->set_modified(false);
  EXPECT_FALSE(root->is_modified());
  EXPECT_FALSE(grandchild->get_fields()[0].is_modified());
  EXPECT_FALSE(grandchild->get_links()[0].is_modified());

  grandchild->get_fields()[0].set_value(2);
  EXPECT_TRUE(root->is_modified());
  root->set_modified(false);
  grandchild->get_links()[0].set_local_link(5);
  EXPECT_TRUE(root->is_modified());
  root->set_modified(false);
  child->get_attributes().set_modified(true);
  EXPECT_TRUE(root->is_modified());
  EXPECT_FALSE(grandchild->is_modified());

  root->set_modified(false);
  root->set_modified(true);  // only the node itself
  EXPECT_FALSE(child->is_modified());

  root->set_modified(false);
  root->set_name(std::string("r"));  // same name: no mark
  EXPECT_FALSE(root->is_modified());
  root->set_class_name(std::string("d"));
  EXPECT_TRUE(root->is_modified());
}

TEST_F(AttributeTest, HasValueLooksThroughTheSubtree) {
  Attribute a("c");
  a.get_fields().push_back(Field());  // type none
  a.get_links().push_back(Link());    // no target
  AttributePtr child = make("k", "c");
  a.get_attributes().push_back(child);
  a.get_attributes().push_back(AttributePtr());
  EXPECT_FALSE(a.has_value());
  child->get_links().push_back(Link(4));
  EXPECT_TRUE(a.has_value());
}

TEST_F(AttributeTest, CopyIsDeepAndSharesOnlyBuffers) {
  SharedPointer<DynamicBuffer> buffer(new DynamicBuffer());
  Attribute source(std::string("s"), std::string("c"));
  source.set_field(std::string("bin"), buffer);
  source.get_links().push_back(Link(7));
  AttributePtr child = make("k", "c");
  child->get_fields().push_back(int_field("f", 1));
  source.get_attributes().push_back(child);
  source.set_modified(false);

  Attribute copy;
  copy = source;
  EXPECT_TRUE(copy.is_modified());
  EXPECT_TRUE(copy.get_fields()[0].is_modified());
  EXPECT_TRUE(copy.get_links()[0].is_modified());
  EXPECT_EQ(record_hex(source), record_hex(copy));
  ASSERT_EQ(1u, copy.get_attributes().size());
  EXPECT_NE(child.get(), copy.get_attributes()[0].get());
  SharedPointer<DynamicBuffer> copied_buffer;
  copy.get_fields()[0].get_value(copied_buffer);
  EXPECT_EQ(buffer.get(), copied_buffer.get());
  child->get_fields()[0].set_value(2);
  int value = 0;
  copy.get_attributes()[0]->get_fields()[0].get_value(value);
  EXPECT_EQ(1, value);

  // Lists absent in the source stay absent in the copy.
  Attribute bare("c");
  Attribute bare_copy(bare);
  EXPECT_EQ(&static_cast<const Attribute&>(bare).get_fields(),
            &static_cast<const Attribute&>(bare_copy).get_fields());
}

TEST_F(AttributeTest, AssignmentFromANodeInsideTheTarget) {
  // Attribute from its own child and grandchild, and a list from a list inside it.
  AttributePtr root = make("r", "c");
  AttributePtr child = make("k", "c");
  AttributePtr grandchild = make("g", "c");
  grandchild->get_fields().push_back(int_field("deep", 3));
  child->get_attributes().push_back(grandchild);
  child->get_fields().push_back(int_field("mid", 2));
  root->get_attributes().push_back(child);
  const std::string child_hex = record_hex(*child);
  child.release();
  grandchild.release();

  *root = *root->get_attributes()[0];  // the child's only owner is the root
  EXPECT_EQ(child_hex, record_hex(*root));

  *root = *root->get_attributes()[0];
  EXPECT_EQ("deep", root->get_fields()[0].get_name());

  AttributeList outer;
  AttributePtr holder = make("h", "c");
  holder->get_attributes().push_back(make("inner", "c"));
  outer.push_back(holder);
  holder.release();
  outer = outer[0]->get_attributes();
  ASSERT_EQ(1u, outer.size());
  EXPECT_EQ("inner", outer[0]->get_name());

  outer = outer;  // self-assignment changes nothing
  EXPECT_EQ(1u, outer.size());
}

TEST_F(AttributeTest, ExternalFlagsReachEveryFieldBelow) {
  Attribute a("c");
  a.get_fields().push_back(int_field("f", 1));
  AttributePtr child = make("k", "c");
  child->get_fields().push_back(int_field("g", 1));
  a.get_attributes().push_back(child);
  a.set_modified(false);
  a.set_external(true);
  EXPECT_TRUE(a.get_fields()[0].is_external());
  EXPECT_TRUE(child->get_fields()[0].is_external());
  EXPECT_FALSE(a.is_modified());
}

TEST_F(AttributeTest, TreeRoundTripsThroughItsRecord) {
  AttributeList list;
  AttributePtr place = make("address", "address");
  Field street(std::string("Main \xC3\xA9"));
  street.set_name(std::string("street"));
  place->get_fields().push_back(street);
  place->get_fields().push_back(int_field("number", 12));
  AttributePtr meta = make("meta", "metadata");
  meta->get_links().push_back(ObjectBase(4, 40).get_link());
  AttributePtr icon = make("icon", "");
  icon->get_fields().push_back(Field(2.5));
  meta->get_attributes().push_back(icon);
  place->get_attributes().push_back(meta);
  list.push_back(place);
  list.push_back(make("", "empty"));

  const std::string hex = record_hex(list);
  AttributeList back;
  back.push_back(make("stale", "x"));
  ASSERT_TRUE(read_record(back, hex));
  EXPECT_EQ(hex, record_hex(back));
  ASSERT_EQ(2u, back.size());
  EXPECT_TRUE(back.is_modified());
  EXPECT_EQ("address", back[0]->get_class_name());
  EXPECT_TRUE(back[0]->get_attributes()[0]->get_links()[0] == meta->get_links()[0]);
  // Lists that were empty are not made.
  const Attribute& empty = *back[1];
  EXPECT_EQ(&static_cast<const Attribute&>(Attribute()).get_fields(), &empty.get_fields());
}

// Every list of the tree refuses an index at or past its end with the same text,
// whatever the C++ library's own wording, through both forms of at().
TEST_F(AttributeTest, AtPastTheEndThrowsTheRangeCheckText) {
  Attribute node;
  node.get_fields().push_back(int_field("f", 1));
  node.get_links().push_back(Link(3));
  node.get_attributes().push_back(make("c", "x"));
  const Attribute& view = node;
  const struct {
    const char* list;
    std::function<void(unsigned int)> at;
    std::function<void(unsigned int)> const_at;
  } cases[] = {
      {"fields", [&](unsigned int i) { node.get_fields().at(i); },
       [&](unsigned int i) { view.get_fields().at(i); }},
      {"links", [&](unsigned int i) { node.get_links().at(i); },
       [&](unsigned int i) { view.get_links().at(i); }},
      {"attributes", [&](unsigned int i) { node.get_attributes().at(i); },
       [&](unsigned int i) { view.get_attributes().at(i); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.list);
    EXPECT_NO_THROW(c.at(0));
    EXPECT_NO_THROW(c.const_at(0));
    for (unsigned int index : {1u, 0xFFFFFFFFu}) {
      for (const auto& at : {c.at, c.const_at}) {
        try {
          at(index);
          ADD_FAILURE() << "no exception for index " << index;
        } catch (const std::out_of_range& e) {
          EXPECT_STREQ("vector::_M_range_check", e.what());
        }
      }
    }
  }
}

// An index outside the list is a caller's broken invariant: it stops the process in
// every build rather than remove or place another element.
class ListDeathTest : public objects_test::PoolTest {};

TEST_F(ListDeathTest, IndexesOutsideTheListStopTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  orva::keldra::FieldList fields;
  fields.push_back(int_field("f", 1));
  orva::keldra::LinkList links;
  AttributeList attributes;
  attributes.push_back(make("a", "x"));
  const struct {
    const char* what;
    std::function<void()> call;
    const char* message;
  } cases[] = {
      {"erase at the size", [&] { fields.erase(1); }, "index < m_items.size\\(\\)"},
      {"erase in an empty list", [&] { links.erase(0); }, "index < m_items.size\\(\\)"},
      {"erase far beyond", [&] { attributes.erase(0xFFFFFFFFu); }, "index < m_items.size\\(\\)"},
      {"insert beyond the size", [&] { fields.insert(2, Field(2)); },
       "index <= m_items.size\\(\\)"},
      {"insert into an empty list", [&] { links.insert(1, Link(3)); },
       "index <= m_items.size\\(\\)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_DEATH(c.call(), c.message);
  }
  // At the edges the same calls are fine.
  fields.insert(1, Field(2));
  links.insert(0, Link(3));
  attributes.erase(0);
  EXPECT_EQ(2u, fields.size());
  EXPECT_EQ(1u, links.size());
  EXPECT_TRUE(attributes.empty());
}

}  // namespace
