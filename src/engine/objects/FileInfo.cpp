#include <keldra/FileInfo.h>

#include <keldra/Field.h>

#include "views/ViewFields.h"

#include <limits>

namespace orva {
namespace keldra {

namespace {

// The value of the first field of that name, or |absent| when the view is unbound,
// the field is missing or it holds another type (Field::get_value leaves it then).
template <class T>
T read_exact(const AttributeHandle& view, const StringPool::StringHandle& name, T absent) {
  T value = absent;
  const Field* field = internal::view_field(view, name);
  if (field) field->get_value(value);
  return value;
}

}  // namespace

StringPool::StringSet* FileInfoStrings::create_strings(StringPool& pool) {
  FileInfoStrings* strings = new FileInfoStrings();
  pool.init_handle(strings->file_info, "file_info");
  pool.init_handle(strings->bitrate, "bitrate");
  pool.init_handle(strings->duration, "duration");
  pool.init_handle(strings->file_size, "file_size");
  pool.init_handle(strings->frame_height, "frame_height");
  pool.init_handle(strings->fps, "fps");
  pool.init_handle(strings->frame_width, "frame_width");
  return strings;
}

FileInfo::FileInfo() : m_strings(view_strings<FileInfoStrings>()) {}

FileInfo::FileInfo(const FileInfo& other) : AttributeHandle(other), m_strings(other.m_strings) {
  copy(other);
}

FileInfo& FileInfo::operator=(const FileInfo& other) {
  m_strings = other.m_strings;
  AttributeHandle::operator=(other);
  return *this;
}

ErrorCode FileInfo::set_bitrate(unsigned long long bitrate) {
  return set_field(m_strings->bitrate, bitrate);
}

unsigned long long FileInfo::get_bitrate() const {
  return read_exact<unsigned long long>(*this, m_strings->bitrate, 0);
}

// The framework has no signed 64-bit field access; the field is set directly.
ErrorCode FileInfo::set_duration(long long duration) {
  Field* field = prepare_field(m_strings->duration);
  if (!field) return ORVA_ERROR_OUT_OF_MEMORY;
  field->set_value(duration);
  return ORVA_ERROR_NONE;
}

long long FileInfo::get_duration() const {
  return read_exact<long long>(*this, m_strings->duration, 0);
}

ErrorCode FileInfo::set_file_size(unsigned long long size) {
  return set_field(m_strings->file_size, size);
}

unsigned long long FileInfo::get_file_size() const {
  return read_exact<unsigned long long>(*this, m_strings->file_size, 0);
}

ErrorCode FileInfo::set_frame_height(unsigned int height) {
  return set_field(m_strings->frame_height, height);
}

unsigned int FileInfo::get_frame_height() const {
  return read_exact<unsigned int>(*this, m_strings->frame_height, 0);
}

ErrorCode FileInfo::set_frame_rate(float fps) { return set_field(m_strings->fps, fps); }

float FileInfo::get_frame_rate() const {
  return read_exact<float>(*this, m_strings->fps, std::numeric_limits<float>::quiet_NaN());
}

ErrorCode FileInfo::set_frame_width(unsigned int width) {
  return set_field(m_strings->frame_width, width);
}

unsigned int FileInfo::get_frame_width() const {
  return read_exact<unsigned int>(*this, m_strings->frame_width, 0);
}

const StringPool::StringHandle& FileInfo::get_class_name_handle() const {
  return m_strings->file_info;
}

}  // namespace keldra
}  // namespace orva
