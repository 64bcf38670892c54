// The config object: the capability attributes put in their places, exactly one
// anchor in what is sent, and the anchor read and written whole.
#include "support/PlaceFixture.h"

#include "sysobjects/ConfigObject.h"

#include <keldra/Attribute.h>
#include <keldra/DynamicBuffer.h>
#include <keldra/ObjectConverter.h>
#include <keldra/Field.h>
#include <keldra/Object.h>

#include <string>
#include <vector>

namespace keldra_test {
namespace {

using orva::SharedPointer;
using orva::keldra::Attribute;
using orva::keldra::Object;
using orva::keldra::internal::ConfigObject;

struct Node {
  const char* name;
  const char* class_name;
  const char* field;  // a uint32 field of that name, or ""
};

SharedPointer<Object> config_with(const std::vector<Node>& nodes) {
  SharedPointer<Object> object(new Object("config"));
  for (const Node& node : nodes) {
    SharedPointer<Attribute> attribute = make_attribute(node.name, node.class_name);
    if (*node.field) attribute->prepare_field(std::string(node.field))->set_value(5u);
    object->get_attributes().push_back(attribute);
  }
  return object;
}

// What the sync extension does to the config object before it sends it.
void prepare_for_sending(Object& object) {
  ASSERT_EQ(0, ConfigObject::set_initial_values(object));
  std::string anchor;
  if (ConfigObject::get_anchor(object, anchor) == 8) {
    ASSERT_EQ(0, ConfigObject::set_anchor(object, ""));
  }
}

using ConfigObjectTest = PlaceTest;

TEST_F(ConfigObjectTest, FreshObjectIsSentWithCapabilitiesAndAnEmptyAnchor) {
  ConfigObject config;
  ASSERT_EQ(0, config.set_initial_values());
  ASSERT_TRUE(config.is_safe());
  EXPECT_EQ(999u, config.object()->get_global_id());
  prepare_for_sending(*config.object());
  EXPECT_EQ("222:last_string_supported :subscriptions :users_object :echo :anchor",
            tree(config.object()->get_attributes()));
  std::string anchor = "x";
  EXPECT_EQ(0, config.get_anchor(anchor));
  EXPECT_EQ("", anchor);
}

// Stored and received objects keep their attributes' places; each capability class
// ends up once, bare and in the place of its first attribute; one anchor is sent.
TEST_F(ConfigObjectTest, StoredObjectKeepsItsPlaces) {
  struct Case {
    const char* label;
    std::vector<Node> stored;
    const char* sent;
  };
  const Case cases[] = {
      {"anchor first, capabilities after",
       {{"A1", "anchor", ""}, {"", "echo", ""}, {"x", "other", "v"}},
       "A1:anchor :echo x:other(v=5) 222:last_string_supported :subscriptions :users_object"},
      {"old code number with fields",
       {{"221", "last_string_supported", "f"}, {"", "subscriptions", ""}},
       "222:last_string_supported :subscriptions :users_object :echo :anchor"},
      {"named capability and a second one of its class",
       {{"n", "echo", "f"}, {"m", "echo", ""}, {"", "anchor", ""}},
       ":echo m:echo :anchor 222:last_string_supported :subscriptions :users_object"},
      {"two anchors: both stay",
       {{"first", "anchor", ""}, {"second", "anchor", ""}},
       "first:anchor second:anchor 222:last_string_supported :subscriptions :users_object :echo"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    SharedPointer<Object> object = config_with(c.stored);
    prepare_for_sending(*object);
    EXPECT_EQ(c.sent, tree(object->get_attributes()));
  }
}

TEST_F(ConfigObjectTest, GetAnchorReadsTheFirstAnchorWhateverItsName) {
  struct Case {
    std::vector<Node> stored;
    int result;
    const char* anchor;
  };
  const Case cases[] = {
      {{}, 8, "untouched"},
      {{{"anchor", "other", ""}, {"", "echo", ""}}, 8, "untouched"},
      {{{"", "anchor", ""}}, 0, ""},
      {{{"2026-12-10T18:00:00Z", "anchor", "f"}, {"b", "anchor", ""}}, 0, "2026-12-10T18:00:00Z"},
      {{{"x", "other", ""}, {"b", "anchor", ""}}, 0, "b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.anchor);
    SharedPointer<Object> object = config_with(c.stored);
    std::string anchor = "untouched";
    EXPECT_EQ(c.result, ConfigObject::get_anchor(*object, anchor));
    EXPECT_EQ(c.anchor, anchor);

    ConfigObject view;
    ASSERT_EQ(0, view.attach(object));
    anchor = "untouched";
    EXPECT_EQ(c.result, view.get_anchor(anchor));
    EXPECT_EQ(c.anchor, anchor);
  }

  ConfigObject unbound;
  std::string anchor = "untouched";
  EXPECT_EQ(8, unbound.get_anchor(anchor));
  EXPECT_EQ("untouched", anchor);
  EXPECT_FALSE(unbound.is_safe());
}

TEST_F(ConfigObjectTest, SetAnchorReplacesTheFirstAnchorInPlace) {
  SharedPointer<Object> object =
      config_with({{"x", "other", ""}, {"old", "anchor", "f"}, {"second", "anchor", ""}});
  ASSERT_EQ(0, ConfigObject::set_anchor(*object, "new"));
  EXPECT_EQ("x:other new:anchor second:anchor", tree(object->get_attributes()));
  ASSERT_EQ(0, ConfigObject::set_anchor(*object, ""));
  EXPECT_EQ("x:other :anchor second:anchor", tree(object->get_attributes()));

  SharedPointer<Object> without = config_with({{"x", "other", ""}});
  ASSERT_EQ(0, ConfigObject::set_anchor(*without, "a"));
  EXPECT_EQ("x:other a:anchor", tree(without->get_attributes()));

  ConfigObject view;
  ASSERT_EQ(0, view.set_anchor("v"));
  ASSERT_TRUE(view.is_safe());
  EXPECT_EQ("sys.keldra.config", view.get_name());
  EXPECT_EQ("v:anchor", tree(view.object()->get_attributes()));
}

// Names given to the model's text setters keep 64 bytes; an anchor has no such limit
// and is read back exactly as the server sent it.
TEST_F(ConfigObjectTest, LongAnchorIsKeptWhole) {
  std::string long_anchor;
  for (int i = 0; i < 30; ++i) long_anchor += "anchor-" + std::to_string(i) + ";";
  ASSERT_GT(long_anchor.size(), 64u);

  ConfigObject config;
  ASSERT_EQ(0, config.set_anchor(long_anchor));
  std::string anchor;
  ASSERT_EQ(0, config.get_anchor(anchor));
  EXPECT_EQ(long_anchor, anchor);

  // Sending keeps it too.
  prepare_for_sending(*config.object());
  ASSERT_EQ(0, config.get_anchor(anchor));
  EXPECT_EQ(long_anchor, anchor);

  // A received object named through the constructor (no cut) reads whole as well.
  SharedPointer<Object> received = config_with({{"", "echo", ""}});
  received->get_attributes().push_back(make_attribute(long_anchor, "anchor"));
  ASSERT_EQ(0, ConfigObject::get_anchor(*received, anchor));
  EXPECT_EQ(long_anchor, anchor);
}

// The object as the server receives it and sends it back: the capability named by a
// number and the anchor come back as they were.
TEST_F(ConfigObjectTest, TravelsThroughTheCompactFormat) {
  const std::string mime = "application/vnd.ostra.keldraobjectcompact";
  ConfigObject config;
  ASSERT_EQ(0, config.set_initial_values());
  ASSERT_EQ(0, config.set_anchor("20261210T180000Z:7#42"));
  SharedPointer<orva::keldra::ObjectConverter> converter = orva::keldra::ObjectConverter::create();
  SharedPointer<orva::keldra::DynamicBuffer> buffer(new orva::keldra::DynamicBuffer());
  ASSERT_EQ(0, converter->encode(*config.object(), buffer, mime, false));
  orva::keldra::ObjectPtr decoded;
  ASSERT_EQ(0, converter->decode(buffer->get_data(), buffer->get_data_length(), decoded, mime));

  ConfigObject received;
  ASSERT_EQ(0, received.attach(decoded));
  EXPECT_EQ(tree(config.object()->get_attributes()), tree(decoded->get_attributes()));
  std::string anchor;
  ASSERT_EQ(0, received.get_anchor(anchor));
  EXPECT_EQ("20261210T180000Z:7#42", anchor);
  EXPECT_EQ(999u, decoded->get_global_id());
}

TEST_F(ConfigObjectTest, CopyIsAConfigOfItsOwn) {
  ConfigObject source;
  ASSERT_EQ(0, source.set_anchor("a"));
  ConfigObject copy(source);
  ASSERT_TRUE(copy.is_safe());
  EXPECT_NE(source.object().get(), copy.object().get());
  EXPECT_EQ(999u, copy.object()->get_global_id());
  EXPECT_EQ("a:anchor", tree(copy.object()->get_attributes()));
  ASSERT_EQ(0, copy.set_anchor("b"));
  std::string anchor;
  ASSERT_EQ(0, source.get_anchor(anchor));
  EXPECT_EQ("a", anchor);

  ConfigObject assigned;
  assigned = copy;
  ASSERT_EQ(0, assigned.get_anchor(anchor));
  EXPECT_EQ("b", anchor);
  EXPECT_EQ("config", assigned.object()->get_class_name());

  ConfigObject unbound;
  ConfigObject unbound_copy(unbound);
  EXPECT_FALSE(unbound_copy.is_safe());
}

}  // namespace
}  // namespace keldra_test
