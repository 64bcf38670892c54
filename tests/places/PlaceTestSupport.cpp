#include "PlaceTestSupport.h"

#include <keldra/Field.h>
#include <keldra/FieldList.h>

#include <tervo/GeoCoordinates.h>

namespace orva {
void PrintTo(const ustring& text, std::ostream* out) { *out << '"' << text.to_utf8() << '"'; }
}  // namespace orva

namespace keldra_test {

std::string tree(const orva::keldra::Attribute& attribute) {
  std::string out = attribute.get_name() + ":" + attribute.get_class_name();
  const orva::keldra::FieldList& fields = attribute.get_fields();
  if (fields.size() > 0) {
    out += "(";
    for (unsigned int i = 0; i < fields.size(); ++i) {
      std::string value;
      fields[i].to_string(value);
      out += (i ? "," : "") + fields[i].get_name() + "=" + value;
    }
    out += ")";
  }
  if (attribute.get_attributes().size() > 0) out += "[" + tree(attribute.get_attributes()) + "]";
  return out;
}

std::string tree(const orva::keldra::AttributeList& list) {
  std::string out;
  for (unsigned int i = 0; i < list.size(); ++i) {
    out += (i ? " " : "") + (list[i].is_valid() ? tree(*list[i]) : std::string("null"));
  }
  return out;
}

orva::Location location_at(double latitude, double longitude, double altitude) {
  return orva::Location(orva::GeoCoordinates(latitude, longitude, altitude));
}

}  // namespace keldra_test
