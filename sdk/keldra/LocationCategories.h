// LocationCategories: the view of an attribute of class "location_categories", the
// categories of a place.
//
// Fields (UTF-16 text): "global_category", one per global category identifier, in
// list order and without duplicates; "quad_categories", one free text kept as given.
// The operations take and give texts in UTF-8.
//
// Results: setters 0, or 2 when the attribute cannot be created (a child view whose
// parent does not create it). Readers never fail and create nothing; absence leaves
// the caller's output as it was.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/AttributeHandle.h>
#include <keldra/ErrorCode.h>
#include <keldra/StringPool.h>

#include <string>
#include <vector>

namespace orva {
namespace keldra {

// Name table of LocationCategories.
class LocationCategoriesStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle location_categories;  // the class
  StringPool::StringHandle global_category;
  StringPool::StringHandle quad_categories;
};

class LocationCategories : public AttributeHandle {
 public:
  // Unbound root view.
  LocationCategories();
  // A root view over a new attribute holding a deep copy of |other|; unbound when
  // |other| is.
  LocationCategories(const LocationCategories& other);
  // Copies |other|'s content into this view's own attribute (created when needed).
  LocationCategories& operator=(const LocationCategories& other);

  const StringPool::StringHandle& get_class_name_handle() const override;

  // Creates; stores |text| in "quad_categories". 0, or 2.
  ErrorCode set_quad_categories(const std::string& text);
  // |out| = the stored text; untouched when unbound, absent or not text.
  void get_quad_categories(std::string& out) const;

  // Appends the stored categories, in order, to |out| (which is not cleared).
  void get_global_categories(std::vector<std::string>& out) const;
  // Creates; replaces the stored categories by the first occurrence of each string
  // of |categories|, in input order, after every other field. 0, or 2.
  ErrorCode set_global_categories(const std::vector<std::string>& categories);
  // Whether |category| is stored (exact byte comparison).
  bool is_global_category_present(const std::string& category) const;
  // Appends |category| unless present; the categories are rewritten either way.
  // 0, or 2.
  ErrorCode add_global_category(const std::string& category);
  // Removes |category| when present; nothing is written when it is not.
  void remove_global_category(const std::string& category);

 private:
  LocationCategoriesStrings* m_strings;
};

}  // namespace keldra
}  // namespace orva
