#include <keldra/RouteProperties.h>

#include <keldra/Attribute.h>
#include <keldra/Field.h>
#include <keldra/FieldList.h>

#include "runtime/Timestamp.h"
#include "views/ViewFields.h"

#include <algorithm>

namespace orva {
namespace keldra {

namespace {

struct Keyword {
  int value;
  const char* text;
};

const Keyword kModes[] = {
    {RouteProperties::MODE_PEDESTRIAN, "pedestrian"},
    {RouteProperties::MODE_CAR, "car"},
    {RouteProperties::MODE_BIKE, "bike"},
    {RouteProperties::MODE_STRAIGHT_LINE, "straight_line"},
    {RouteProperties::MODE_PUBLIC_TRANSPORT, "public_transport"},
};

const Keyword kTypes[] = {
    {RouteProperties::TYPE_SHORTEST, "shortest"},
    {RouteProperties::TYPE_FASTEST, "fastest"},
    {RouteProperties::TYPE_MOST_ECONOMICAL, "most_economical"},
    {RouteProperties::TYPE_LEAST_WALKING, "least_walking"},
    {RouteProperties::TYPE_FEWER_TRANSFERS, "fewer_transfers"},
    {RouteProperties::TYPE_NO_TRANSFERS, "no_transfers"},
};

const Keyword kOptions[] = {
    {RouteProperties::OPTION_MOTORWAYS_NOT_ALLOWED, "motorways_not_allowed"},
    {RouteProperties::OPTION_TUNNELS_NOT_ALLOWED, "tunnels_not_allowed"},
    {RouteProperties::OPTION_FERRIES_NOT_ALLOWED, "ferries_not_allowed"},
    {RouteProperties::OPTION_TOLLROADS_NOT_ALLOWED, "tollroads_not_allowed"},
    {RouteProperties::OPTION_UNPAVED_NOT_ALLOWED, "unpaved_not_allowed"},
    {RouteProperties::OPTION_RAILFERRIES_NOT_ALLOWED, "railferries_not_allowed"},
    {RouteProperties::OPTION_BUS_NOT_ALLOWED, "bus_not_allowed"},
    {RouteProperties::OPTION_TRAM_NOT_ALLOWED, "tram_not_allowed"},
    {RouteProperties::OPTION_SUBWAY_NOT_ALLOWED, "subway_not_allowed"},
    {RouteProperties::OPTION_LOCAL_TRAINS_NOT_ALLOWED, "local_trains_not_allowed"},
};

// The keyword of |value|; null when the table has none.
template <size_t N>
const char* keyword_of(const Keyword (&table)[N], int value) {
  for (const Keyword& keyword : table) {
    if (keyword.value == value) return keyword.text;
  }
  return nullptr;
}

// The value whose keyword equals |text| exactly; 0 when none does.
template <size_t N>
int value_of(const Keyword (&table)[N], const std::string& text) {
  for (const Keyword& keyword : table) {
    if (text == keyword.text) return keyword.value;
  }
  return 0;
}

// Whether the field holds text (its UTF-8 form goes to |text|).
bool read_text(const Field& field, std::string& text) {
  return field.get_value(text) == ORVA_ERROR_NONE;
}

// A date, a time after 'T' and a zone designator, in the extended or basic form.
bool is_strict_iso_time(const std::string& text) {
  return internal::Timestamp::from_iso_any(text, true).is_valid();
}

}  // namespace

StringPool::StringSet* RoutePropertiesStrings::create_strings(StringPool& pool) {
  RoutePropertiesStrings* s = new RoutePropertiesStrings;
  pool.init_handle(s->route_properties, "route_properties");
  pool.init_handle(s->mode, "mode");
  pool.init_handle(s->option, "option");
  pool.init_handle(s->type, "type");
  pool.init_handle(s->departure, "departure");
  pool.init_handle(s->arrival, "arrival");
  return s;
}

RouteProperties::RouteProperties() : m_strings(view_strings<RoutePropertiesStrings>()) {}

RouteProperties::RouteProperties(const RouteProperties& other)
    : AttributeHandle(other), m_strings(other.m_strings) {
  copy(other);
  attach_child_handles();
}

RouteProperties& RouteProperties::operator=(const RouteProperties& other) {
  if (this != &other) {
    m_strings = other.m_strings;
    AttributeHandle::operator=(other);
  }
  return *this;
}

const StringPool::StringHandle& RouteProperties::get_class_name_handle() const {
  return m_strings->route_properties;
}

bool RouteProperties::get_text(const StringPool::StringHandle& name, std::string& text) const {
  const Field* field = internal::view_field(*this, name);
  return field && read_text(*field, text);
}

ErrorCode RouteProperties::set_text(const StringPool::StringHandle& name,
                                    const std::string& text) {
  Field* field = prepare_field(name);
  if (!field) return ORVA_ERROR_OUT_OF_MEMORY;
  return field->set_value(text);
}

RouteProperties::RouteMode RouteProperties::get_mode() const {
  std::string text;
  if (!get_text(m_strings->mode, text)) return MODE_NONE;
  return static_cast<RouteMode>(value_of(kModes, text));
}

ErrorCode RouteProperties::set_mode(RouteMode mode) {
  const char* keyword = keyword_of(kModes, mode);
  if (!keyword) return ORVA_ERROR_INVALID_PARAMETERS;
  return set_text(m_strings->mode, keyword);
}

RouteProperties::RouteType RouteProperties::get_type() const {
  std::string text;
  if (!get_text(m_strings->type, text)) return TYPE_NONE;
  return static_cast<RouteType>(value_of(kTypes, text));
}

ErrorCode RouteProperties::set_type(RouteType type) {
  const char* keyword = keyword_of(kTypes, type);
  if (!keyword) return ORVA_ERROR_INVALID_PARAMETERS;
  return set_text(m_strings->type, keyword);
}

void RouteProperties::get_options(std::vector<RouteOption>& options) const {
  options.clear();
  if (!is_safe()) return;
  // The const attribute: reading must not give it a field list.
  const Attribute& stored = *attribute();
  for (const Field& field : stored.get_fields()) {
    std::string text;
    if (field.get_name_handle() != m_strings->option || !read_text(field, text)) continue;
    RouteOption option = static_cast<RouteOption>(value_of(kOptions, text));
    if (option != 0 && std::find(options.begin(), options.end(), option) == options.end()) {
      options.push_back(option);
    }
  }
}

bool RouteProperties::is_option_set(RouteOption option) const {
  std::vector<RouteOption> options;
  get_options(options);
  return std::find(options.begin(), options.end(), option) != options.end();
}

ErrorCode RouteProperties::set_options(const std::vector<RouteOption>& options) {
  if (!init_self()) return ORVA_ERROR_OUT_OF_MEMORY;
  FieldList& fields = attribute()->get_fields();
  std::string text;
  for (unsigned int i = fields.size(); i-- > 0;) {
    if (fields[i].get_name_handle() == m_strings->option && read_text(fields[i], text)) {
      fields.erase(i);
    }
  }
  for (RouteOption option : options) {
    const char* keyword = keyword_of(kOptions, option);
    if (!keyword) continue;
    Field* field = attribute()->add_field(m_strings->option);
    if (!field) return ORVA_ERROR_OUT_OF_MEMORY;
    ErrorCode result = field->set_value(keyword);
    if (result != ORVA_ERROR_NONE) {
      // No empty "option" field is left behind.
      fields.erase(fields.size() - 1);
      return result;
    }
  }
  return ORVA_ERROR_NONE;
}

ErrorCode RouteProperties::set_option(RouteOption option, bool on) {
  if (!keyword_of(kOptions, option)) return ORVA_ERROR_INVALID_PARAMETERS;
  std::vector<RouteOption> options;
  get_options(options);
  std::vector<RouteOption>::iterator found = std::find(options.begin(), options.end(), option);
  if (on == (found != options.end())) return ORVA_ERROR_NONE;
  if (on) {
    options.push_back(option);
  } else {
    options.erase(found);
  }
  return set_options(options);
}

ErrorCode RouteProperties::set_time(const StringPool::StringHandle& name,
                                    const std::string& text) {
  if (!is_strict_iso_time(text)) {
    remove_field(name);
    return ORVA_ERROR_NONE;
  }
  return set_text(name, text);
}

std::string RouteProperties::get_time(const StringPool::StringHandle& name) const {
  std::string text;
  if (!get_text(name, text) || !is_strict_iso_time(text)) return std::string();
  return text;
}

ErrorCode RouteProperties::set_departure_time(const std::string& text) {
  return set_time(m_strings->departure, text);
}

ErrorCode RouteProperties::set_arrival_time(const std::string& text) {
  return set_time(m_strings->arrival, text);
}

std::string RouteProperties::get_departure_time() const { return get_time(m_strings->departure); }

std::string RouteProperties::get_arrival_time() const { return get_time(m_strings->arrival); }

}  // namespace keldra
}  // namespace orva
