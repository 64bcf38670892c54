#include <keldra/Reference.h>

#include <keldra/Field.h>
#include <keldra/FieldList.h>

namespace orva {
namespace keldra {

namespace {
const char kObjectId[] = "uri";
const char kService[] = "service";
}  // namespace

Reference::Reference() {}

void Reference::set_object_id(const std::string& id) { set_text(kObjectId, id); }

void Reference::set_service(const std::string& service) { set_text(kService, service); }

void Reference::get_object_id(std::string& id) const { get_field(kObjectId, id); }

void Reference::get_service(std::string& service) const { get_field(kService, service); }

void Reference::set_text(const char* name, const std::string& text) {
  Field field;
  field.set_name(std::string(name));
  if (field.set_value(text) != ORVA_ERROR_NONE) return;
  get_fields().set_field(field);
}

}  // namespace keldra
}  // namespace orva
