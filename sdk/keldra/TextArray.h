// TextArray: the texts of one role of an owner view, one entry per language.
//
// Items are the owner's children of class "text" named with the list's item name
// (for example "name"), seen through Text views. Lookup rule: a non-empty language
// takes the first entry of exactly that language and never another; an empty language
// takes the first entry without a language, or the first entry when every entry has
// one.
//
// Results: 0; 2 when an entry cannot be made or written. Lookups report absence with
// an empty pointer and index -1.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/AttributeHandleList.h>
#include <keldra/ErrorCode.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>
#include <keldra/Text.h>

#include <tervo/ustring.h>

#include <vector>

namespace orva {
namespace keldra {

// Name table of TextArray.
class TextArrayStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle text;  // the item class
};

// Picks an entry by language: true for a non-empty entry whose language (empty when
// it has none) equals the one looked for, so an empty language matches the entries
// without one.
class TextLangCompare {
 public:
  explicit TextLangCompare(const orva::ustring& language) : m_language(language) {}
  bool operator()(const orva::SharedPointer<Text>& entry) const;

 private:
  const orva::ustring& m_language;
};

class TextArray : public AttributeHandleList<Text> {
 public:
  // Empty, unbound, without item class or name.
  TextArray();
  TextArray(const TextArray& other);
  TextArray& operator=(const TextArray& other);

  // Item class "text" and item name |name|; once.
  void set_items_name(const StringPool::StringHandle& name);

  // Writes |text| into the entry of |language|, appended when there is none. 0, or 2.
  ErrorCode add_text(const orva::ustring& text, const orva::ustring& language);
  // The same for the rich form and its MIME type; the plain text of the entry stays.
  ErrorCode add_rich_text(const orva::ustring& rich_text, const orva::ustring& mime,
                          const orva::ustring& language);

  // The entry chosen by the lookup rule and its position; empty and -1 when none.
  orva::SharedPointer<Text> get_item_by_language(const orva::ustring& language,
                                                 int& index) const;
  orva::SharedPointer<Text> get_item_by_language(const orva::ustring& language) const;
  // Copies the chosen entry's plain text into |text| (untouched when it has none);
  // returns the entry's index, -1 when there is no entry.
  int get_text_by_language(const orva::ustring& language, orva::ustring& text) const;
  int get_rich_text_by_language(const orva::ustring& language, orva::ustring& rich_text,
                                orva::ustring& mime) const;
  // Appends the language of every entry that has one, in order (duplicates kept),
  // then one empty text when some entry has none. |languages| is not emptied first.
  void get_all_languages(std::vector<orva::ustring>& languages) const;

 private:
  // The entry of |language|, appended when there is none; empty when none can be made.
  orva::SharedPointer<Text> entry_for(const orva::ustring& language);

  TextArrayStrings* m_strings;
};

}  // namespace keldra
}  // namespace orva
