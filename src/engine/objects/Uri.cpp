#include <keldra/Uri.h>

#include <keldra/Field.h>

#include "views/ViewFields.h"

#include <tervo/ustring.h>

namespace orva {
namespace keldra {

StringPool::StringSet* UriStrings::create_strings(StringPool& pool) {
  UriStrings* strings = new UriStrings();
  pool.init_handle(strings->uri, "uri");
  pool.init_handle(strings->mime, "mime");
  pool.init_handle(strings->url, "url");
  return strings;
}

Uri::Uri() : m_strings(view_strings<UriStrings>()) {}

Uri::Uri(const Uri& other) : AttributeHandle(other), m_strings(other.m_strings) {
  copy(other);
}

Uri& Uri::operator=(const Uri& other) {
  m_strings = other.m_strings;
  AttributeHandle::operator=(other);
  return *this;
}

void Uri::get_url(orva::ustring& url) const {
  url.clear();
  get_field(m_strings->url, url);
}

void Uri::get_mime(std::string& mime) const {
  mime.clear();
  const Field* field = internal::view_field(*this, m_strings->mime);
  if (field) field->get_value(mime);
}

ErrorCode Uri::set_url(const orva::ustring& url) { return set_field(m_strings->url, url); }

ErrorCode Uri::set_mime(const std::string& mime) {
  Field* field = prepare_field(m_strings->mime);
  if (!field) return ORVA_ERROR_OUT_OF_MEMORY;
  return field->set_value(mime);
}

const StringPool::StringHandle& Uri::get_class_name_handle() const { return m_strings->uri; }

}  // namespace keldra
}  // namespace orva
