// The users object and its entries: ids cut like every attribute name, display names
// and edited marks, entries found by exact id, replaced in place or appended, and
// detached copies.
#include "support/PlaceFixture.h"
#include "support/UserEntry.h"

#include "sysobjects/UsersObject.h"

#include <keldra/Attribute.h>
#include <keldra/Field.h>
#include <keldra/Object.h>
#include <keldra/UserInfo.h>

#include <tervo/ustring.h>

#include <string>
#include <vector>

namespace keldra_test {
namespace {

using orva::SharedPointer;
using orva::ustring;
using orva::keldra::Attribute;
using orva::keldra::Object;
using orva::keldra::UserInfo;
using orva::keldra::internal::UsersObject;

// A users object as the server sends it: entries among other attributes.
SharedPointer<Object> received_users() {
  SharedPointer<Object> object(new Object("sys_users"));
  object->set_owner(std::string("anna"));
  object->get_attributes().push_back(user_entry("anna", "Anna").attribute());
  object->get_attributes().push_back(make_attribute("note", "other"));
  object->get_attributes().push_back(user_entry("bert", "Bert").attribute());
  object->get_attributes().push_back(user_entry("", nullptr).attribute());
  return object;
}

std::string display_name(const UserInfo& info) {
  ustring name("none");
  info.get_display_name(name);
  return name.to_utf8();
}

using UsersObjectTest = PlaceTest;

TEST_F(UsersObjectTest, EntryFieldsAndMarks) {
  UserInfo info;
  EXPECT_EQ("", info.id());
  EXPECT_FALSE(info.is_modified());
  ustring name("kept");
  EXPECT_FALSE(info.get_display_name(name));
  info.set_modified(false);
  EXPECT_FALSE(info.is_safe());

  ASSERT_EQ(0, info.set_display_name(ustring("Anna Ö")));
  ASSERT_TRUE(info.is_safe());
  info.set_modified(true);
  ASSERT_EQ(0, info.set_id("anna"));
  EXPECT_EQ("anna:user(display_name=Anna Ö,edited=1)", tree(*info.attribute()));
  EXPECT_TRUE(info.is_modified());
  EXPECT_EQ("Anna Ö", display_name(info));

  info.set_modified(false);
  EXPECT_FALSE(info.is_modified());
  EXPECT_EQ("anna:user(display_name=Anna Ö)", tree(*info.attribute()));

  // Marks only as the unsigned value 1; a display name of another type is found but
  // not read.
  struct Case {
    const char* label;
    orva::keldra::Field field;
    bool modified;
  };
  const Case cases[] = {
      {"uint32 1", orva::keldra::Field(1u), true},
      {"uint32 2", orva::keldra::Field(2u), false},
      {"uint64 1", orva::keldra::Field(1ull), false},
      {"int32 1", orva::keldra::Field(1), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    UserInfo marked = user_entry("x", nullptr);
    orva::keldra::Field* edited = marked.attribute()->prepare_field(std::string("edited"));
    *edited = c.field;
    edited->set_name(std::string("edited"));
    EXPECT_EQ(c.modified, marked.is_modified());
  }
  UserInfo typed = user_entry("x", nullptr);
  typed.attribute()->prepare_field(std::string("display_name"))->set_value(5u);
  name = ustring("kept");
  EXPECT_TRUE(typed.get_display_name(name));
  EXPECT_EQ("kept", name.to_utf8());
}

TEST_F(UsersObjectTest, IdsKeepTheirFirst64Bytes) {
  const std::string long_id(70, 'u');
  UserInfo info = user_entry(long_id, "Long");
  EXPECT_EQ(std::string(64, 'u'), info.id());

  UsersObject users;
  ASSERT_EQ(0, users.set_user_info(info));
  EXPECT_FALSE(users.find_user_info(long_id).is_valid());
  ASSERT_TRUE(users.find_user_info(std::string(64, 'u')).is_valid());
  EXPECT_FALSE(users.find_user_info(std::string(63, 'u')).is_valid());
}

TEST_F(UsersObjectTest, ReceivedEntriesAreListedInOrder) {
  UsersObject users;
  ASSERT_EQ(0, users.attach(received_users()));
  EXPECT_EQ(3u, users.count());
  EXPECT_EQ("anna", users.get_owner());

  std::vector<std::string> ids{"before"};
  users.get_all_users(ids);
  users.get_all_users(ids);
  EXPECT_EQ((std::vector<std::string>{"before", "anna", "bert", "", "anna", "bert", ""}), ids);

  std::vector<SharedPointer<UserInfo> > infos(5);
  users.get_all_users_info(infos);
  ASSERT_EQ(3u, infos.size());
  EXPECT_EQ("Bert", display_name(*infos[1]));
  // Bound to the object's own attributes.
  EXPECT_EQ(users.object()->get_attributes()[2].get(), infos[1]->attribute().get());

  SharedPointer<UserInfo> bert = users.find_user_info("bert");
  ASSERT_TRUE(bert.is_valid());
  EXPECT_EQ(infos[1]->attribute().get(), bert->attribute().get());
  EXPECT_TRUE(users.get_user_info("").is_valid());
  EXPECT_FALSE(users.get_user_info("Bert").is_valid());
  EXPECT_FALSE(users.get_user_info("ber").is_valid());
}

TEST_F(UsersObjectTest, SetUserInfoReplacesInPlaceOrAppends) {
  UsersObject users;
  ASSERT_EQ(0, users.attach(received_users()));

  UserInfo changed = user_entry("bert", "Bertram");
  changed.set_modified(true);
  ASSERT_EQ(0, users.set_user_info(changed));
  ASSERT_EQ(0, users.set_user_info(user_entry("carl", "Carl")));
  EXPECT_EQ(
      "anna:user(display_name=Anna) note:other bert:user(display_name=Bertram,edited=1) :user "
      "carl:user(display_name=Carl)",
      tree(users.object()->get_attributes()));
  EXPECT_EQ(4u, users.count());

  // The object holds copies: the caller's views change nothing stored.
  changed.set_modified(false);
  EXPECT_TRUE(users.find_user_info("bert")->is_modified());

  // An entry given back to its own object changes nothing.
  ASSERT_EQ(0, users.set_user_info(*users.find_user_info("anna")));
  EXPECT_EQ("Anna", display_name(*users.find_user_info("anna")));

  EXPECT_EQ(2, users.set_user_info(UserInfo()));
  EXPECT_EQ(4u, users.count());
}

TEST_F(UsersObjectTest, UnboundViewCreatesTheObjectOnTheFirstEntry) {
  UsersObject users;
  std::vector<std::string> ids;
  users.get_all_users(ids);
  EXPECT_TRUE(ids.empty());
  EXPECT_FALSE(users.find_user_info("").is_valid());
  EXPECT_FALSE(users.is_safe());

  ASSERT_EQ(0, users.set_user_info(user_entry("anna", "Anna")));
  ASSERT_TRUE(users.is_safe());
  EXPECT_EQ(996u, users.object()->get_global_id());
  EXPECT_EQ("sys.keldra.users", users.get_name());
  EXPECT_EQ("anna:user(display_name=Anna)", tree(users.object()->get_attributes()));
}

TEST_F(UsersObjectTest, CopiesAreDetached) {
  UsersObject users;
  ASSERT_EQ(0, users.attach(received_users()));

  // An entry copy owns its attribute and id.
  SharedPointer<UserInfo> anna = users.find_user_info("anna");
  UserInfo copy(*anna);
  EXPECT_NE(anna->attribute().get(), copy.attribute().get());
  EXPECT_EQ("anna", copy.id());
  ASSERT_EQ(0, copy.set_display_name(ustring("Changed")));
  EXPECT_EQ("Anna", display_name(*anna));
  EXPECT_FALSE(UserInfo(UserInfo()).is_safe());

  // Assignment keeps a non-empty id; an unnamed root view takes the other's.
  UserInfo named = user_entry("zed", "Zed");
  named = copy;
  EXPECT_EQ("zed", named.id());
  EXPECT_EQ("Changed", display_name(named));
  UserInfo unnamed;
  unnamed = copy;
  EXPECT_EQ("anna", unnamed.id());

  // A users-object copy has its own object and reads its entries from it.
  UsersObject users_copy(users);
  EXPECT_NE(users.object().get(), users_copy.object().get());
  EXPECT_EQ(3u, users_copy.count());
  ASSERT_EQ(0, users_copy.set_user_info(user_entry("dora", "Dora")));
  EXPECT_EQ(3u, users.count());
  UsersObject assigned;
  assigned = users_copy;
  EXPECT_EQ(4u, assigned.count());
  EXPECT_EQ("sys_users", assigned.object()->get_class_name());
}

TEST_F(UsersObjectTest, EntryViewRefusesAnotherClass) {
  UserInfo info;
  EXPECT_EQ(3, info.attach(make_attribute("anna", "other")));
  EXPECT_FALSE(info.is_safe());
  EXPECT_EQ(0, info.attach(make_attribute("anna", "user")));
  EXPECT_EQ("anna", info.id());
}

}  // namespace
}  // namespace keldra_test
