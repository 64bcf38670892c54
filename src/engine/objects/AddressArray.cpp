#include <keldra/AddressArray.h>

#include <keldra/LoggerUmbo.h>

#include "model/RecordUtils.h"

namespace orva {
namespace keldra {

using internal::LoggerUmbo;

StringPool::StringSet* AddressArrayStrings::create_strings(StringPool& pool) {
  AddressArrayStrings* s = new AddressArrayStrings;
  pool.init_handle(s->address, "address");
  return s;
}

bool AddressItemNameCompare::operator()(const orva::SharedPointer<Address>& item) const {
  if (!item.is_valid()) return false;
  const std::string name = item->get_name();
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "AddressItemNameCompare, m_name: %s, name: %s",
                   m_name.c_str(), name.c_str());
  return name == m_name;
}

AddressArray::AddressArray() : m_strings(view_strings<AddressArrayStrings>()) {}

AddressArray::AddressArray(const AddressArray& other)
    : AttributeHandleList<Address>(other), m_strings(other.m_strings) {}

AddressArray& AddressArray::operator=(const AddressArray& other) {
  if (this != &other) {
    m_strings = other.m_strings;
    AttributeHandleList<Address>::operator=(other);
  }
  return *this;
}

void AddressArray::set_items_name() {
  set_item_names(m_strings->address, StringPool::StringHandle());
}

std::string AddressArray::item_name_by_context(const std::string& context) const {
  std::string name = StringPool::get_string(m_strings->address);
  if (!context.empty()) name += "." + context;
  return name;
}

// Item names are cut to 64 bytes when stored, so a long context is looked up by the
// name as it was stored.
orva::SharedPointer<Address> AddressArray::get_item_by_context(const std::string& context) const {
  const std::string name = internal::cut_name(item_name_by_context(context));
  orva::SharedPointer<Address> item;
  find_item(AddressItemNameCompare(name), item);
  return item;
}

ErrorCode AddressArray::set_item_by_context(const Address& address, const std::string& context) {
  const std::string name = internal::cut_name(item_name_by_context(context));
  orva::SharedPointer<Address> item;
  find_item(AddressItemNameCompare(name), item);
  if (!item.is_valid()) item = insert_item(count());
  if (!item.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  ErrorCode result = item->copy(address);
  if (result != ORVA_ERROR_NONE) return result;
  item->attribute()->set_name(name);
  return ORVA_ERROR_NONE;
}

}  // namespace keldra
}  // namespace orva
