#include <keldra/AttributeHandleListBase.h>

#include <keldra/LoggerUmbo.h>

namespace orva {
namespace keldra {

using internal::LoggerUmbo;

AttributeHandleListBase::AttributeHandleListBase() : m_list_parent(nullptr) {}

AttributeHandleListBase::AttributeHandleListBase(const AttributeHandleListBase& other)
    : RefCountable(other),
      m_list_parent(nullptr),
      m_items_class(other.m_items_class),
      m_items_name(other.m_items_name) {}

AttributeHandleListBase::~AttributeHandleListBase() {}

AttributeHandleListBase& AttributeHandleListBase::operator=(const AttributeHandleListBase& other) {
  if (this != &other) {
    m_items_class = other.m_items_class;
    m_items_name = other.m_items_name;
  }
  return *this;
}

void AttributeHandleListBase::set_item_names(const StringPool::StringHandle& item_class,
                                             const StringPool::StringHandle& item_name) {
  KELDRA_INVARIANT(!m_items_name.is_valid(), "!m_items_name.is_valid()",
                   "AttributeHandleListBase.cpp", 69);
  KELDRA_INVARIANT(!m_items_class.is_valid(), "!m_items_class.is_valid()",
                   "AttributeHandleListBase.cpp", 70);
  m_items_class = item_class;
  m_items_name = item_name;
}

void AttributeHandleListBase::set_item_names(const std::string& item_class,
                                             const std::string& item_name) {
  set_item_names(StringPool::StringHandle(StringPool::insert(item_class)),
                 StringPool::StringHandle(StringPool::insert(item_name)));
}

bool AttributeHandleListBase::is_my_attribute(
    const orva::SharedPointer<Attribute>& attribute) const {
  if (!attribute.is_valid()) {
    LoggerUmbo::log("is_my_attribute: argument is null", LoggerUmbo::MSG_DUMP);
    return false;
  }
  if (attribute->get_class_name_handle() != m_items_class) return false;
  return !m_items_name.is_valid() || attribute->get_name_handle() == m_items_name;
}

const AttributeList* AttributeHandleListBase::parent_list() const {
  if (!m_list_parent) return nullptr;
  return static_cast<const AttributeHandleManager*>(m_list_parent)->get_attribute_list();
}

unsigned int AttributeHandleListBase::size() const {
  const AttributeList* list = parent_list();
  return list ? list->size() : 0;
}

int AttributeHandleListBase::find_real_pos(unsigned int position) const {
  const AttributeList* list = parent_list();
  if (!list) return -1;
  unsigned int items = count();
  if (position >= items) return position == items ? static_cast<int>(list->size()) : -1;
  unsigned int item = 0;
  for (unsigned int i = 0; i < list->size(); ++i) {
    const orva::SharedPointer<Attribute>& attribute = list->at(i);
    if (!attribute.is_valid() || !is_my_attribute(attribute)) continue;
    if (item == position) return static_cast<int>(i);
    ++item;
  }
  return -1;
}

ErrorCode AttributeHandleListBase::insert_item(const orva::SharedPointer<Attribute>& attribute,
                                               unsigned int position) {
  KELDRA_INVARIANT(m_list_parent, "m_list_parent", "AttributeHandleListBase.cpp", 173);
  KELDRA_INVARIANT(attribute.is_valid(), "item.get()", "AttributeHandleListBase.cpp", 174);
  if (!m_list_parent->init()) return ORVA_ERROR_OUT_OF_MEMORY;
  if (m_items_name.is_valid()) attribute->set_name(m_items_name);
  KELDRA_INVARIANT(is_my_attribute(attribute), "0", "AttributeHandleListBase.cpp", 186);
  AttributeList* attributes = m_list_parent->get_attribute_list();
  KELDRA_INVARIANT(attributes, "attributes", "AttributeHandleListBase.cpp", 191);
  int real = find_real_pos(position);
  if (real >= 0) {
    attributes->insert(static_cast<unsigned int>(real), attribute);
  } else {
    attributes->push_back(attribute);
  }
  return ORVA_ERROR_NONE;
}

ErrorCode AttributeHandleListBase::add_item(const orva::SharedPointer<Attribute>& attribute) {
  return insert_item(attribute, count());
}

ErrorCode AttributeHandleListBase::set_item(unsigned int position,
                                            const orva::SharedPointer<Attribute>& attribute) {
  KELDRA_INVARIANT(m_list_parent, "m_list_parent", "AttributeHandleListBase.cpp", 108);
  KELDRA_INVARIANT(attribute.is_valid(), "item.get()", "AttributeHandleListBase.cpp", 109);
  if (!m_list_parent->init()) return ORVA_ERROR_OUT_OF_MEMORY;
  if (m_items_name.is_valid()) attribute->set_name(m_items_name);
  KELDRA_INVARIANT(is_my_attribute(attribute), "is_my_attribute( item )",
                   "AttributeHandleListBase.cpp", 119);
  if (position >= count()) return ORVA_ERROR_NOT_FOUND;
  int real = find_real_pos(position);
  if (real < 0) return ORVA_ERROR_NOT_FOUND;
  // Only the pointer changes: the list's own mark stays, the new attribute has its own.
  m_list_parent->get_attribute_list()->at(static_cast<unsigned int>(real)) = attribute;
  return ORVA_ERROR_NONE;
}

ErrorCode AttributeHandleListBase::set_items(
    const std::vector<orva::SharedPointer<Attribute> >& attributes) {
  KELDRA_INVARIANT(m_list_parent && m_list_parent->is_safe(),
                   "m_list_parent && m_list_parent->is_safe()", "AttributeHandleListBase.cpp",
                   142);
  if (!m_list_parent->init()) return ORVA_ERROR_OUT_OF_MEMORY;
  AttributeList* list = m_list_parent->get_attribute_list();
  KELDRA_INVARIANT(list, "attributes", "AttributeHandleListBase.cpp", 147);
  list->remove(m_items_name, m_items_class);
  // The old item views stand over attributes the parent no longer holds: rebuild
  // them now (no items) and again once the new items are in.
  attach();
  ErrorCode result = ORVA_ERROR_NONE;
  for (const orva::SharedPointer<Attribute>& attribute : attributes) {
    result = add_item(attribute);
    if (result != ORVA_ERROR_NONE) break;
  }
  attach();
  return result;
}

ErrorCode AttributeHandleListBase::attach() {
  if (!m_list_parent || !m_list_parent->is_safe()) return ORVA_ERROR_NONE;
  const AttributeList* list = parent_list();
  if (!list) return ORVA_ERROR_NONE;
  for (unsigned int i = 0; i < list->size(); ++i) {
    orva::SharedPointer<Attribute> attribute = list->at(i);
    if (!attribute.is_valid() || !is_my_attribute(attribute)) continue;
    ErrorCode result = do_add_attribute_handle(attribute);
    if (result != ORVA_ERROR_NONE) return result;
  }
  return ORVA_ERROR_NONE;
}

ErrorCode AttributeHandleListBase::move_item(unsigned int from, unsigned int to) {
  if (!parent_list()) return ORVA_ERROR_NONE;
  int real_from = find_real_pos(from);
  int real_to = find_real_pos(to);
  // Positions come from callers outside the library: refuse, do not stop.
  if (from >= count() || real_from < 0 || real_to < 0) return ORVA_ERROR_INVALID_PARAMETERS;
  AttributeList* list = m_list_parent->get_attribute_list();
  orva::SharedPointer<Attribute> item = list->at(static_cast<unsigned int>(real_from));
  list->erase(static_cast<unsigned int>(real_from));
  list->insert(static_cast<unsigned int>(real_from < real_to ? real_to - 1 : real_to), item);
  return ORVA_ERROR_NONE;
}

void AttributeHandleListBase::remove_item(unsigned int position) {
  int real = find_real_pos(position);
  if (real < 0 || static_cast<unsigned int>(real) >= size()) return;
  m_list_parent->get_attribute_list()->erase(static_cast<unsigned int>(real));
}

void AttributeHandleListBase::remove_all() {
  const AttributeList* list = parent_list();
  if (!list || list->size() == 0) return;
  m_list_parent->get_attribute_list()->remove(m_items_name, m_items_class);
}

}  // namespace keldra
}  // namespace orva
