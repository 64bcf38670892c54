#include <keldra/DataStream.h>

#include <keldra/Attribute.h>
#include <keldra/Field.h>

#include "views/ViewFields.h"

namespace orva {
namespace keldra {

StringPool::StringSet* DataStreamStrings::create_strings(StringPool& pool) {
  DataStreamStrings* strings = new DataStreamStrings();
  pool.init_handle(strings->data_stream, "data_stream");
  pool.init_handle(strings->mime, "mime");
  pool.init_handle(strings->data, "data");
  return strings;
}

DataStream::DataStream() : m_strings(view_strings<DataStreamStrings>()) {}

DataStream::DataStream(const DataStream& other)
    : AttributeHandle(other), m_strings(other.m_strings) {
  copy(other);
}

DataStream& DataStream::operator=(const DataStream& other) {
  m_strings = other.m_strings;
  AttributeHandle::operator=(other);
  return *this;
}

ErrorCode DataStream::set_mime(const std::string& mime) {
  Field* field = prepare_field(m_strings->mime);
  if (!field) return ORVA_ERROR_OUT_OF_MEMORY;
  return field->set_value(mime);
}

void DataStream::get_mime(std::string& mime) const {
  mime.clear();
  const Field* field = internal::view_field(*this, m_strings->mime, Field::TYPE_USTRING);
  if (field) field->get_value(mime);
}

ErrorCode DataStream::set_data(orva::SharedPointer<DynamicBuffer> buffer) {
  if (!init_self()) return ORVA_ERROR_OUT_OF_MEMORY;
  return attribute()->set_field(m_strings->data, buffer);
}

ErrorCode DataStream::set_data(const unsigned char* bytes, unsigned int length) {
  Field* field = prepare_field(m_strings->data);
  if (!field) return ORVA_ERROR_OUT_OF_MEMORY;
  return field->set_value_data(bytes, bytes ? length : 0);
}

ErrorCode DataStream::set_data(const std::vector<unsigned char>& bytes) {
  Field* field = prepare_field(m_strings->data);
  if (!field) return ORVA_ERROR_OUT_OF_MEMORY;
  return field->set_value(bytes);
}

orva::SharedPointer<DynamicBuffer> DataStream::get_buffer() const {
  orva::SharedPointer<DynamicBuffer> buffer;
  const Field* field = internal::view_field(*this, m_strings->data, Field::TYPE_BINARY);
  if (field) field->get_value(buffer);
  return buffer;
}

const unsigned char* DataStream::get_data() const {
  const Field* field = internal::view_field(*this, m_strings->data, Field::TYPE_BINARY);
  return field ? field->get_value_data() : nullptr;
}

void DataStream::get_data(std::vector<unsigned char>& bytes) const {
  bytes.clear();
  const Field* field = internal::view_field(*this, m_strings->data, Field::TYPE_BINARY);
  if (field) field->get_value(bytes);
}

unsigned int DataStream::get_data_length() const {
  return get_field_data_length(m_strings->data);
}

const StringPool::StringHandle& DataStream::get_class_name_handle() const {
  return m_strings->data_stream;
}

}  // namespace keldra
}  // namespace orva
