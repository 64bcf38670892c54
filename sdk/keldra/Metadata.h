// Metadata: typed view of an attribute of class "metadata", the descriptive section
// ("meta") that nearly every stored thing carries.
//
// Children, in the order they were created: "name", "description" and "subtitle"
// entries of class "text" (one per language, each a TextArray), "icon" frames of
// class "frame" (a FrameArray), the first "avg_rating" of class "rating" (a Rating)
// and the first "tags" of class "list" (a TagList). Field: "copyright", a UTF-16 text.
//
// Language rules (those of TextArray): a non-empty language selects only its own
// entry; an empty language selects the entry without a language, else the first one.
//
// Setters create the section (and its owner, through the parent) and return 0, or 2
// when it cannot be created (7 for the tag setters). Getters return false and leave
// their outputs as they were when the view is unbound or the entry or field is
// missing; they never create anything.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/AttributeHandle.h>
#include <keldra/ErrorCode.h>
#include <keldra/Frame.h>
#include <keldra/FrameArray.h>
#include <keldra/Rating.h>
#include <keldra/StringPool.h>
#include <keldra/TagList.h>
#include <keldra/TextArray.h>

#include <string>
#include <vector>

namespace orva {
class ustring;

namespace keldra {

// Names of Metadata, interned once per string pool.
class MetadataStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle metadata;  // the class
  StringPool::StringHandle name;
  StringPool::StringHandle description;
  StringPool::StringHandle subtitle;
  StringPool::StringHandle icon;
  StringPool::StringHandle avg_rating;
  StringPool::StringHandle tags;
  StringPool::StringHandle copyright;
};

class Metadata : public AttributeHandle {
 public:
  // Unbound root view with unbound members.
  Metadata();
  Metadata(const Metadata& other);
  // Copies |other|'s content into this view's own attribute and re-binds the members.
  Metadata& operator=(const Metadata& other);

  TextArray& names() { return m_names; }
  const TextArray& names() const { return m_names; }
  TextArray& descriptions() { return m_descriptions; }
  const TextArray& descriptions() const { return m_descriptions; }
  TextArray& subtitles() { return m_subtitles; }
  const TextArray& subtitles() const { return m_subtitles; }
  FrameArray& icons() { return m_icons; }
  const FrameArray& icons() const { return m_icons; }
  Rating& rating() { return m_rating; }
  const Rating& rating() const { return m_rating; }
  TagList& tags() { return m_tags; }
  const TagList& tags() const { return m_tags; }

  // The plain text of the entry of |language|, added when there is none.
  ErrorCode set_name(const orva::ustring& text, const orva::ustring& language);
  ErrorCode set_description(const orva::ustring& text, const orva::ustring& language);
  ErrorCode set_subtitle(const orva::ustring& text, const orva::ustring& language);
  // The rich text and its MIME type of the entry of |language|.
  ErrorCode set_rich_name(const orva::ustring& rich_text, const orva::ustring& mime,
                          const orva::ustring& language);
  ErrorCode set_rich_description(const orva::ustring& rich_text, const orva::ustring& mime,
                                 const orva::ustring& language);
  ErrorCode set_rich_subtitle(const orva::ustring& rich_text, const orva::ustring& mime,
                              const orva::ustring& language);

  // The section's attribute name, which the text getter below would otherwise hide.
  using AttributeHandle::get_name;
  // True when an entry was selected; its plain text (when it has one) goes to |text|.
  bool get_name(orva::ustring& text, const orva::ustring& language) const;
  bool get_description(orva::ustring& text, const orva::ustring& language) const;
  bool get_subtitle(orva::ustring& text, const orva::ustring& language) const;
  // True when an entry was selected; its rich text and MIME type go to the outputs.
  bool get_rich_name(orva::ustring& rich_text, orva::ustring& mime,
                     const orva::ustring& language) const;
  bool get_rich_description(orva::ustring& rich_text, orva::ustring& mime,
                            const orva::ustring& language) const;
  bool get_rich_subtitle(orva::ustring& rich_text, orva::ustring& mime,
                         const orva::ustring& language) const;

  // TagList::set_tags, get_tags and add_tag of the "tags" child.
  ErrorCode set_tags(const std::vector<orva::ustring>& tags);
  void get_tags(std::vector<orva::ustring>& tags) const;
  ErrorCode add_tag(const orva::ustring& tag);

  // Stores a copy of |text| (an empty text too) in "copyright". 0, or 2.
  ErrorCode set_copyright(const orva::ustring& text);
  // False when unbound or without "copyright"; otherwise true, copying a text value.
  bool get_copyright(orva::ustring& text) const;

  // A copy of the first icon in an attribute of its own, so changes to it do not
  // reach the section; an unbound frame when there are no icons.
  Frame icon() const;

  const StringPool::StringHandle& get_class_name_handle() const override;
  void do_init_child_handle(AttributeHandle& child) override;
  void attach_child_handles() override;

 private:
  void init_members();

  const MetadataStrings* m_strings;
  TextArray m_names;
  TextArray m_descriptions;
  TextArray m_subtitles;
  FrameArray m_icons;
  Rating m_rating;
  TagList m_tags;
};

}  // namespace keldra
}  // namespace orva
