#include <tervo/LocationInfo.h>

namespace orva {

bool LocationInfo::has(Field field) const { return m_values.count(field) != 0; }

ustring LocationInfo::get(Field field) const {
  std::map<int, ustring>::const_iterator it = m_values.find(field);
  return it == m_values.end() ? ustring() : it->second;
}

void LocationInfo::set(Field field, const ustring& text) { m_values[field] = text; }

}  // namespace orva
