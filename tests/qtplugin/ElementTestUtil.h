// Small helpers of the QML plug-in's C++ tests: links with given ids, and counts of
// fields and child sections of one name.
#pragma once

#include <keldra/Attribute.h>
#include <keldra/AttributeList.h>
#include <keldra/FieldList.h>
#include <keldra/Link.h>

#include <string>

namespace qtplugin_test {

inline orva::keldra::Link link_to(unsigned int lid, unsigned long long gid) {
  orva::keldra::Link link;
  link.set_local_link(lid);
  link.set_global_link(gid);
  return link;
}

// Fields named |name| in |attribute|.
inline int count_fields(const orva::keldra::Attribute& attribute, const std::string& name) {
  int n = 0;
  const orva::keldra::FieldList& fields = attribute.get_fields();
  for (int at = fields.find_field(name); at >= 0;
       at = fields.find_field(name, static_cast<unsigned>(at) + 1)) {
    ++n;
  }
  return n;
}

// Sections of |list| matching |name| and |class_name| (an empty name: any name).
inline int count_sections(const orva::keldra::AttributeList& list, const std::string& name,
                          const std::string& class_name) {
  int n = 0;
  for (int at = list.find_attribute(name, class_name, 0); at >= 0;
       at = list.find_attribute(name, class_name, at + 1)) {
    ++n;
  }
  return n;
}

}  // namespace qtplugin_test
