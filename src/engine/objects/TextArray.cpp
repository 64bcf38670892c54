#include <keldra/TextArray.h>

namespace orva {
namespace keldra {

StringPool::StringSet* TextArrayStrings::create_strings(StringPool& pool) {
  TextArrayStrings* s = new TextArrayStrings;
  pool.init_handle(s->text, "text");
  return s;
}

bool TextLangCompare::operator()(const orva::SharedPointer<Text>& entry) const {
  if (!entry.is_valid()) return false;
  orva::ustring language;
  entry->get_language(language);
  return language == m_language;
}

TextArray::TextArray() : m_strings(view_strings<TextArrayStrings>()) {}

TextArray::TextArray(const TextArray& other)
    : AttributeHandleList<Text>(other), m_strings(other.m_strings) {}

TextArray& TextArray::operator=(const TextArray& other) {
  if (this != &other) {
    m_strings = other.m_strings;
    AttributeHandleList<Text>::operator=(other);
  }
  return *this;
}

void TextArray::set_items_name(const StringPool::StringHandle& name) {
  set_item_names(m_strings->text, name);
}

orva::SharedPointer<Text> TextArray::entry_for(const orva::ustring& language) {
  orva::SharedPointer<Text> entry;
  if (find_item(TextLangCompare(language), entry) == count()) entry = add_item();
  return entry;
}

ErrorCode TextArray::add_text(const orva::ustring& text, const orva::ustring& language) {
  orva::SharedPointer<Text> entry = entry_for(language);
  if (!entry.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  ErrorCode result = entry->set_text(text);
  if (result != ORVA_ERROR_NONE) return result;
  return entry->set_language(language);
}

ErrorCode TextArray::add_rich_text(const orva::ustring& rich_text, const orva::ustring& mime,
                                   const orva::ustring& language) {
  orva::SharedPointer<Text> entry = entry_for(language);
  if (!entry.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  ErrorCode result = entry->set_rich_text(rich_text);
  if (result != ORVA_ERROR_NONE) return result;
  result = entry->set_rich_text_mime(mime);
  if (result != ORVA_ERROR_NONE) return result;
  return entry->set_language(language);
}

orva::SharedPointer<Text> TextArray::get_item_by_language(const orva::ustring& language,
                                                          int& index) const {
  orva::SharedPointer<Text> entry;
  index = -1;
  if (language.length() != 0) {
    unsigned int found = find_item(TextLangCompare(language), entry);
    if (found < count()) index = static_cast<int>(found);
    return entry;
  }
  if (count() == 0) return entry;
  orva::ustring ignored;
  for (unsigned int i = 0; i < count(); ++i) {
    orva::SharedPointer<Text> item = get_item(i);
    if (!item->get_language(ignored)) {
      index = static_cast<int>(i);
      return item;
    }
  }
  index = 0;
  return get_item(0);
}

orva::SharedPointer<Text> TextArray::get_item_by_language(const orva::ustring& language) const {
  int index;
  return get_item_by_language(language, index);
}

int TextArray::get_text_by_language(const orva::ustring& language, orva::ustring& text) const {
  int index;
  orva::SharedPointer<Text> entry = get_item_by_language(language, index);
  if (entry.is_valid()) entry->get_text(text);
  return index;
}

int TextArray::get_rich_text_by_language(const orva::ustring& language, orva::ustring& rich_text,
                                         orva::ustring& mime) const {
  int index;
  orva::SharedPointer<Text> entry = get_item_by_language(language, index);
  if (entry.is_valid()) {
    entry->get_rich_text(rich_text);
    entry->get_rich_text_mime(mime);
  }
  return index;
}

void TextArray::get_all_languages(std::vector<orva::ustring>& languages) const {
  bool neutral = false;
  for (unsigned int i = 0; i < count(); ++i) {
    orva::ustring language;
    if (get_item(i)->get_language(language)) {
      languages.push_back(language);
    } else {
      neutral = true;
    }
  }
  if (neutral) languages.push_back(orva::ustring());
}

}  // namespace keldra
}  // namespace orva
