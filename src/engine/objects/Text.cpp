#include <keldra/Text.h>

#include <tervo/ustring.h>

namespace orva {
namespace keldra {

StringPool::StringSet* TextStrings::create_strings(StringPool& pool) {
  TextStrings* s = new TextStrings;
  pool.init_handle(s->text_class, "text");
  pool.init_handle(s->text, "text");
  pool.init_handle(s->language, "language");
  pool.init_handle(s->rich_text, "rich_text");
  pool.init_handle(s->mime, "mime");
  return s;
}

Text::Text() : m_strings(view_strings<TextStrings>()) {}

Text::Text(const Text& other) : AttributeHandle(other), m_strings(other.m_strings) {
  copy(other);
  attach_child_handles();
}

Text& Text::operator=(const Text& other) {
  if (this != &other) {
    m_strings = other.m_strings;
    AttributeHandle::operator=(other);
  }
  return *this;
}

const StringPool::StringHandle& Text::get_class_name_handle() const {
  return m_strings->text_class;
}

ErrorCode Text::set_text(const orva::ustring& text) { return set_field(m_strings->text, text); }

ErrorCode Text::set_text(const unsigned short* chars, unsigned int length) {
  return set_ustring_field(m_strings->text, chars, length);
}

ErrorCode Text::set_rich_text(const orva::ustring& rich_text) {
  return set_field(m_strings->rich_text, rich_text);
}

ErrorCode Text::set_rich_text(const unsigned short* chars, unsigned int length) {
  return set_ustring_field(m_strings->rich_text, chars, length);
}

ErrorCode Text::set_rich_text_mime(const orva::ustring& mime) {
  return set_field(m_strings->mime, mime);
}

ErrorCode Text::set_language(const orva::ustring& language) {
  if (language.length() == 0) {
    remove_field(m_strings->language);
    return ORVA_ERROR_NONE;
  }
  return set_field(m_strings->language, language);
}

bool Text::get_text(orva::ustring& out) const { return get_field(m_strings->text, out); }

bool Text::get_rich_text(orva::ustring& out) const { return get_field(m_strings->rich_text, out); }

bool Text::get_rich_text_mime(orva::ustring& out) const { return get_field(m_strings->mime, out); }

bool Text::get_language(orva::ustring& out) const { return get_field(m_strings->language, out); }

unsigned int Text::get_text_length() const { return get_field_data_length(m_strings->text); }

unsigned int Text::get_rich_text_length() const {
  return get_field_data_length(m_strings->rich_text);
}

}  // namespace keldra
}  // namespace orva
