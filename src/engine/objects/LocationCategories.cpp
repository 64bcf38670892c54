#include <keldra/LocationCategories.h>

#include <keldra/Attribute.h>
#include <keldra/Field.h>

#include <tervo/ustring.h>

#include "views/ViewFields.h"

#include <algorithm>
#include <unordered_set>

namespace orva {
namespace keldra {

StringPool::StringSet* LocationCategoriesStrings::create_strings(StringPool& pool) {
  LocationCategoriesStrings* s = new LocationCategoriesStrings;
  pool.init_handle(s->location_categories, "location_categories");
  pool.init_handle(s->global_category, "global_category");
  pool.init_handle(s->quad_categories, "quad_categories");
  return s;
}

LocationCategories::LocationCategories() : m_strings(view_strings<LocationCategoriesStrings>()) {}

LocationCategories::LocationCategories(const LocationCategories& other)
    : AttributeHandle(other), m_strings(other.m_strings) {
  copy(other);
  attach_child_handles();
}

LocationCategories& LocationCategories::operator=(const LocationCategories& other) {
  if (this != &other) {
    m_strings = other.m_strings;
    AttributeHandle::operator=(other);
  }
  return *this;
}

const StringPool::StringHandle& LocationCategories::get_class_name_handle() const {
  return m_strings->location_categories;
}

ErrorCode LocationCategories::set_quad_categories(const std::string& text) {
  return set_field(m_strings->quad_categories, orva::ustring(text));
}

void LocationCategories::get_quad_categories(std::string& out) const {
  const Field* field = internal::view_field(*this, m_strings->quad_categories);
  std::string text;
  if (field && field->get_value(text) == ORVA_ERROR_NONE) out = text;
}

void LocationCategories::get_global_categories(std::vector<std::string>& out) const {
  if (!is_safe()) return;
  // The const accessor: reading must not give the attribute a field list.
  const Attribute& stored = *attribute();
  for (const Field& field : stored.get_fields()) {
    if (field.get_name_handle() != m_strings->global_category) continue;
    std::string text;
    if (field.get_value(text) == ORVA_ERROR_NONE) out.push_back(text);
  }
}

ErrorCode LocationCategories::set_global_categories(const std::vector<std::string>& categories) {
  if (!init_self()) return ORVA_ERROR_OUT_OF_MEMORY;
  // |categories| may be a list read from this very attribute: take the texts first.
  const std::vector<std::string> wanted(categories);
  Attribute& stored = *attribute();
  stored.get_fields().remove(m_strings->global_category);
  std::unordered_set<std::string> taken;
  for (const std::string& category : wanted) {
    if (!taken.insert(category).second) continue;
    ErrorCode result = stored.add_field(m_strings->global_category)->set_value(category);
    if (result != ORVA_ERROR_NONE) return result;
  }
  return ORVA_ERROR_NONE;
}

bool LocationCategories::is_global_category_present(const std::string& category) const {
  std::vector<std::string> categories;
  get_global_categories(categories);
  return std::find(categories.begin(), categories.end(), category) != categories.end();
}

ErrorCode LocationCategories::add_global_category(const std::string& category) {
  std::vector<std::string> categories;
  get_global_categories(categories);
  categories.push_back(category);
  return set_global_categories(categories);
}

void LocationCategories::remove_global_category(const std::string& category) {
  std::vector<std::string> categories;
  get_global_categories(categories);
  std::vector<std::string>::iterator it =
      std::find(categories.begin(), categories.end(), category);
  if (it == categories.end()) return;
  categories.erase(it);
  set_global_categories(categories);
}

}  // namespace keldra
}  // namespace orva
