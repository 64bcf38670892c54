// TagList: the view of an attribute of class "list" holding tag words, one text field
// "tag" per tag, in tag order. Written through set_tags it holds no other field and
// no tag twice.
//
// Results: 0; 7 when the attribute cannot be created (nothing stored).
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/AttributeHandle.h>
#include <keldra/ErrorCode.h>
#include <keldra/StringPool.h>

#include <vector>

namespace orva {
class ustring;

namespace keldra {

// Name table of TagList.
class TagListStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle list;  // the class
  StringPool::StringHandle tag;
};

class TagList : public AttributeHandle {
 public:
  TagList();
  TagList(const TagList& other);
  TagList& operator=(const TagList& other);

  const StringPool::StringHandle& get_class_name_handle() const override;

  // Creates; replaces every field of the attribute (whatever its name) by one "tag"
  // field per distinct tag, each kept at the place of its last occurrence: a, b, a is
  // stored as b, a. 0, or 7.
  ErrorCode set_tags(const std::vector<orva::ustring>& tags);
  // Unbound: |tags| untouched. Bound: |tags| becomes the texts of the "tag" fields in
  // field order; a "tag" field that holds no text is skipped.
  void get_tags(std::vector<orva::ustring>& tags) const;
  // Appends |tag| unless present (then 0, nothing changes); otherwise set_tags' result.
  ErrorCode add_tag(const orva::ustring& tag);

 private:
  TagListStrings* m_strings;
};

}  // namespace keldra
}  // namespace orva
