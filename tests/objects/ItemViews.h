// A sample object view owning one child of each view under test, a tree printer and
// the fixture of the view tests.
//
// TestItem is an object view of class "item" with the children "meta" (Metadata),
// "points" (WaypointList), "data" (DataStream), "remote_info" (FileInfo) and
// "remote_uri" (Uri), the way the store's object views hold them.
#pragma once

#include <keldra/Attribute.h>
#include <keldra/DataStream.h>
#include <keldra/FileInfo.h>
#include <keldra/Metadata.h>
#include <keldra/Object.h>
#include <keldra/ObjectHandle.h>
#include <keldra/StringPool.h>
#include <keldra/Uri.h>
#include <keldra/WaypointList.h>

#include <tervo/ustring.h>

#include <gtest/gtest.h>

#include "support/AttributeTree.h"

#include <ostream>
#include <string>

namespace keldra_test {

using orva::SharedPointer;
using orva::ustring;
using orva::keldra::Attribute;
using orva::keldra::AttributeHandle;
using orva::keldra::AttributeList;
using orva::keldra::Object;
using orva::keldra::StringPool;

class TestItemStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle item, meta, points, data, remote_info, remote_uri;
};

class TestItem : public orva::keldra::ObjectHandle {
 public:
  TestItem();

  const StringPool::StringHandle& get_class_name_handle() const override;
  void do_init_child_handle(AttributeHandle& child) override;
  void attach_child_handles() override;

  orva::keldra::Metadata& meta() { return m_meta; }
  orva::keldra::WaypointList& points() { return m_points; }
  orva::keldra::DataStream& data() { return m_data; }
  orva::keldra::FileInfo& remote_info() { return m_remote_info; }
  orva::keldra::Uri& remote_uri() { return m_remote_uri; }

 private:
  TestItemStrings* m_strings;
  orva::keldra::Metadata m_meta;
  orva::keldra::WaypointList m_points;
  orva::keldra::DataStream m_data;
  orva::keldra::FileInfo m_remote_info;
  orva::keldra::Uri m_remote_uri;
};

// Tree pictures with field names and types, and link names.
inline std::string typed_tree(const AttributeList& list) {
  return attribute_tree(list, FieldText::kNameAndType, true);
}
inline std::string typed_tree(const Attribute& attribute) {
  return attribute_tree(attribute, FieldText::kNameAndType, true);
}

// Every test runs with a string pool of its own.
class ItemViewTest : public ::testing::Test {
 protected:
  SharedPointer<StringPool> m_pool = StringPool::create();
};

}  // namespace keldra_test
