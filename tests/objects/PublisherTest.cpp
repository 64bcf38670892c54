// Publisher objects (metadata and contact sections) and references (an object id and
// its service as text fields of an attribute).
#include "support/PlaceFixture.h"

#include <keldra/Attribute.h>
#include <keldra/Contact.h>
#include <keldra/Field.h>
#include <keldra/Object.h>
#include <keldra/PublisherObject.h>
#include <keldra/Reference.h>

#include <string>

namespace keldra_test {
namespace {

using orva::SharedPointer;
using orva::ustring;
using orva::keldra::Attribute;
using orva::keldra::Contact;
using orva::keldra::Object;
using orva::keldra::PublisherObject;
using orva::keldra::Reference;

using PublisherTest = PlaceTest;

TEST_F(PublisherTest, FirstWritesCreateThePublisherAndItsSections) {
  PublisherObject publisher;
  ustring phone;
  EXPECT_FALSE(publisher.contact().get_field_value(Contact::PHONE, phone));
  EXPECT_FALSE(publisher.is_safe());

  ASSERT_EQ(0, publisher.contact().set_field_value(Contact::PHONE, ustring("123")));
  ASSERT_TRUE(publisher.is_safe());
  EXPECT_EQ("publisher", publisher.object()->get_class_name());
  EXPECT_EQ("contact:contact[phone:contact_field(value=123)]",
            tree(publisher.object()->get_attributes()));

  ASSERT_EQ(0, publisher.metadata().set_copyright(ustring("c")));
  EXPECT_EQ("contact:contact[phone:contact_field(value=123)] meta:metadata(copyright=c)",
            tree(publisher.object()->get_attributes()));
}

TEST_F(PublisherTest, BindingFindsTheSectionsWhateverTheOrder) {
  SharedPointer<Object> stored(new Object("publisher"));
  SharedPointer<Attribute> wrong_class(new Attribute("meta", "text"));
  SharedPointer<Attribute> contact(new Attribute("contact", "contact"));
  SharedPointer<Attribute> meta(new Attribute("meta", "metadata"));
  stored->get_attributes().push_back(wrong_class);
  stored->get_attributes().push_back(contact);
  stored->get_attributes().push_back(meta);

  PublisherObject publisher;
  publisher.attach(stored);
  EXPECT_EQ(contact.get(), publisher.contact().attribute().get());
  EXPECT_EQ(meta.get(), publisher.metadata().attribute().get());
}

TEST_F(PublisherTest, CopiesAreIndependentPublishers) {
  PublisherObject source;
  ASSERT_EQ(0, source.contact().set_field_value(Contact::WEB, ustring("a.example")));

  PublisherObject copy(source);
  ASSERT_TRUE(copy.is_safe());
  EXPECT_NE(source.object().get(), copy.object().get());
  EXPECT_EQ("publisher", copy.object()->get_class_name());
  ASSERT_EQ(0, copy.contact().set_field_value(Contact::WEB, ustring("b.example")));

  ustring web;
  ASSERT_TRUE(source.contact().get_field_value(Contact::WEB, web));
  EXPECT_EQ(ustring("a.example"), web);

  PublisherObject assigned;
  assigned = copy;
  ASSERT_TRUE(assigned.contact().get_field_value(Contact::WEB, web));
  EXPECT_EQ(ustring("b.example"), web);
  EXPECT_EQ("publisher", assigned.object()->get_class_name());
}

TEST_F(PublisherTest, ReferenceKeepsOneFieldPerValue) {
  Reference reference;
  EXPECT_EQ("", reference.get_name());
  EXPECT_EQ("", reference.get_class_name());
  EXPECT_EQ(0u, reference.get_fields().size());
  EXPECT_TRUE(reference.is_modified());

  reference.set_object_id("first");
  reference.set_service("personal");
  reference.set_object_id("second");
  EXPECT_EQ(":(uri=second,service=personal)", tree(reference));
  for (const orva::keldra::Field& field : reference.get_fields()) {
    EXPECT_EQ(orva::keldra::Field::TYPE_USTRING, field.get_type());
  }

  std::string id, service;
  reference.get_object_id(id);
  reference.get_service(service);
  EXPECT_EQ("second", id);
  EXPECT_EQ("personal", service);
}

TEST_F(PublisherTest, ReferenceGettersLeaveTheArgumentWithoutAField) {
  Reference reference;
  reference.set_object_id("id");
  std::string service = "kept";
  reference.get_service(service);
  EXPECT_EQ("kept", service);

  Reference empty;
  std::string id = "kept";
  empty.get_object_id(id);
  EXPECT_EQ("kept", id);
}

}  // namespace
}  // namespace keldra_test
