#include <keldra/TagList.h>

#include <keldra/Field.h>
#include <keldra/FieldList.h>

#include <tervo/ustring.h>

#include <algorithm>

namespace orva {
namespace keldra {

StringPool::StringSet* TagListStrings::create_strings(StringPool& pool) {
  TagListStrings* s = new TagListStrings;
  pool.init_handle(s->list, "list");
  pool.init_handle(s->tag, "tag");
  return s;
}

TagList::TagList() : m_strings(view_strings<TagListStrings>()) {}

TagList::TagList(const TagList& other) : AttributeHandle(other), m_strings(other.m_strings) {
  copy(other);
  attach_child_handles();
}

TagList& TagList::operator=(const TagList& other) {
  if (this != &other) {
    m_strings = other.m_strings;
    AttributeHandle::operator=(other);
  }
  return *this;
}

const StringPool::StringHandle& TagList::get_class_name_handle() const { return m_strings->list; }

ErrorCode TagList::set_tags(const std::vector<orva::ustring>& tags) {
  if (!init_self()) return ORVA_ERROR_NOT_READY;
  FieldList& fields = attribute()->get_fields();
  while (fields.size() > 0) fields.erase(fields.size() - 1);
  fields.set_modified(true);
  for (size_t i = 0; i < tags.size(); ++i) {
    if (std::find(tags.begin() + i + 1, tags.end(), tags[i]) != tags.end()) continue;
    Field field(tags[i]);
    field.set_name(m_strings->tag);
    fields.push_back(field);
  }
  return ORVA_ERROR_NONE;
}

void TagList::get_tags(std::vector<orva::ustring>& tags) const {
  if (!is_safe()) return;
  tags.clear();
  const Attribute& list = *attribute();
  for (const Field& field : list.get_fields()) {
    if (field.get_name_handle() != m_strings->tag) continue;
    orva::ustring tag;
    if (field.get_value(tag) == ORVA_ERROR_NONE) tags.push_back(tag);
  }
}

ErrorCode TagList::add_tag(const orva::ustring& tag) {
  std::vector<orva::ustring> tags;
  get_tags(tags);
  if (std::find(tags.begin(), tags.end(), tag) != tags.end()) return ORVA_ERROR_NONE;
  tags.push_back(tag);
  return set_tags(tags);
}

}  // namespace keldra
}  // namespace orva
