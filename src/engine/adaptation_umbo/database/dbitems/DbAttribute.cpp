#include "adaptation_umbo/database/dbitems/DbAttribute.h"

#include "model/RecordUtils.h"
#include "runtime/BufferReadStream.h"
#include "adaptation_umbo/database/Bindable.h"
#include "adaptation_umbo/database/Gettable.h"

#include <keldra/FieldList.h>
#include <keldra/Invariant.h>
#include <keldra/LoggerUmbo.h>
#include <keldra/WriteStream.h>

namespace orva {
namespace keldra {
namespace internal {

DbAttribute::DbAttribute() : m_attribute(new Attribute()) {
  KELDRA_INVARIANT(m_attribute.get() != 0, "mAttribute.get()!=0", "DbAttribute.cpp", 32);
}

DbAttribute::DbAttribute(const orva::SharedPointer<Attribute>& attribute,
                         unsigned int parent_object, unsigned int parent_attribute)
    : DbChildItem(parent_object, parent_attribute), m_attribute(attribute) {
  KELDRA_INVARIANT(m_attribute.get() != 0, "mAttribute.get()!=0", "DbAttribute.cpp", 43);
}

const orva::SharedPointer<Attribute>& DbAttribute::attribute() const {
  KELDRA_INVARIANT(m_attribute.get() != 0, "mAttribute.get()!=0", "DbAttribute.cpp", 49);
  return m_attribute;
}

void DbAttribute::bind(Bindable& query) {
  DbChildItem::bind(query);
  query.bind(CLASS_NAME, m_attribute->get_class_name());
  query.bind(NAME, m_attribute->get_name());
  query.bind(VALUE_BLOB, m_value_blob);
}

void DbAttribute::get_result(Gettable& query) {
  KELDRA_INVARIANT(m_attribute.get() != 0, "mAttribute.get() != 0", "DbAttribute.cpp", 60);
  DbChildItem::get_result(query);
  std::string text;
  query.get_result(CLASS_NAME, text);
  m_attribute->set_class_name(text);
  // After the class, which decides whether the name is cut (the sync anchor is not).
  query.get_result(NAME, text);
  m_attribute->set_name(intern_attribute_name(text, m_attribute->get_class_name_handle()));
  if (query.get_result(VALUE_BLOB, m_value_blob) && m_value_blob.is_valid() &&
      m_value_blob->get_data_length() > 0) {
    BufferReadStream stream;
    stream.attach(m_value_blob);
    m_attribute->get_fields().read(stream);
  }
}

void DbAttribute::set_header_fields(const std::vector<int>& indexes) {
  if (indexes.empty()) return;
  m_value_blob = orva::SharedPointer<DynamicBuffer>(new DynamicBuffer());
  WriteStream stream;
  stream.attach(m_value_blob);
  stream.write_uint32(static_cast<unsigned int>(indexes.size()));
  const FieldList& fields = m_attribute->get_fields();
  for (int index : indexes) fields.at(static_cast<unsigned int>(index)).write(stream);
}

void DbAttribute::log(int) {
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "A: %12s %s:%s", " ", m_attribute->get_name().c_str(),
                   m_attribute->get_class_name().c_str());
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
