// Location categories (global categories without duplicates, quad categories) and
// location properties (radius).
#include "support/PlaceFixture.h"

#include <keldra/Field.h>
#include <keldra/LocationCategories.h>
#include <keldra/LocationProperties.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace keldra_test {
namespace {

using orva::keldra::LocationCategories;
using orva::keldra::LocationProperties;
using Strings = std::vector<std::string>;

Strings stored(const LocationCategories& categories) {
  Strings out;
  categories.get_global_categories(out);
  return out;
}

using CategoriesTest = PlaceTest;

TEST_F(CategoriesTest, GlobalCategoriesKeepTheFirstOfEachInInputOrder) {
  LocationCategories categories;
  ASSERT_EQ(0, categories.set_quad_categories("q1 q2"));
  ASSERT_EQ(0, categories.set_global_categories({"b", "a", "b", "c", "a"}));
  EXPECT_EQ(
      ":location_categories(quad_categories=q1 q2,global_category=b,global_category=a,"
      "global_category=c)",
      tree(*categories.attribute()));
  for (const orva::keldra::Field& field : categories.attribute()->get_fields()) {
    EXPECT_EQ(orva::keldra::Field::TYPE_USTRING, field.get_type());
  }

  // Rewriting keeps other fields in place and puts the categories after them.
  ASSERT_EQ(0, categories.set_global_categories({"d"}));
  EXPECT_EQ(":location_categories(quad_categories=q1 q2,global_category=d)",
            tree(*categories.attribute()));
}

TEST_F(CategoriesTest, EmptyListRemovesEveryCategoryAndCreatesTheAttribute) {
  LocationCategories categories;
  ASSERT_EQ(0, categories.set_global_categories({}));
  ASSERT_TRUE(categories.is_safe());
  EXPECT_EQ(":location_categories", tree(*categories.attribute()));

  ASSERT_EQ(0, categories.set_global_categories({"a", "b"}));
  ASSERT_EQ(0, categories.set_global_categories({}));
  EXPECT_EQ(Strings(), stored(categories));
}

TEST_F(CategoriesTest, ReadingAppendsAndSkipsFieldsThatHoldNoText) {
  LocationCategories categories;
  Strings out = {"x"};
  categories.get_global_categories(out);
  EXPECT_EQ(Strings({"x"}), out);

  ASSERT_EQ(0, categories.set_global_categories({"a"}));
  categories.attribute()->add_field("global_category")->set_value(7);
  categories.attribute()->add_field("global_category")->set_value(std::string("b"));
  categories.get_global_categories(out);
  EXPECT_EQ(Strings({"x", "a", "b"}), out);
}

TEST_F(CategoriesTest, TextsTravelAsUtf8) {
  LocationCategories categories;
  const std::string text = "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8d\xb5";
  ASSERT_EQ(0, categories.set_global_categories({text}));
  ASSERT_EQ(0, categories.set_quad_categories(text));
  EXPECT_EQ(Strings({text}), stored(categories));
  std::string quad;
  categories.get_quad_categories(quad);
  EXPECT_EQ(text, quad);
}

TEST_F(CategoriesTest, AddAndRemove) {
  LocationCategories categories;
  ASSERT_EQ(0, categories.add_global_category("food"));
  ASSERT_EQ(0, categories.add_global_category("park"));
  ASSERT_EQ(0, categories.add_global_category("food"));
  EXPECT_EQ(Strings({"food", "park"}), stored(categories));
  EXPECT_TRUE(categories.is_global_category_present("food"));
  EXPECT_FALSE(categories.is_global_category_present("Food"));

  categories.remove_global_category("food");
  EXPECT_EQ(Strings({"park"}), stored(categories));
  EXPECT_FALSE(categories.is_global_category_present("food"));
}

TEST_F(CategoriesTest, RemovingAnAbsentCategoryWritesNothing) {
  LocationCategories categories;
  categories.remove_global_category("none");
  EXPECT_FALSE(categories.is_safe());

  ASSERT_EQ(0, categories.set_global_categories({"a", "b"}));
  categories.attribute()->set_modified(false);
  categories.remove_global_category("c");
  EXPECT_FALSE(categories.attribute()->is_modified());
  EXPECT_EQ(Strings({"a", "b"}), stored(categories));
}

// A stored attribute without any field: reading it must not give it a field list,
// which would mark it modified and make the store write it back.
TEST_F(CategoriesTest, ReadersLeaveAnAttributeWithoutFieldsUnmarked) {
  struct Case {
    const char* what;
    std::function<void(LocationCategories&)> read;
  };
  const Case cases[] = {
      {"global categories", [](LocationCategories& c) { stored(c); }},
      {"presence", [](LocationCategories& c) { c.is_global_category_present("a"); }},
      {"removing an absent one", [](LocationCategories& c) { c.remove_global_category("a"); }},
      {"quad categories",
       [](LocationCategories& c) {
         std::string out;
         c.get_quad_categories(out);
       }},
  };
  for (const Case& cs : cases) {
    SCOPED_TRACE(cs.what);
    orva::SharedPointer<orva::keldra::Attribute> attribute(
        new orva::keldra::Attribute("categories", "location_categories"));
    attribute->set_modified(false);
    LocationCategories categories;
    categories.attach(attribute);
    cs.read(categories);
    EXPECT_FALSE(attribute->is_modified());
  }
}

TEST_F(CategoriesTest, QuadCategoriesAbsentOrNotTextLeaveTheOutputAlone) {
  LocationCategories categories;
  std::string out = "kept";
  categories.get_quad_categories(out);
  EXPECT_EQ("kept", out);
  ASSERT_EQ(0, categories.set_global_categories({"a"}));
  categories.get_quad_categories(out);
  EXPECT_EQ("kept", out);
  categories.attribute()->add_field("quad_categories")->set_value(2.5);
  categories.get_quad_categories(out);
  EXPECT_EQ("kept", out);
}

TEST_F(CategoriesTest, WritesThroughAChildThatCannotBeCreatedFail) {
  LocationCategories parent;
  LocationCategories orphan;
  orphan.set_parent(&parent);
  EXPECT_EQ(ORVA_ERROR_OUT_OF_MEMORY, orphan.set_global_categories({"a"}));
  EXPECT_EQ(ORVA_ERROR_OUT_OF_MEMORY, orphan.add_global_category("a"));
  EXPECT_EQ(ORVA_ERROR_OUT_OF_MEMORY, orphan.set_quad_categories("q"));
  EXPECT_FALSE(orphan.is_safe());

  LocationProperties properties_parent;
  LocationProperties properties;
  properties.set_parent(&properties_parent);
  EXPECT_EQ(ORVA_ERROR_OUT_OF_MEMORY, properties.set_radius(1.0f));
}

TEST_F(CategoriesTest, RadiusIsAFloatAndNaNOtherwise) {
  LocationProperties properties;
  EXPECT_TRUE(std::isnan(properties.get_radius()));
  ASSERT_EQ(0, properties.set_radius(250.5f));
  EXPECT_EQ(250.5f, properties.get_radius());
  EXPECT_EQ(":location_properties(radius=250.5)", tree(*properties.attribute()));
  EXPECT_EQ(orva::keldra::Field::TYPE_FLOAT, properties.attribute()->get_fields()[0].get_type());

  properties.attribute()->prepare_field("radius")->set_value(250.5);
  EXPECT_TRUE(std::isnan(properties.get_radius()));
}

}  // namespace
}  // namespace keldra_test
