#include <keldra/AttributeHandleManager.h>

#include <keldra/Attribute.h>
#include <keldra/AttributeHandle.h>

namespace orva {
namespace keldra {

void AttributeHandleManager::do_init_child_handle(AttributeHandle&) {}

void AttributeHandleManager::attach_child_handles() {}

void AttributeHandleManager::reset_self() {}

bool AttributeHandleManager::init() { return init_self(); }

void AttributeHandleManager::init_child_handle(AttributeHandle& child) {
  if (init_self()) do_init_child_handle(child);
}

std::string AttributeHandleManager::get_class_name() const {
  return StringPool::get_string(get_class_name_handle());
}

void AttributeHandleManager::add_handle(AttributeHandle& child,
                                        const StringPool::StringHandle& name) {
  AttributeList* list = get_attribute_list();
  if (!list) return;
  orva::SharedPointer<Attribute> attribute(new Attribute(name, child.get_class_name_handle()));
  list->push_back(attribute);
  child.attach(attribute);
}

void AttributeHandleManager::add_handle(AttributeHandle& child, const std::string& name) {
  AttributeList* list = get_attribute_list();
  if (!list) return;
  orva::SharedPointer<Attribute> attribute(new Attribute(name, child.get_class_name()));
  list->push_back(attribute);
  child.attach(attribute);
}

void AttributeHandleManager::add_handle(AttributeHandle& child, const char* name) {
  add_handle(child, std::string(name ? name : ""));
}

void AttributeHandleManager::attach_handle(AttributeHandle& child,
                                           const StringPool::StringHandle& name) {
  orva::SharedPointer<Attribute> found;
  const AttributeList* list =
      static_cast<const AttributeHandleManager*>(this)->get_attribute_list();
  if (list) {
    int index = list->find_attribute(name, child.get_class_name_handle(), 0);
    if (index >= 0) found = list->at(static_cast<unsigned int>(index));
  }
  child.attach(found);
}

void AttributeHandleManager::attach_handle(AttributeHandle& child, const std::string& name) {
  orva::SharedPointer<Attribute> found;
  const AttributeList* list =
      static_cast<const AttributeHandleManager*>(this)->get_attribute_list();
  if (list) {
    int index = list->find_attribute(name, child.get_class_name(), 0);
    if (index >= 0) found = list->at(static_cast<unsigned int>(index));
  }
  child.attach(found);
}

void AttributeHandleManager::attach_handle(AttributeHandle& child, const char* name) {
  attach_handle(child, std::string(name ? name : ""));
}

}  // namespace keldra
}  // namespace orva
