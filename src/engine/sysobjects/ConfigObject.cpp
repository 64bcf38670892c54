#include "sysobjects/ConfigObject.h"

#include <keldra/Attribute.h>
#include <keldra/AttributeList.h>

#include "objects/SystemObject.h"

#include <new>

namespace orva {
namespace keldra {
namespace internal {

namespace {

const SystemObjectIdentity kConfigIdentity = {"sys.keldra.config", ConfigObject::GLOBAL_ID,
                                              ConfigObject::LOCAL_ID};

// Puts |attribute| in place of the first attribute of its class, whatever that one's
// name, or appends it.
void put_by_class(AttributeList& list, const orva::SharedPointer<Attribute>& attribute) {
  int index = list.find_attribute(StringPool::StringHandle(), attribute->get_class_name_handle());
  if (index < 0) {
    list.push_back(attribute);
  } else {
    list[static_cast<unsigned int>(index)] = attribute;
  }
}

// The names are looked up afresh: the static forms have no view to hold them.
const ConfigObjectStrings& strings() { return *view_strings<ConfigObjectStrings>(); }

}  // namespace

StringPool::StringSet* ConfigObjectStrings::create_strings(StringPool& pool) {
  ConfigObjectStrings* s = new ConfigObjectStrings;
  pool.init_handle(s->config, "config");
  pool.init_handle(s->last_string_supported, "last_string_supported");
  pool.init_handle(s->subscriptions, "subscriptions");
  pool.init_handle(s->users_object, "users_object");
  pool.init_handle(s->echo, "echo");
  pool.init_handle(s->anchor, "anchor");
  return s;
}

ConfigObject::ConfigObject() : m_strings(view_strings<ConfigObjectStrings>()) {}

ConfigObject::ConfigObject(const ConfigObject& other)
    : ObjectHandle(other), m_strings(other.m_strings) {
  ObjectHandle::copy(other);
  attach_child_handles();
}

ConfigObject& ConfigObject::operator=(const ConfigObject& other) {
  if (this != &other) {
    m_strings = other.m_strings;
    ObjectHandle::operator=(other);
  }
  return *this;
}

const StringPool::StringHandle& ConfigObject::get_class_name_handle() const {
  return m_strings->config;
}

bool ConfigObject::init_self() { return init_system_object(*this, kConfigIdentity); }

ErrorCode ConfigObject::attach(const orva::SharedPointer<Object>& object) {
  return attach_system_object(*this, object);
}

ErrorCode ConfigObject::get_anchor(const Object& object, std::string& anchor) {
  const AttributeList& list = object.get_attributes();
  int index = list.find_attribute(StringPool::StringHandle(), strings().anchor);
  if (index < 0) return ORVA_ERROR_NOT_FOUND;
  anchor = list[static_cast<unsigned int>(index)]->get_name();
  return ORVA_ERROR_NONE;
}

ErrorCode ConfigObject::get_anchor(std::string& anchor) const {
  if (!is_safe()) return ORVA_ERROR_NOT_FOUND;
  return get_anchor(*object(), anchor);
}

ErrorCode ConfigObject::set_anchor(Object& object, const std::string& anchor) {
  // Interned through the pool, never through the text setter, which would cut it.
  StringPool::StringHandle name(StringPool::insert(anchor));
  orva::SharedPointer<Attribute> attribute(new (std::nothrow) Attribute(name, strings().anchor));
  if (!attribute.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  put_by_class(object.get_attributes(), attribute);
  return ORVA_ERROR_NONE;
}

ErrorCode ConfigObject::set_anchor(const std::string& anchor) {
  if (!init_self()) return ORVA_ERROR_OUT_OF_MEMORY;
  return set_anchor(*object(), anchor);
}

ErrorCode ConfigObject::set_initial_values(Object& object) {
  const ConfigObjectStrings& names = strings();
  const StringPool::StringHandle supported(
      StringPool::insert(std::to_string(LAST_STRING_SUPPORTED)));
  struct Capability {
    const StringPool::StringHandle& class_name;
    const StringPool::StringHandle& name;
  };
  const StringPool::StringHandle unnamed;
  const Capability capabilities[] = {{names.last_string_supported, supported},
                                     {names.subscriptions, unnamed},
                                     {names.users_object, unnamed},
                                     {names.echo, unnamed}};
  AttributeList& list = object.get_attributes();
  for (const Capability& capability : capabilities) {
    orva::SharedPointer<Attribute> attribute(new (std::nothrow)
                                                 Attribute(capability.name, capability.class_name));
    if (!attribute.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
    put_by_class(list, attribute);
  }
  return ORVA_ERROR_NONE;
}

ErrorCode ConfigObject::set_initial_values() {
  if (!init_self()) return ORVA_ERROR_OUT_OF_MEMORY;
  return set_initial_values(*object());
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
