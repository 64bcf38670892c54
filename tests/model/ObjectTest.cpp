#include <keldra/Attribute.h>
#include <keldra/Object.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "ObjectTestSupport.h"

namespace {

using orva::SharedPointer;
using orva::keldra::Attribute;
using orva::keldra::Field;
using orva::keldra::Link;
using orva::keldra::Object;
using orva::keldra::ObjectBase;
using orva::keldra::ObjectPtr;
using orva::keldra::SharingModel;
using objects_test::ascii_name;
using objects_test::read_record;
using objects_test::record_hex;

class ObjectTest : public objects_test::PoolTest {};

// A place with a header, an attribute tree and one link.
ObjectPtr sample() {
  ObjectPtr object(new Object("location"));
  object->set_local_id(12);
  object->set_global_id(0x1122334455667788ULL);
  object->set_name(std::string("Caf\xC3\xA9"));
  object->set_owner(std::string("anna"));
  object->set_service(std::string("personal"));
  object->set_version(3);
  object->set_timestamp(1304677230123LL);
  object->set_sharing(orva::keldra::SHARING_PUBLIC_READ_WRITE);
  object->set_flags(Object::FLAG_LOCAL_CHANGES, true);
  SharedPointer<Attribute> address(new Attribute("address", "address"));
  Field street(std::string("Main"));
  street.set_name(std::string("street"));
  address->get_fields().push_back(street);
  SharedPointer<Attribute> meta(new Attribute("meta", "metadata"));
  meta->get_fields().push_back(Field(4.5f));
  address->get_attributes().push_back(meta);
  object->get_attributes().push_back(address);
  Link link(ObjectBase(5, 50));
  link.set_name(std::string("item"));
  object->get_links().push_back(link);
  return object;
}

TEST_F(ObjectTest, NewObjectIsOnlyMarkedModified) {
  Object object;
  EXPECT_TRUE(object.is_modified());
  EXPECT_EQ(0u, object.get_flags());
  EXPECT_EQ(0u, object.get_local_id());
  EXPECT_EQ(0ull, object.get_global_id());
  EXPECT_EQ(0u, object.get_version());
  EXPECT_EQ(0, object.get_timestamp());
  EXPECT_EQ(orva::keldra::SHARING_PRIVATE, object.get_sharing());
  object.set_modified(false);
  EXPECT_FALSE(object.is_modified());
  // A new object writes flags 0x400000 and an empty link list.
  EXPECT_EQ("00000000" "0000000000000000" "00000000" "00000000" "00000000" "00000000"
            "00000000" "0000000000000000" "00004000" "00000000" "00000000",
            record_hex(Object()));
}

TEST_F(ObjectTest, FlagsWord) {
  Object object;
  object.set_flags(Object::FLAG_LOCAL_CHANGES | Object::FLAG_LINKED_LOCAL_CHANGES |
                       Object::FLAG_STATE_3 | Object::FLAG_NO_SYNC | Object::FLAG_PARTIAL,
                   true);
  object.set_sharing(orva::keldra::SHARING_PUBLIC_READ_WRITE);
  EXPECT_EQ(0x13u, object.get_flags());
  EXPECT_TRUE(object.has_local_changes());
  EXPECT_TRUE(object.has_linked_local_changes());
  EXPECT_FALSE(object.has_local_only_content());
  EXPECT_FALSE(object.has_remote_only_content());
  EXPECT_TRUE(object.is_no_sync());
  EXPECT_TRUE(object.is_partial());
  EXPECT_EQ(orva::keldra::SHARING_PUBLIC_READ_WRITE, object.get_sharing());

  object.reset();
  EXPECT_EQ(0x1u, object.get_flags());
  EXPECT_FALSE(object.is_no_sync());
  EXPECT_EQ(orva::keldra::SHARING_PRIVATE, object.get_sharing());
  EXPECT_TRUE(object.is_modified());
  EXPECT_EQ("01004000", record_hex(object).substr(2 * 40, 8));  // bit 0 and bit 22

  Object clean;
  clean.set_flags(Object::FLAG_NO_SYNC, true);
  clean.reset();
  EXPECT_EQ("00004000", record_hex(clean).substr(2 * 40, 8));

  // The sharing model keeps only its low four bits.
  clean.set_sharing(static_cast<SharingModel>(0x15));
  EXPECT_EQ(5, clean.get_sharing());
  EXPECT_EQ(0u, clean.get_flags());
}

TEST_F(ObjectTest, WhichChangesMarkTheObject) {
  struct Case {
    const char* what;
    std::function<void(Object&)> change;
    bool marks;
  } cases[] = {
      {"new name", [](Object& o) { o.set_name(std::string("other")); }, true},
      {"same name", [](Object& o) { o.set_name(std::string("n")); }, false},
      {"same name by handle", [](Object& o) { o.set_name(o.get_name_handle()); }, false},
      {"class name", [](Object& o) { o.set_class_name(std::string("route")); }, true},
      {"owner", [](Object& o) { o.set_owner(std::string("bob")); }, true},
      {"service", [](Object& o) { o.set_service(std::string("other")); }, true},
      {"version change", [](Object& o) { o.set_version(2); }, true},
      {"same version", [](Object& o) { o.set_version(1); }, false},
      {"timestamp", [](Object& o) { o.set_timestamp(99); }, false},
      {"partial", [](Object& o) { o.set_partial(true); }, false},
      {"no-sync on", [](Object& o) { o.set_no_sync(true); }, true},
      {"no-sync already off", [](Object& o) { o.set_no_sync(false); }, false},
      {"sharing 4 on a private object",
       [](Object& o) { o.set_sharing(orva::keldra::SHARING_PRIVATE_PERMANENT); }, true},
      {"sharing 0 on a private object",
       [](Object& o) { o.set_sharing(orva::keldra::SHARING_PRIVATE); }, false},
      {"flags without bit 22", [](Object& o) { o.set_flags(0xFF, true); }, false},
      {"flags with bit 22", [](Object& o) { o.set_flags(Object::FLAG_MODIFIED, true); }, true},
      {"attribute added",
       [](Object& o) {
         o.get_attributes().push_back(SharedPointer<Attribute>(new Attribute("c")));
       },
       true},
      {"link list made", [](Object& o) { o.get_links(); }, true},
      {"const link access", [](Object& o) { static_cast<const Object&>(o).get_links(); }, false},
      {"clear", [](Object& o) { o.clear(); }, true},
  };
  for (const Case& c : cases) {
    Object object("location");
    object.set_name(std::string("n"));
    object.set_version(1);
    object.set_modified(false);
    c.change(object);
    EXPECT_EQ(c.marks, object.is_modified()) << c.what;
  }
}

TEST_F(ObjectTest, ClearingTheMarkClearsTheWholeTree) {
  ObjectPtr object = sample();
  object->get_attributes()[0]->get_attributes()[0]->get_fields()[0].set_value(1.0f);
  object->get_links()[0].set_local_link(6);
  object->set_modified(false);
  EXPECT_FALSE(object->is_modified());
  EXPECT_FALSE(object->get_links()[0].is_modified());
  object->get_attributes()[0]->get_attributes()[0]->get_fields()[0].set_value(2.0f);
  EXPECT_TRUE(object->is_modified());
  object->set_modified(false);
  object->get_links()[0].set_global_link(1);
  EXPECT_TRUE(object->is_modified());
}

TEST_F(ObjectTest, OwnerIsCutBeforeTheFirstDoublePercent) {
  struct Case {
    std::string text;
    std::string owner;
  } cases[] = {
      {"anna%%device%%x", "anna"},
      {"%%anna", ""},
      {"an%na", "an%na"},
      {ascii_name(100), ascii_name(100)},  // no length limit
  };
  for (const Case& c : cases) {
    Object object;
    object.set_owner(c.text);
    EXPECT_EQ(c.owner, object.get_owner()) << c.text;
  }
}

TEST_F(ObjectTest, SystemObjectsAreNamedWithThePrefix) {
  struct Case {
    const char* name;
    bool system;
  } cases[] = {{"sys.keldra.config", true}, {"sys.", true}, {"my sys.x", false},
               {"SYS.keldra.config", false}, {"sys", false}, {"", false}};
  for (const Case& c : cases) {
    Object object;
    object.set_name(std::string(c.name));
    EXPECT_EQ(c.system, object.is_system()) << c.name;
  }
}

TEST_F(ObjectTest, HasValueFromLinksOrAttributes) {
  Object object;
  EXPECT_FALSE(object.has_value());
  object.get_links().push_back(Link());
  object.get_attributes().push_back(SharedPointer<Attribute>(new Attribute("c")));
  EXPECT_FALSE(object.has_value());
  object.get_attributes()[0]->get_fields().push_back(Field(1));
  EXPECT_TRUE(object.has_value());
  object.get_attributes().erase(0);
  object.get_links().push_back(Link(3));
  EXPECT_TRUE(object.has_value());
}

TEST_F(ObjectTest, AssignmentCopiesDeeplyAndMarks) {
  ObjectPtr source = sample();
  source->set_modified(false);
  Object copy;
  copy = *source;
  EXPECT_TRUE(copy.is_modified());
  EXPECT_EQ(record_hex(*source).substr(0, 2 * 44), record_hex(copy).substr(0, 2 * 44));
  EXPECT_NE(source->get_attributes()[0].get(), copy.get_attributes()[0].get());
  EXPECT_TRUE(copy.get_links()[0] == source->get_links()[0]);
  EXPECT_TRUE(copy.get_links()[0].is_modified());

  // The copy's flags word is the source's plus the modified bit.
  source->set_modified(true);
  EXPECT_EQ(record_hex(*source), record_hex(copy));
  Object constructed(*source);
  EXPECT_EQ(record_hex(*source), record_hex(constructed));

  // Self-assignment leaves even the mark alone.
  source->set_modified(false);
  *source = *source;
  EXPECT_FALSE(source->is_modified());

  // No link list in the source: none in the copy.
  Object plain("c");
  Object plain_copy(plain);
  EXPECT_EQ(&static_cast<const Object&>(plain).get_links(),
            &static_cast<const Object&>(plain_copy).get_links());
}

TEST_F(ObjectTest, RecordRoundTrip) {
  ObjectPtr object = sample();
  const std::string hex = record_hex(*object);
  // Header layout: ids, four strings, version, timestamp, flags.
  EXPECT_EQ("0C000000" "8877665544332211" "05000000" "436166C3A9" "08000000" "6C6F636174696F6E"
            "04000000" "616E6E61" "08000000" "706572736F6E616C" "03000000" "2BA6D2C42F010000"
            "01004200",
            hex.substr(0, 2 * 69));
  Object back;
  ASSERT_TRUE(read_record(back, hex));
  EXPECT_EQ(hex, record_hex(back));
  EXPECT_EQ("anna", back.get_owner());
  EXPECT_EQ(0x1u, back.get_flags());
  EXPECT_EQ(orva::keldra::SHARING_PUBLIC_READ_WRITE, back.get_sharing());

  // The flags word is restored exactly: a stored word without bit 22 reads unmarked
  // at the header level.
  object->set_modified(false);
  Object unmarked;
  ASSERT_TRUE(read_record(unmarked, record_hex(*object)));
  EXPECT_EQ(record_hex(*object), record_hex(unmarked));
}

TEST_F(ObjectTest, ObjectWithoutLinksReadsBackWithoutAList) {
  Object object("c");
  Object back;
  back.get_links().push_back(Link(1));
  ASSERT_TRUE(read_record(back, record_hex(object)));
  const Object& view = back;
  EXPECT_EQ(&static_cast<const Object&>(object).get_links(), &view.get_links());
}

TEST_F(ObjectTest, RecordTextsGoThroughTheSetters) {
  Object object;
  object.set_owner(std::string("owner%%device"));  // stored cut already
  const std::string hex = record_hex(object);
  // A record holding a long name and an owner with "%%" written by another writer.
  std::string name_hex;
  for (char c : ascii_name(70)) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned char>(c));
    name_hex += digits;
  }
  const std::string raw = "00000000" "0000000000000000" "46000000" + name_hex + "00000000" +
                          "07000000" "612525623F3F3F" + "00000000" + "00000000" +
                          "0000000000000000" + "00000000" + "00000000" + "00000000";
  Object back;
  ASSERT_TRUE(read_record(back, raw));
  EXPECT_EQ(ascii_name(64), back.get_name());
  EXPECT_EQ("a", back.get_owner());
  // The stored flags word replaces the marks the setters made.
  EXPECT_EQ("00000000", record_hex(back).substr(2 * (12 + 4 + 64 + 4 + 4 + 1 + 4 + 4 + 8), 8));
}

TEST_F(ObjectTest, TruncatedRecordsFail) {
  const std::string hex = record_hex(*sample());
  for (size_t bytes = 0; bytes < hex.size() / 2; ++bytes) {
    Object back;
    EXPECT_FALSE(read_record(back, hex.substr(0, 2 * bytes))) << bytes << " bytes";
  }
}

}  // namespace
