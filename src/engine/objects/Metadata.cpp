#include <keldra/Metadata.h>

#include <keldra/Field.h>

#include <tervo/ustring.h>

#include "views/ViewFields.h"

namespace orva {
namespace keldra {

StringPool::StringSet* MetadataStrings::create_strings(StringPool& pool) {
  MetadataStrings* strings = new MetadataStrings();
  pool.init_handle(strings->metadata, "metadata");
  pool.init_handle(strings->name, "name");
  pool.init_handle(strings->description, "description");
  pool.init_handle(strings->subtitle, "subtitle");
  pool.init_handle(strings->icon, "icon");
  pool.init_handle(strings->avg_rating, "avg_rating");
  pool.init_handle(strings->tags, "tags");
  pool.init_handle(strings->copyright, "copyright");
  return strings;
}

Metadata::Metadata() : m_strings(view_strings<MetadataStrings>()) { init_members(); }

Metadata::Metadata(const Metadata& other) : AttributeHandle(other), m_strings(other.m_strings) {
  init_members();
  copy(other);
  attach_child_handles();
}

Metadata& Metadata::operator=(const Metadata& other) {
  m_strings = other.m_strings;
  AttributeHandle::operator=(other);
  return *this;
}

void Metadata::init_members() {
  m_names.set_items_name(m_strings->name);
  m_descriptions.set_items_name(m_strings->description);
  m_subtitles.set_items_name(m_strings->subtitle);
  m_icons.set_items_name(m_strings->icon);
  m_names.set_parent(this);
  m_descriptions.set_parent(this);
  m_subtitles.set_parent(this);
  m_icons.set_parent(this);
  m_rating.set_parent(this);
  m_tags.set_parent(this);
}

ErrorCode Metadata::set_name(const orva::ustring& text, const orva::ustring& language) {
  return m_names.add_text(text, language);
}

ErrorCode Metadata::set_description(const orva::ustring& text, const orva::ustring& language) {
  return m_descriptions.add_text(text, language);
}

ErrorCode Metadata::set_subtitle(const orva::ustring& text, const orva::ustring& language) {
  return m_subtitles.add_text(text, language);
}

ErrorCode Metadata::set_rich_name(const orva::ustring& rich_text, const orva::ustring& mime,
                                  const orva::ustring& language) {
  return m_names.add_rich_text(rich_text, mime, language);
}

ErrorCode Metadata::set_rich_description(const orva::ustring& rich_text,
                                         const orva::ustring& mime,
                                         const orva::ustring& language) {
  return m_descriptions.add_rich_text(rich_text, mime, language);
}

ErrorCode Metadata::set_rich_subtitle(const orva::ustring& rich_text, const orva::ustring& mime,
                                      const orva::ustring& language) {
  return m_subtitles.add_rich_text(rich_text, mime, language);
}

bool Metadata::get_name(orva::ustring& text, const orva::ustring& language) const {
  return m_names.get_text_by_language(language, text) >= 0;
}

bool Metadata::get_description(orva::ustring& text, const orva::ustring& language) const {
  return m_descriptions.get_text_by_language(language, text) >= 0;
}

bool Metadata::get_subtitle(orva::ustring& text, const orva::ustring& language) const {
  return m_subtitles.get_text_by_language(language, text) >= 0;
}

bool Metadata::get_rich_name(orva::ustring& rich_text, orva::ustring& mime,
                             const orva::ustring& language) const {
  return m_names.get_rich_text_by_language(language, rich_text, mime) >= 0;
}

bool Metadata::get_rich_description(orva::ustring& rich_text, orva::ustring& mime,
                                    const orva::ustring& language) const {
  return m_descriptions.get_rich_text_by_language(language, rich_text, mime) >= 0;
}

bool Metadata::get_rich_subtitle(orva::ustring& rich_text, orva::ustring& mime,
                                 const orva::ustring& language) const {
  return m_subtitles.get_rich_text_by_language(language, rich_text, mime) >= 0;
}

ErrorCode Metadata::set_tags(const std::vector<orva::ustring>& tags) {
  return m_tags.set_tags(tags);
}

void Metadata::get_tags(std::vector<orva::ustring>& tags) const { m_tags.get_tags(tags); }

ErrorCode Metadata::add_tag(const orva::ustring& tag) { return m_tags.add_tag(tag); }

ErrorCode Metadata::set_copyright(const orva::ustring& text) {
  return set_field(m_strings->copyright, text);
}

bool Metadata::get_copyright(orva::ustring& text) const {
  const Field* field = internal::view_field(*this, m_strings->copyright);
  if (!field) return false;
  if (field->get_type() == Field::TYPE_USTRING) field->get_value(text);
  return true;
}

Frame Metadata::icon() const {
  orva::SharedPointer<Frame> first = m_icons.get_item(0);
  return first.is_valid() ? Frame(*first) : Frame();
}

const StringPool::StringHandle& Metadata::get_class_name_handle() const {
  return m_strings->metadata;
}

// The text and icon lists create their items themselves.
void Metadata::do_init_child_handle(AttributeHandle& child) {
  if (&child == &m_rating) {
    add_handle(child, m_strings->avg_rating);
  } else if (&child == &m_tags) {
    add_handle(child, m_strings->tags);
  } else {
    AttributeHandle::do_init_child_handle(child);
  }
}

void Metadata::attach_child_handles() {
  attach_handle(m_rating, m_strings->avg_rating);
  attach_handle(m_tags, m_strings->tags);
  m_names.attach();
  m_descriptions.attach();
  m_subtitles.attach();
  m_icons.attach();
}

}  // namespace keldra
}  // namespace orva
