#include <keldra/PositionArray.h>

#include "model/RecordUtils.h"

namespace orva {
namespace keldra {

StringPool::StringSet* PositionArrayStrings::create_strings(StringPool& pool) {
  PositionArrayStrings* s = new PositionArrayStrings;
  pool.init_handle(s->position, "position");
  return s;
}

bool PositionItemNameCompare::operator()(const orva::SharedPointer<Position>& item) const {
  return item.is_valid() && item->get_name() == m_name;
}

PositionArray::PositionArray() : m_strings(view_strings<PositionArrayStrings>()) {}

PositionArray::PositionArray(const PositionArray& other)
    : AttributeHandleList<Position>(other), m_strings(other.m_strings) {}

PositionArray& PositionArray::operator=(const PositionArray& other) {
  if (this != &other) {
    m_strings = other.m_strings;
    AttributeHandleList<Position>::operator=(other);
  }
  return *this;
}

void PositionArray::set_items_name() {
  set_item_names(m_strings->position, StringPool::StringHandle());
}

std::string PositionArray::item_name_by_context(const std::string& context) const {
  std::string name = StringPool::get_string(m_strings->position);
  if (!context.empty()) name += "." + context;
  return name;
}

// Item names are cut to 64 bytes when stored, so a long context is looked up by the
// name as it was stored.
orva::SharedPointer<Position> PositionArray::get_item_by_context(
    const std::string& context) const {
  const std::string name = internal::cut_name(item_name_by_context(context));
  orva::SharedPointer<Position> item;
  find_item(PositionItemNameCompare(name), item);
  return item;
}

ErrorCode PositionArray::set_item_by_context(const Position& position,
                                             const std::string& context) {
  const std::string name = item_name_by_context(context);
  orva::SharedPointer<Position> item = get_item_by_context(context);
  if (!item.is_valid()) item = insert_item(count());
  if (!item.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  ErrorCode result = item->copy(position);
  if (result == ORVA_ERROR_NONE) item->attribute()->set_name(name);
  return result;
}

}  // namespace keldra
}  // namespace orva
