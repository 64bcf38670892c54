// Multimedia objects: each of the seven children is created under its own name and
// class, found by name and class whatever the order, and copies are independent.
#include "support/PlaceFixture.h"

#include <keldra/Attribute.h>
#include <keldra/CoordinateDatum.h>
#include <keldra/MultimediaObject.h>
#include <keldra/Object.h>
#include <keldra/Uri.h>

#include <functional>
#include <string>

namespace keldra_test {
namespace {

using orva::SharedPointer;
using orva::ustring;
using orva::keldra::Attribute;
using orva::keldra::AttributeHandle;
using orva::keldra::MultimediaObject;
using orva::keldra::Object;
using orva::keldra::StringPool;
using orva::keldra::Uri;

std::string url(const Uri& uri) {
  ustring text;
  uri.get_url(text);
  return text.to_utf8();
}

using MultimediaObjectTest = PlaceTest;

TEST_F(MultimediaObjectTest, EachChildIsCreatedUnderItsNameAndClass) {
  struct Case {
    std::function<int(MultimediaObject&)> write;
    const char* created;
  };
  const Case cases[] = {
      {[](MultimediaObject& m) { return m.metadata().set_copyright(ustring("c")); },
       "meta:metadata(copyright=c)"},
      {[](MultimediaObject& m) {
         return m.position().set_datum(orva::keldra::COORDINATE_DATUM_CHINA);
       },
       "position:position(datum=-1)"},
      {[](MultimediaObject& m) { return m.data_stream().set_mime("image/png"); },
       "data:data_stream(mime=image/png)"},
      {[](MultimediaObject& m) { return m.local_uri().set_url(ustring("file:///a.jpg")); },
       "local_uri:uri(url=file:///a.jpg)"},
      {[](MultimediaObject& m) { return m.remote_uri().set_url(ustring("https://x/a.jpg")); },
       "remote_uri:uri(url=https://x/a.jpg)"},
      {[](MultimediaObject& m) { return m.local_info().set_file_size(10); },
       "local_info:file_info(file_size=10)"},
      {[](MultimediaObject& m) { return m.remote_info().set_file_size(20); },
       "remote_info:file_info(file_size=20)"},
  };
  MultimediaObject all;
  std::string trees;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.created);
    MultimediaObject media;
    EXPECT_FALSE(media.is_safe());
    ASSERT_EQ(0, c.write(media));
    ASSERT_TRUE(media.is_safe());
    EXPECT_EQ("multimedia", media.object()->get_class_name());
    EXPECT_EQ(c.created, tree(media.object()->get_attributes()));

    // Once created, a child is written in place, not appended again.
    ASSERT_EQ(0, c.write(all));
    ASSERT_EQ(0, c.write(all));
    trees += (trees.empty() ? "" : " ") + std::string(c.created);
  }
  EXPECT_EQ(trees, tree(all.object()->get_attributes()));
}

// Each child binds to the first top-level attribute of its name and its class.
TEST_F(MultimediaObjectTest, BindingFindsChildrenWhateverTheOrder) {
  SharedPointer<Object> stored(new Object("multimedia"));
  auto add = [&](const char* name, const char* class_name, const char* address) {
    SharedPointer<Attribute> attribute(new Attribute(name, class_name));
    if (address) attribute->prepare_field(std::string("url"))->set_value(address);
    stored->get_attributes().push_back(attribute);
    return attribute;
  };
  add("remote_uri", "uri", "https://x/b.jpg");
  add("note", "text", nullptr);
  add("local_uri", "file_info", nullptr);
  SharedPointer<Attribute> local = add("local_uri", "uri", "file:///b.jpg");
  add("remote_uri", "uri", "https://x/second.jpg");

  MultimediaObject media;
  media.attach(stored);
  EXPECT_EQ("https://x/b.jpg", url(media.remote_uri()));
  EXPECT_EQ("file:///b.jpg", url(media.local_uri()));
  EXPECT_EQ(local.get(), media.local_uri().attribute().get());
  EXPECT_FALSE(media.metadata().is_safe());
  EXPECT_FALSE(media.local_info().is_safe());
  EXPECT_EQ(5u, stored->get_attributes().size());
}

TEST_F(MultimediaObjectTest, CopiesAreIndependentObjects) {
  MultimediaObject source;
  ASSERT_EQ(0, source.local_uri().set_url(ustring("file:///a.jpg")));
  ASSERT_EQ(0, source.remote_info().set_file_size(20));
  source.object()->set_global_id(77);

  MultimediaObject copy(source);
  ASSERT_TRUE(copy.is_safe());
  EXPECT_NE(source.object().get(), copy.object().get());
  EXPECT_EQ("multimedia", copy.object()->get_class_name());
  EXPECT_EQ(77u, copy.object()->get_global_id());
  EXPECT_EQ("file:///a.jpg", url(copy.local_uri()));

  ASSERT_EQ(0, copy.local_uri().set_url(ustring("file:///b.jpg")));
  ASSERT_EQ(0, copy.remote_uri().set_url(ustring("https://x/b.jpg")));
  EXPECT_EQ("file:///a.jpg", url(source.local_uri()));
  EXPECT_EQ("local_uri:uri(url=file:///a.jpg) remote_info:file_info(file_size=20)",
            tree(source.object()->get_attributes()));

  MultimediaObject assigned;
  assigned = copy;
  EXPECT_EQ("https://x/b.jpg", url(assigned.remote_uri()));
  EXPECT_NE(copy.remote_uri().attribute().get(), assigned.remote_uri().attribute().get());

  MultimediaObject unbound;
  MultimediaObject unbound_copy(unbound);
  EXPECT_FALSE(unbound_copy.is_safe());
}

// A section registered at run time is created and bound as the object view does it.
TEST_F(MultimediaObjectTest, CustomSectionsAreLeftToTheObjectView) {
  StringPool::StringHandle thumb;
  StringPool::instance()->init_handle(thumb, "thumb");

  MultimediaObject media;
  SharedPointer<Uri> handler(new Uri);
  ASSERT_EQ(0, media.register_custom_section(SharedPointer<AttributeHandle>(handler), thumb));
  ASSERT_EQ(0, handler->set_url(ustring("file:///t.jpg")));
  EXPECT_EQ("thumb:uri(url=file:///t.jpg)", tree(media.object()->get_attributes()));

  SharedPointer<Object> other(new Object("multimedia"));
  SharedPointer<Attribute> stored_thumb(new Attribute("thumb", "uri"));
  other->get_attributes().push_back(stored_thumb);
  media.attach(other);
  EXPECT_EQ(stored_thumb.get(), handler->attribute().get());
}

}  // namespace
}  // namespace keldra_test
