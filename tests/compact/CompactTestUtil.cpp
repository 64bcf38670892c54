#include "CompactTestUtil.h"

#include <clocale>
#include <cstdio>
#include <sstream>

namespace compact_test {

ScopedLocale::ScopedLocale(const char* name) {
  const char* old = setlocale(LC_ALL, nullptr);
  m_saved = old ? old : "C";
  m_ok = setlocale(LC_ALL, name) != nullptr;
}

ScopedLocale::~ScopedLocale() { setlocale(LC_ALL, m_saved.c_str()); }

Attribute& add_attribute(Object& object, const std::string& class_name,
                         const std::string& name) {
  SharedPointer<Attribute> attribute(new Attribute(name, class_name));
  object.get_attributes().push_back(attribute);
  return *attribute;
}

Attribute& add_child(Attribute& parent, const std::string& class_name,
                     const std::string& name) {
  SharedPointer<Attribute> attribute(new Attribute(name, class_name));
  parent.get_attributes().push_back(attribute);
  return *attribute;
}

Field& add_field(Attribute& attribute, const std::string& name) {
  return *attribute.add_field(name);
}

ObjectPtr make_place(int index) {
  ObjectPtr place(new Object("location"));
  char name[64];
  snprintf(name, sizeof(name), "Caf\xC3\xA9 %d: Market Square", index);
  place->set_name(std::string(name));
  place->set_local_id(1000 + index);
  place->set_global_id(880000000000ull + index);
  place->set_version(3);
  place->set_owner(std::string("maija.virtanen"));
  place->set_sharing(orva::keldra::SHARING_PUBLIC_READ_ONLY);

  Attribute& address = add_attribute(*place, "address", "address");
  add_field(address, "country").set_value("Finland");
  add_field(address, "country_code").set_value("FIN");
  add_field(address, "city").set_value("Helsinki");
  add_field(address, "district").set_value("Kruununhaka");
  add_field(address, "postal_code").set_value("00170");
  add_field(address, "street").set_value("Pohjoisesplanadi");
  add_field(address, "street_number").set_value(std::to_string(index % 90 + 1));

  Attribute& position = add_attribute(*place, "position", "position");
  // Quotients of integers are the doubles their short decimal texts read back as.
  add_field(position, "latitude").set_value((6016740 + index) / 100000.0);
  add_field(position, "longitude").set_value((2495250 - index) / 100000.0);
  add_field(position, "altitude").set_value(12.5f);
  add_field(position, "accuracy").set_value(25.0f);
  add_field(position, "datum").set_value(0);

  Attribute& meta = add_attribute(*place, "metadata", "meta");
  const char* languages[] = {"fi", "en", "sv"};
  const char* names[] = {"Kauppatori", "Market Square", "Salutorget"};
  for (int i = 0; i < 3; ++i) {
    Attribute& text = add_child(meta, "text", "name");
    add_field(text, "language").set_value(languages[i]);
    add_field(text, "value").set_value(names[i]);
  }
  Attribute& description = add_child(meta, "text", "description");
  add_field(description, "value").set_value("Open-air market; fish, berries and coffee");
  Attribute& rating = add_child(meta, "rating", "avg_rating");
  add_field(rating, "value").set_value(4.5f);
  add_field(rating, "count").set_value(static_cast<unsigned int>(17 + index % 5));
  add_field(meta, "time").set_timestamp(1300000000000ll + index);

  Attribute& contact = add_attribute(*place, "contact", "contact");
  add_field(contact, "phone").set_value("+358 9 310 1691");
  add_field(contact, "web").set_value("http://www.example.fi/market");

  place->get_links().push_back(Link(static_cast<unsigned int>(7 + index % 3)));
  return place;
}

std::string text_of(const SharedPointer<DynamicBuffer>& buffer) {
  if (!buffer.is_valid() || !buffer->get_data()) return std::string();
  return std::string(reinterpret_cast<const char*>(buffer->get_data()),
                     buffer->get_data_length());
}

namespace {

std::string describe(const Field& field) {
  std::string value;
  field.to_string(value);
  std::ostringstream out;
  out << "field '" << field.get_name() << "' type " << field.get_type() << " value '" << value
      << "'";
  return out.str();
}

::testing::AssertionResult same_links(const orva::keldra::LinkList& expected,
                                      const orva::keldra::LinkList& actual,
                                      const std::string& where) {
  if (expected.size() != actual.size())
    return ::testing::AssertionFailure() << where << ": " << actual.size() << " links, expected "
                                         << expected.size();
  for (unsigned int i = 0; i < expected.size(); ++i) {
    if (!(expected[i] == actual[i]))
      return ::testing::AssertionFailure()
             << where << ": link " << i << " is " << actual[i].get_global_link() << "/"
             << actual[i].get_local_link() << " '" << actual[i].get_name() << "', expected "
             << expected[i].get_global_link() << "/" << expected[i].get_local_link() << " '"
             << expected[i].get_name() << "'";
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult same_attributes(const orva::keldra::AttributeList& expected,
                                           const orva::keldra::AttributeList& actual,
                                           const std::string& where) {
  if (expected.size() != actual.size())
    return ::testing::AssertionFailure() << where << ": " << actual.size()
                                         << " attributes, expected " << expected.size();
  for (unsigned int i = 0; i < expected.size(); ++i) {
    const Attribute& e = *expected[i];
    const Attribute& a = *actual[i];
    std::string here = where + "/" + e.get_class_name() + ":" + e.get_name();
    if (e.get_name_handle() != a.get_name_handle() ||
        e.get_class_name_handle() != a.get_class_name_handle())
      return ::testing::AssertionFailure() << here << ": got " << a.get_class_name() << ":"
                                           << a.get_name();
    const orva::keldra::FieldList& ef = e.get_fields();
    const orva::keldra::FieldList& af = a.get_fields();
    if (ef.size() != af.size())
      return ::testing::AssertionFailure() << here << ": " << af.size() << " fields, expected "
                                           << ef.size();
    for (unsigned int f = 0; f < ef.size(); ++f) {
      if (!(ef[f] == af[f]))
        return ::testing::AssertionFailure() << here << ": " << describe(af[f]) << ", expected "
                                             << describe(ef[f]);
    }
    ::testing::AssertionResult links = same_links(e.get_links(), a.get_links(), here);
    if (!links) return links;
    ::testing::AssertionResult children =
        same_attributes(e.get_attributes(), a.get_attributes(), here);
    if (!children) return children;
  }
  return ::testing::AssertionSuccess();
}

}  // namespace

::testing::AssertionResult same_object(const Object& expected, const Object& actual) {
  if (expected.get_class_name_handle() != actual.get_class_name_handle() ||
      expected.get_name_handle() != actual.get_name_handle() ||
      expected.get_owner_handle() != actual.get_owner_handle() ||
      expected.get_global_id() != actual.get_global_id() ||
      expected.get_local_id() != actual.get_local_id() ||
      expected.get_version() != actual.get_version() ||
      expected.get_sharing() != actual.get_sharing() ||
      expected.is_partial() != actual.is_partial())
    return ::testing::AssertionFailure()
           << "header differs: got '" << actual.get_class_name() << "' '" << actual.get_name()
           << "' owner '" << actual.get_owner() << "' ids " << actual.get_global_id() << "/"
           << actual.get_local_id() << " version " << actual.get_version() << " sharing "
           << actual.get_sharing() << " partial " << actual.is_partial() << "; expected '"
           << expected.get_class_name() << "' '" << expected.get_name() << "' owner '"
           << expected.get_owner() << "' ids " << expected.get_global_id() << "/"
           << expected.get_local_id() << " version " << expected.get_version() << " sharing "
           << expected.get_sharing() << " partial " << expected.is_partial();
  ::testing::AssertionResult links = same_links(expected.get_links(), actual.get_links(), "object");
  if (!links) return links;
  return same_attributes(expected.get_attributes(), actual.get_attributes(), "object");
}

}  // namespace compact_test
