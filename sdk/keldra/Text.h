// Text: the view of an attribute of class "text", one text in one language.
//
// Text fields (UTF-16): "text" the plain form, "rich_text" a marked-up form, "mime"
// the format of the rich form, "language" as the caller gives it (compared exactly).
// An entry without "language" is the language-neutral entry. The plain and the rich
// form are independent: writing one never touches the other.
//
// Results: setters 0, or 2 when the attribute cannot be created. Getters return false
// when unbound or absent and leave the output as it was (also, returning true, for a
// field of another type); they create nothing.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/AttributeHandle.h>
#include <keldra/ErrorCode.h>
#include <keldra/StringPool.h>

namespace orva {
class ustring;

namespace keldra {

// Name table of Text.
class TextStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle text_class;  // "text", the class
  StringPool::StringHandle text;        // "text", the field
  StringPool::StringHandle language;
  StringPool::StringHandle rich_text;
  StringPool::StringHandle mime;
};

class Text : public AttributeHandle {
 public:
  Text();
  Text(const Text& other);
  Text& operator=(const Text& other);

  const StringPool::StringHandle& get_class_name_handle() const override;

  ErrorCode set_text(const orva::ustring& text);
  ErrorCode set_text(const unsigned short* chars, unsigned int length);
  ErrorCode set_rich_text(const orva::ustring& rich_text);
  ErrorCode set_rich_text(const unsigned short* chars, unsigned int length);
  ErrorCode set_rich_text_mime(const orva::ustring& mime);
  // An empty language removes the "language" fields of a bound view (an unbound view
  // stays unbound) and returns 0.
  ErrorCode set_language(const orva::ustring& language);

  bool get_text(orva::ustring& out) const;
  bool get_rich_text(orva::ustring& out) const;
  bool get_rich_text_mime(orva::ustring& out) const;
  bool get_language(orva::ustring& out) const;

  // Length in UTF-16 units; 0 when unbound or absent.
  unsigned int get_text_length() const;
  unsigned int get_rich_text_length() const;

 private:
  TextStrings* m_strings;
};

}  // namespace keldra
}  // namespace orva
