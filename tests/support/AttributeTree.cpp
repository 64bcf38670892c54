#include "AttributeTree.h"

#include <keldra/Field.h>
#include <keldra/FieldList.h>
#include <keldra/LinkList.h>

namespace orva {
void PrintTo(const ustring& text, std::ostream* out) { *out << '"' << text.to_utf8() << '"'; }
}  // namespace orva

namespace keldra_test {

using orva::keldra::Attribute;
using orva::keldra::AttributeList;
using orva::keldra::Field;
using orva::keldra::StringPool;

namespace {

std::string field_text(const Field& field, FieldText style) {
  switch (style) {
    case FieldText::kNameAndValue: {
      std::string value;
      field.to_string(value);
      return field.get_name() + "=" + value;
    }
    case FieldText::kNameAndType:
      return field.get_name() + "/" + std::to_string(field.get_type());
    case FieldText::kName:
      break;
  }
  return field.get_name();
}

}  // namespace

std::string attribute_tree(const Attribute& attribute, FieldText fields, bool links) {
  std::string out = attribute.get_name() + ":" + attribute.get_class_name();
  const orva::keldra::FieldList& field_list = attribute.get_fields();
  if (field_list.size() > 0) {
    out += "(";
    for (unsigned int i = 0; i < field_list.size(); ++i) {
      if (i) out += ",";
      out += field_text(field_list[i], fields);
    }
    out += ")";
  }
  const orva::keldra::LinkList& link_list = attribute.get_links();
  if (links && link_list.size() > 0) {
    out += "{";
    for (unsigned int i = 0; i < link_list.size(); ++i) {
      if (i) out += ",";
      out += link_list[i].get_name();
    }
    out += "}";
  }
  if (attribute.get_attributes().size() > 0) {
    out += "[" + attribute_tree(attribute.get_attributes(), fields, links) + "]";
  }
  return out;
}

std::string attribute_tree(const AttributeList& list, FieldText fields, bool links) {
  std::string out;
  for (unsigned int i = 0; i < list.size(); ++i) {
    if (i) out += " ";
    out += list[i].is_valid() ? attribute_tree(*list[i], fields, links) : std::string("null");
  }
  return out;
}

std::string text_at(const AttributeList& list, const AttributeList::FieldPath& path) {
  Field field;
  std::string text;
  if (list.find_first_field(path, field)) field.get_value(text);
  return text.empty() ? "-" : text;
}

StringPool::StringHandle handle(const char* text) {
  return StringPool::StringHandle(StringPool::insert(text));
}

orva::SharedPointer<Attribute> make_attribute(const std::string& name,
                                              const std::string& class_name) {
  return orva::SharedPointer<Attribute>(new Attribute(name, class_name));
}

}  // namespace keldra_test
