// Contacts: entries by number, values and descriptions, and the phone and web
// address exchange with LocationInfo.
#include "support/PlaceFixture.h"

#include <keldra/Contact.h>
#include <keldra/ContactField.h>

#include <tervo/LocationInfo.h>

namespace keldra_test {
namespace {

using orva::LocationInfo;
using orva::ustring;
using orva::keldra::Contact;
using orva::keldra::ContactField;

Contact::Field entry(int number) { return static_cast<Contact::Field>(number); }

LocationInfo info_with(const char* phone, const char* web) {
  LocationInfo info;
  if (phone) info.set(LocationInfo::PHONE_NUMBER, ustring(phone));
  if (web) info.set(LocationInfo::WEB_ADDRESS, ustring(web));
  return info;
}

using ContactTest = PlaceTest;

TEST_F(ContactTest, FullContactTree) {
  Contact contact;
  const char* const names[] = {"phone", "fax", "mobile", "email", "web", "sip"};
  for (int number = 1; number <= 6; ++number) {
    ASSERT_EQ(0, contact.set_field_value(entry(number), ustring(names[number - 1])));
    ASSERT_EQ(0, contact.set_field_description(entry(number), ustring("d")));
  }
  ASSERT_EQ(0, contact.metadata().set_copyright(ustring("c")));
  EXPECT_EQ(
      ":contact[phone:contact_field(value=phone)[description:text(text=d)] "
      "fax:contact_field(value=fax)[description:text(text=d)] "
      "mobile:contact_field(value=mobile)[description:text(text=d)] "
      "email:contact_field(value=email)[description:text(text=d)] "
      "web:contact_field(value=web)[description:text(text=d)] "
      "sip:contact_field(value=sip)[description:text(text=d)] meta:metadata(copyright=c)]",
      tree(*contact.attribute()));

  // A copy is bound to a new tree with every child view following it.
  Contact copy(contact);
  for (int number = 1; number <= 6; ++number) {
    ustring value, description;
    EXPECT_TRUE(copy.get_field_value(entry(number), value));
    EXPECT_EQ(ustring(names[number - 1]), value);
    EXPECT_TRUE(copy.get_field_description(entry(number), description));
    EXPECT_EQ(ustring("d"), description);
    EXPECT_NE(contact.get_contact_field(entry(number))->attribute(),
              copy.get_contact_field(entry(number))->attribute());
  }
}

TEST_F(ContactTest, EntryNumbersOutsideTheRangeAreRefused) {
  Contact contact;
  for (int number : {0, 7, -3}) {
    SCOPED_TRACE(number);
    EXPECT_EQ(nullptr, contact.get_contact_field(entry(number)));
    EXPECT_EQ(ORVA_ERROR_INVALID_PARAMETERS, contact.set_field_value(entry(number), ustring("x")));
    EXPECT_EQ(ORVA_ERROR_INVALID_PARAMETERS,
              contact.set_field_description(entry(number), ustring("x")));
    ustring out("old");
    EXPECT_FALSE(contact.get_field_value(entry(number), out));
    EXPECT_EQ(ustring(), out);
    out = "old";
    EXPECT_FALSE(contact.get_field_description(entry(number), out));
    EXPECT_EQ(ustring(), out);
  }
  EXPECT_FALSE(contact.is_safe());
}

TEST_F(ContactTest, WritingOneEntryCreatesOnlyThatEntry) {
  Contact contact;
  ASSERT_EQ(0, contact.set_field_value(Contact::EMAIL, ustring("a@b.c")));
  EXPECT_EQ(":contact[email:contact_field(value=a@b.c)]", tree(*contact.attribute()));

  Contact described;
  ASSERT_EQ(0, described.set_field_description(Contact::PHONE, ustring("desk")));
  EXPECT_EQ(":contact[phone:contact_field[description:text(text=desk)]]",
            tree(*described.attribute()));
  ustring out("old");
  EXPECT_FALSE(described.get_field_value(Contact::PHONE, out));
  EXPECT_EQ(ustring(), out);
}

TEST_F(ContactTest, EntryValueOfAnotherTypeReadsAsPresentButEmpty) {
  ContactField field;
  ustring out("old");
  EXPECT_FALSE(field.get_value(out));
  EXPECT_EQ(ustring("old"), out);
  ASSERT_TRUE(field.init());
  field.attribute()->prepare_field("value")->set_value(5);
  EXPECT_TRUE(field.get_value(out));
  EXPECT_EQ(ustring("old"), out);
}

// Phone and web address each reach the contact only when the info carries them; a
// location without them keeps the place's stored ones.
TEST_F(ContactTest, InfoWritesOnlyTheKeysItHolds) {
  struct Case {
    const char* phone;
    const char* web;
    const char* want_phone;
    const char* want_web;
  };
  const Case cases[] = {
      {"+358 8 1", "http://new", "+358 8 1", "http://new"},
      {"+358 8 1", nullptr, "+358 8 1", "http://old"},
      {nullptr, "http://new", "555", "http://new"},
      {nullptr, nullptr, "555", "http://old"},
      {"", "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.phone ? c.phone : "-") + " " + (c.web ? c.web : "-"));
    Contact contact;
    ASSERT_EQ(0, contact.set_field_value(Contact::PHONE, ustring("555")));
    ASSERT_EQ(0, contact.set_field_value(Contact::WEB, ustring("http://old")));
    ASSERT_EQ(0, contact.set_location_info(info_with(c.phone, c.web)));
    ustring phone, web;
    EXPECT_TRUE(contact.get_field_value(Contact::PHONE, phone));
    EXPECT_TRUE(contact.get_field_value(Contact::WEB, web));
    EXPECT_EQ(ustring(c.want_phone), phone);
    EXPECT_EQ(ustring(c.want_web), web);
  }

  Contact untouched;
  EXPECT_EQ(0, untouched.set_location_info(LocationInfo()));
  EXPECT_FALSE(untouched.is_safe());
}

TEST_F(ContactTest, InfoRoundTripNeverWritesTheMobileEntry) {
  Contact contact;
  ASSERT_EQ(0, contact.set_location_info(info_with("123", "http://x")));
  EXPECT_EQ(
      ":contact[web:contact_field(value=http://x) phone:contact_field(value=123)]",
      tree(*contact.attribute()));
  LocationInfo info;
  EXPECT_TRUE(contact.get_location_info(info));
  EXPECT_TRUE(info == info_with("123", "http://x"));
}

TEST_F(ContactTest, ReadingInfoFallsBackToTheMobileNumber) {
  Contact contact;
  ASSERT_EQ(0, contact.set_field_value(Contact::MOBILE, ustring("040")));
  LocationInfo info;
  EXPECT_TRUE(contact.get_location_info(info));
  EXPECT_TRUE(info == info_with("040", ""));

  Contact both;
  ASSERT_EQ(0, both.set_field_value(Contact::MOBILE, ustring("040")));
  ASSERT_EQ(0, both.set_field_value(Contact::PHONE, ustring("08")));
  EXPECT_TRUE(both.get_location_info(info));
  EXPECT_TRUE(info == info_with("08", ""));

  Contact none;
  info = info_with("old", "old");
  EXPECT_FALSE(none.get_location_info(info));
  EXPECT_TRUE(info == info_with("", ""));
}

TEST_F(ContactTest, WritesThroughAChildThatCannotBeCreatedFail) {
  Contact parent;
  Contact orphan;
  orphan.set_parent(&parent);
  EXPECT_EQ(ORVA_ERROR_OUT_OF_MEMORY, orphan.set_location_info(info_with("1", "w")));
  EXPECT_EQ(ORVA_ERROR_OUT_OF_MEMORY, orphan.set_field_description(Contact::SIP, ustring("x")));
  EXPECT_FALSE(orphan.is_safe());
}

}  // namespace
}  // namespace keldra_test
