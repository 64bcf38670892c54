#include <keldra/ObjectHandle.h>

namespace orva {
namespace keldra {

ObjectHandle::ObjectHandle() {}

ObjectHandle::ObjectHandle(const ObjectHandle& other) : AttributeHandleManager(other) {}

ObjectHandle::~ObjectHandle() {
  for (CustomSection& section : m_custom_sections) {
    if (section.handler->get_parent() == this) section.handler->set_parent(nullptr);
  }
}

void ObjectHandle::attach(const orva::SharedPointer<Object>& object) {
  reset_self();
  if (object.is_valid()) {
    if (get_class_name_handle().is_valid()) {
      KELDRA_INVARIANT(object->get_class_name_handle() == get_class_name_handle(),
                       "op->get_class_name_handle() == get_class_name_handle()",
                       "ObjectHandleBase.cpp", 80);
    }
    m_object = object;
  }
  attach_child_handles();
}

void ObjectHandle::reset() {
  m_object.release();
  attach(orva::SharedPointer<Object>());
}

AttributeList* ObjectHandle::get_attribute_list() {
  return is_safe() ? &m_object->get_attributes() : nullptr;
}

const AttributeList* ObjectHandle::get_attribute_list() const {
  if (!is_safe()) return nullptr;
  const Object& object = *m_object;
  return &object.get_attributes();
}

bool ObjectHandle::init_self() {
  if (is_safe()) return true;
  m_object.reset(new Object(get_class_name()));
  return is_safe();
}

void ObjectHandle::do_init_child_handle(AttributeHandle& child) {
  for (CustomSection& section : m_custom_sections) {
    if (section.handler.get() == &child) {
      add_handle(child, section.name);
      return;
    }
  }
}

void ObjectHandle::attach_child_handles() {
  for (CustomSection& section : m_custom_sections) attach_handle(*section.handler, section.name);
}

ErrorCode ObjectHandle::copy(const ObjectHandle& other) {
  if (m_object == other.m_object) return ORVA_ERROR_INVALID_PARAMETERS;
  if (!init_self()) return ORVA_ERROR_OUT_OF_MEMORY;
  StringPool::StringHandle class_name = m_object->get_class_name_handle();
  if (other.is_safe()) {
    *m_object = *other.m_object;
    m_object->set_class_name(class_name);
  }
  // The object's attributes were replaced: child views must follow.
  attach_child_handles();
  return ORVA_ERROR_NONE;
}

ObjectHandle& ObjectHandle::operator=(const ObjectHandle& other) {
  if (this == &other) return *this;
  reset_self();
  copy(other);
  attach_child_handles();
  return *this;
}

std::string ObjectHandle::get_name() const {
  return is_safe() ? m_object->get_name() : std::string();
}

std::string ObjectHandle::get_owner() const {
  return is_safe() ? m_object->get_owner() : std::string();
}

unsigned int ObjectHandle::get_local_id() const {
  return is_safe() ? m_object->get_local_id() : 0;
}

SharingModel ObjectHandle::get_sharing() const {
  return is_safe() ? m_object->get_sharing() : static_cast<SharingModel>(0);
}

void ObjectHandle::set_sharing(SharingModel model) {
  if (!init_self()) return;
  m_object->set_sharing(model);
}

ErrorCode ObjectHandle::register_custom_section(
    const orva::SharedPointer<AttributeHandle>& handler, const StringPool::StringHandle& name) {
  if (!handler.is_valid()) return ORVA_ERROR_INVALID_PARAMETERS;
  for (const CustomSection& section : m_custom_sections) {
    if (section.name == name) return ORVA_ERROR_NOT_SUPPORTED;
  }
  CustomSection section;
  section.handler = handler;
  section.name = name;
  m_custom_sections.push_back(section);
  handler->set_parent(this);
  attach_handle(*handler, name);
  return ORVA_ERROR_NONE;
}

orva::SharedPointer<AttributeHandle> ObjectHandle::get_custom_section_handler(
    const StringPool::StringHandle& name) {
  for (const CustomSection& section : m_custom_sections) {
    if (section.name == name) return section.handler;
  }
  return orva::SharedPointer<AttributeHandle>();
}

}  // namespace keldra
}  // namespace orva
