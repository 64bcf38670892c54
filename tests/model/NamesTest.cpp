// The 64-byte cut of names given as text, shared by fields, links, attributes and
// objects, and the constructors that intern texts whole.
#include <keldra/Attribute.h>
#include <keldra/Field.h>
#include <keldra/Link.h>
#include <keldra/Object.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "ObjectTestSupport.h"

namespace {

using orva::keldra::Attribute;
using orva::keldra::Field;
using orva::keldra::Link;
using orva::keldra::Object;
using objects_test::ascii_name;

class NamesTest : public objects_test::PoolTest {};

TEST_F(NamesTest, SettersCutAtSixtyFourBytesOnACharacterBoundary) {
  const std::string e_acute = "\xC3\xA9";       // 2 bytes
  const std::string euro = "\xE2\x82\xAC";      // 3 bytes
  const std::string clef = "\xF0\x9D\x84\x9E";  // 4 bytes
  struct Case {
    const char* what;
    std::string text;
    std::string kept;
  } cases[] = {
      {"short", "name", "name"},
      {"exactly 64", ascii_name(64), ascii_name(64)},
      {"70 ASCII bytes", ascii_name(70), ascii_name(64)},
      {"2-byte character across the cut", ascii_name(63) + e_acute + "x", ascii_name(63)},
      {"2-byte character ending at the cut", ascii_name(62) + e_acute + "x",
       ascii_name(62) + e_acute},
      {"3-byte character across the cut", ascii_name(62) + euro, ascii_name(62)},
      {"4-byte character across the cut", ascii_name(61) + clef + "y", ascii_name(61)},
      {"only 3-byte characters", [&] {
         std::string s;
         for (int i = 0; i < 30; ++i) s += euro;
         return s;
       }(),
       [&] {
         std::string s;
         for (int i = 0; i < 21; ++i) s += euro;
         return s;
       }()},
      {"empty clears", "", ""},
  };
  struct Setter {
    const char* what;
    std::function<std::string(const std::string&)> set_and_get;
  } setters[] = {
      {"Field::set_name",
       [](const std::string& t) {
         Field f;
         f.set_name(t);
         return f.get_name();
       }},
      {"Link::set_name",
       [](const std::string& t) {
         Link l;
         l.set_name(t);
         return l.get_name();
       }},
      {"Attribute::set_name",
       [](const std::string& t) {
         Attribute a("x");
         a.set_name(t);
         return a.get_name();
       }},
      {"Attribute::set_class_name",
       [](const std::string& t) {
         Attribute a("x");
         a.set_class_name(t);
         return a.get_class_name();
       }},
      {"Object::set_name",
       [](const std::string& t) {
         Object o;
         o.set_name(t);
         return o.get_name();
       }},
      {"Object::set_class_name",
       [](const std::string& t) {
         Object o("x");
         o.set_class_name(t);
         return o.get_class_name();
       }},
      {"Object::set_service",
       [](const std::string& t) {
         Object o;
         o.set_service(t);
         return o.get_service();
       }},
  };
  for (const Setter& setter : setters) {
    for (const Case& c : cases) {
      EXPECT_EQ(c.kept, setter.set_and_get(c.text)) << setter.what << ": " << c.what;
    }
  }
}

TEST_F(NamesTest, ConstructorsInternWholeTexts) {
  const std::string long_text = ascii_name(70);
  EXPECT_EQ(long_text, Attribute(long_text).get_class_name());
  Attribute both(long_text, long_text + "c");
  EXPECT_EQ(long_text, both.get_name());
  EXPECT_EQ(long_text + "c", both.get_class_name());
  EXPECT_EQ(long_text, Object(long_text).get_class_name());
  EXPECT_FALSE(Attribute("", "c").get_name_handle().is_valid());
}

TEST_F(NamesTest, RecordsReadBackCutNames) {
  Attribute a(ascii_name(70), "c");
  Attribute back;
  ASSERT_TRUE(objects_test::read_record(back, objects_test::record_hex(a)));
  EXPECT_EQ(ascii_name(64), back.get_name());
}

// The name of an "anchor" attribute is the server's sync anchor: read back whole.
// The class must match exactly; the anchor's own fields keep the usual cut.
TEST_F(NamesTest, RecordsReadBackTheAnchorWhole) {
  const struct {
    const char* class_name;
    size_t kept;
  } cases[] = {{"anchor", 200}, {"Anchor", 64}, {"anchor_", 64}, {"ancho", 64}};
  for (const auto& c : cases) {
    Attribute a(ascii_name(200), c.class_name);
    a.add_field(ascii_name(70))->set_value(1);
    Attribute back;
    ASSERT_TRUE(objects_test::read_record(back, objects_test::record_hex(a))) << c.class_name;
    EXPECT_EQ(ascii_name(c.kept), back.get_name()) << c.class_name;
    EXPECT_EQ(c.class_name, back.get_class_name());
    EXPECT_EQ(ascii_name(64), back.get_fields()[0].get_name()) << c.class_name;
  }
}

}  // namespace
