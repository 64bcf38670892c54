// Attribute trees in tests: building single attributes, and a one-line text picture
// of a tree to compare against.
#pragma once

#include <keldra/Attribute.h>
#include <keldra/AttributeList.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>

#include <tervo/ustring.h>

#include <ostream>
#include <string>

namespace orva {
// Readable failure messages for texts.
void PrintTo(const ustring& text, std::ostream* out);
}  // namespace orva

namespace keldra_test {

// What the picture shows of each field.
enum class FieldText { kName, kNameAndValue, kNameAndType };

// One line per tree: each attribute as name:class, then its fields in parentheses
// (name, name=value or name/type), its link names in braces when |links| is set and
// it has any, and its children in brackets; siblings are separated by a blank, an
// empty slot reads "null". An unnamed attribute shows only ":class".
std::string attribute_tree(const orva::keldra::Attribute& attribute, FieldText fields,
                           bool links);
std::string attribute_tree(const orva::keldra::AttributeList& list, FieldText fields,
                           bool links);

// The text of the field that |path| leads to (AttributeList::find_first_field), such as
// the file of a place's first icon; "-" when there is none or it holds no text.
std::string text_at(const orva::keldra::AttributeList& list,
                    const orva::keldra::AttributeList::FieldPath& path);

// The handle of |text| in the thread's pool.
orva::keldra::StringPool::StringHandle handle(const char* text);

// A new attribute of that name and class.
orva::SharedPointer<orva::keldra::Attribute> make_attribute(const std::string& name,
                                                            const std::string& class_name);

}  // namespace keldra_test
