#include <keldra/ListAttributeHandle.h>

namespace orva {
namespace keldra {

StringPool::StringSet* ListAttributeHandleStrings::create_strings(StringPool& pool) {
  ListAttributeHandleStrings* strings = new ListAttributeHandleStrings();
  pool.init_handle(strings->list, "list");
  return strings;
}

ListAttributeHandle::ListAttributeHandle()
    : m_list_strings(view_strings<ListAttributeHandleStrings>()) {}

ListAttributeHandle::ListAttributeHandle(const ListAttributeHandle& other)
    : AttributeHandle(other), m_list_strings(other.m_list_strings) {
  copy(other);
}

ListAttributeHandle& ListAttributeHandle::operator=(const ListAttributeHandle& other) {
  m_list_strings = other.m_list_strings;
  AttributeHandle::operator=(other);
  return *this;
}

const StringPool::StringHandle& ListAttributeHandle::get_class_name_handle() const {
  return m_list_strings->list;
}

}  // namespace keldra
}  // namespace orva
