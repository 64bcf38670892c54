#include <keldra/AttributeHandle.h>

#include <keldra/Field.h>
#include <keldra/FieldList.h>
#include <keldra/LinkList.h>

#include <tervo/ustring.h>

#include <limits>

namespace orva {
namespace keldra {

namespace {

// Stores a value in a field; text setters report memory failure, numbers cannot fail.
template <class T>
ErrorCode store_value(Field& field, const T& value) {
  field.set_value(value);
  return ORVA_ERROR_NONE;
}

template <>
ErrorCode store_value<orva::ustring>(Field& field, const orva::ustring& value) {
  return field.set_value(value);
}

}  // namespace

AttributeHandle::AttributeHandle() : m_parent(nullptr) {}

AttributeHandle::AttributeHandle(const AttributeHandle& other)
    : AttributeHandleManager(other), m_parent(nullptr) {}

AttributeHandle::~AttributeHandle() {}

void AttributeHandle::attach(const orva::SharedPointer<Attribute>& attribute) {
  if (attribute == m_attribute) return;
  reset_self();
  if (attribute.is_valid() && get_class_name_handle().is_valid()) {
    KELDRA_INVARIANT(attribute->get_class_name_handle() == get_class_name_handle(),
                     "attrib->get_class_name_handle() == get_class_name_handle()",
                     "AttributeHandle.cpp", 113);
  }
  m_attribute = attribute;
  attach_child_handles();
}

void AttributeHandle::reset() {
  reset_self();
  m_attribute.release();
  attach_child_handles();
}

AttributeList* AttributeHandle::get_attribute_list() {
  return is_safe() ? &m_attribute->get_attributes() : nullptr;
}

const AttributeList* AttributeHandle::get_attribute_list() const {
  if (!is_safe()) return nullptr;
  const Attribute& attribute = *m_attribute;
  return &attribute.get_attributes();
}

bool AttributeHandle::init_self() {
  if (is_safe()) return true;
  if (m_parent) {
    m_parent->init_child_handle(*this);
  } else {
    m_attribute.reset(new Attribute(get_class_name_handle()));
  }
  return is_safe();
}

ErrorCode AttributeHandle::copy(const AttributeHandle& other) {
  if (m_attribute == other.m_attribute) return ORVA_ERROR_INVALID_PARAMETERS;
  if (is_safe()) m_attribute->clear();
  if (!init_self()) return ORVA_ERROR_OUT_OF_MEMORY;
  if (other.is_safe()) {
    Attribute& target = *m_attribute;
    const Attribute& source = *other.m_attribute;
    if (source.get_attributes().size() > 0) target.get_attributes() = source.get_attributes();
    // After clear() the target has no fields or links, so the lists differ exactly
    // when the source has some.
    const FieldList& fields = source.get_fields();
    if (fields.size() > 0) {
      FieldList& copy = target.get_fields();
      for (const Field& field : fields) copy.push_back(field);
      copy.set_modified(true);
    }
    const LinkList& links = source.get_links();
    if (links.size() > 0) {
      LinkList& copy = target.get_links();
      for (const Link& link : links) copy.push_back(link);
      copy.set_modified(true);
    }
    if (!m_parent && !target.get_name_handle().is_valid()) {
      target.set_name(source.get_name_handle());
    }
  }
  // The old children are gone: child views must not keep standing over them.
  attach_child_handles();
  return ORVA_ERROR_NONE;
}

AttributeHandle& AttributeHandle::operator=(const AttributeHandle& other) {
  if (this == &other) return *this;
  reset_self();
  copy(other);
  attach_child_handles();
  return *this;
}

std::string AttributeHandle::get_name() const {
  return is_safe() ? m_attribute->get_name() : std::string();
}

bool AttributeHandle::has_value() const {
  if (!is_safe()) return false;
  const Attribute& attribute = *m_attribute;
  return attribute.has_value();
}

// ---- field access ----

const Field* AttributeHandle::first_field(const StringPool::StringHandle& name) const {
  if (!is_safe()) return nullptr;
  const Attribute& attribute = *m_attribute;
  int index = attribute.find_field(name);
  return index < 0 ? nullptr : &attribute.get_fields()[static_cast<unsigned int>(index)];
}

const Field* AttributeHandle::first_field(const std::string& name) const {
  if (!is_safe()) return nullptr;
  const Attribute& attribute = *m_attribute;
  int index = attribute.find_field(name);
  return index < 0 ? nullptr : &attribute.get_fields()[static_cast<unsigned int>(index)];
}

template <class T>
bool AttributeHandle::get_field(const StringPool::StringHandle& name, T& out) const {
  const Field* field = first_field(name);
  if (!field) return false;
  field->get_value(out);
  return true;
}

template <class T>
ErrorCode AttributeHandle::set_field(const StringPool::StringHandle& name, const T& value) {
  if (!init_self()) return ORVA_ERROR_OUT_OF_MEMORY;
  Field* field = m_attribute->prepare_field(name);
  if (!field) return ORVA_ERROR_OUT_OF_MEMORY;
  return store_value(*field, value);
}

ErrorCode AttributeHandle::set_field(const std::string& name, const unsigned long long& value) {
  if (!init_self()) return ORVA_ERROR_OUT_OF_MEMORY;
  Field* field = m_attribute->prepare_field(name);
  if (!field) return ORVA_ERROR_OUT_OF_MEMORY;
  return store_value(*field, value);
}

ErrorCode AttributeHandle::set_field(const std::string& name, const unsigned int& value) {
  if (!init_self()) return ORVA_ERROR_OUT_OF_MEMORY;
  Field* field = m_attribute->prepare_field(name);
  if (!field) return ORVA_ERROR_OUT_OF_MEMORY;
  return store_value(*field, value);
}

template bool AttributeHandle::get_field(const StringPool::StringHandle&, orva::ustring&) const;
template bool AttributeHandle::get_field(const StringPool::StringHandle&, float&) const;
template bool AttributeHandle::get_field(const StringPool::StringHandle&, double&) const;
template bool AttributeHandle::get_field(const StringPool::StringHandle&,
                                         unsigned long long&) const;
template bool AttributeHandle::get_field(const StringPool::StringHandle&, unsigned int&) const;
template bool AttributeHandle::get_field(const StringPool::StringHandle&, int&) const;
template ErrorCode AttributeHandle::set_field(const StringPool::StringHandle&,
                                              const orva::ustring&);
template ErrorCode AttributeHandle::set_field(const StringPool::StringHandle&, const float&);
template ErrorCode AttributeHandle::set_field(const StringPool::StringHandle&, const double&);
template ErrorCode AttributeHandle::set_field(const StringPool::StringHandle&,
                                              const unsigned long long&);
template ErrorCode AttributeHandle::set_field(const StringPool::StringHandle&, const unsigned int&);
template ErrorCode AttributeHandle::set_field(const StringPool::StringHandle&, const int&);

ErrorCode AttributeHandle::set_ustring_field(const StringPool::StringHandle& name,
                                             const unsigned short* chars, unsigned int length) {
  if (!init_self()) return ORVA_ERROR_OUT_OF_MEMORY;
  return m_attribute->set_ustring_field(name, chars, length);
}

ErrorCode AttributeHandle::set_ustring_field(const std::string& name, const unsigned short* chars,
                                             unsigned int length) {
  if (!init_self()) return ORVA_ERROR_OUT_OF_MEMORY;
  return m_attribute->set_ustring_field(name, chars, length);
}

Field* AttributeHandle::prepare_field(const StringPool::StringHandle& name) {
  if (!init_self()) return nullptr;
  return m_attribute->prepare_field(name);
}

Field* AttributeHandle::prepare_field(const std::string& name) {
  if (!init_self()) return nullptr;
  return m_attribute->prepare_field(name);
}

// Looks first so that removing nothing neither creates a field list nor marks one.
void AttributeHandle::remove_field(const StringPool::StringHandle& name) {
  if (first_field(name)) m_attribute->get_fields().remove(name);
}

void AttributeHandle::remove_field(const std::string& name) {
  if (first_field(name)) m_attribute->get_fields().remove(name);
}

bool AttributeHandle::get_time_field(const StringPool::StringHandle& name, long long& out) const {
  if (!is_safe()) return false;
  const Attribute& attribute = *m_attribute;
  return attribute.get_time_field(name, out);
}

bool AttributeHandle::get_time_field(const std::string& name, long long& out) const {
  if (!is_safe()) return false;
  const Attribute& attribute = *m_attribute;
  return attribute.get_time_field(name, out);
}

ErrorCode AttributeHandle::set_time_field(const StringPool::StringHandle& name,
                                          const long long& value) {
  if (!init_self()) return ORVA_ERROR_OUT_OF_MEMORY;
  return m_attribute->set_time_field(name, value);
}

ErrorCode AttributeHandle::set_time_field(const std::string& name, const long long& value) {
  if (!init_self()) return ORVA_ERROR_OUT_OF_MEMORY;
  return m_attribute->set_time_field(name, value);
}

float AttributeHandle::get_float_val(const StringPool::StringHandle& name) const {
  float value = std::numeric_limits<float>::quiet_NaN();
  const Field* field = first_field(name);
  if (field) field->get_value(value);
  return value;
}

float AttributeHandle::get_float_val(const std::string& name) const {
  float value = std::numeric_limits<float>::quiet_NaN();
  const Field* field = first_field(name);
  if (field) field->get_value(value);
  return value;
}

unsigned int AttributeHandle::get_field_data_length(const StringPool::StringHandle& name) const {
  const Field* field = first_field(name);
  return field ? field->get_value_length() : 0;
}

unsigned int AttributeHandle::get_field_data_length(const std::string& name) const {
  const Field* field = first_field(name);
  return field ? field->get_value_length() : 0;
}

bool AttributeHandle::has_field_value(const StringPool::StringHandle& name) const {
  const Field* field = first_field(name);
  return field && field->has_value();
}

bool AttributeHandle::has_field_value(const std::string& name) const {
  const Field* field = first_field(name);
  return field && field->has_value();
}

}  // namespace keldra
}  // namespace orva
