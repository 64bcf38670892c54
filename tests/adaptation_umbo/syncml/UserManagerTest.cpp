// The user manager on the real file: reads of the stored users object (or of none),
// edited entries written in one transaction through the sync side with their event
// after the commit, the per-account object the sync sends, the server's users object
// stored by its ids, and foreign objects under the users' global id refused with 3.
#include "SyncSideFixture.h"

#include "support/AttributeTree.h"
#include "support/PlaceFixture.h"
#include "support/UserEntry.h"

#include "adaptation_umbo/syncml/UserManagerImpl.h"

#include <keldra/RepositoryEvent.h>
#include <keldra/SyncAdapter.h>
#include <keldra/UserInfo.h>
#include <keldra/UserManager.h>
#include <tervo/ustring.h>

#include <string>
#include <vector>

namespace keldra_test {
namespace {

using orva::SharedPointer;
using orva::ustring;
using orva::keldra::DataAdapter;
using orva::keldra::Object;
using orva::keldra::ObjectPtr;
using orva::keldra::RepositoryEvent;
using orva::keldra::UserInfo;
using orva::keldra::UserManager;
using orva::keldra::internal::UserManagerImpl;

const unsigned long long kUsersGid = 996;
const unsigned int kUsersLid = 0x7FFFFFFC;

// The users object as the server sends it: owner "anna", two unedited entries and an
// attribute of another class.
ObjectPtr server_users(unsigned int local_id = 0) {
  ObjectPtr object(new Object("sys_users"));
  object->set_name(std::string("sys.keldra.users"));
  object->set_global_id(kUsersGid);
  object->set_local_id(local_id);
  object->set_owner(std::string("anna"));
  object->get_attributes().push_back(user_entry("anna", "Anna").attribute());
  object->get_attributes().push_back(make_attribute("note", "other"));
  object->get_attributes().push_back(user_entry("bert", "Bert").attribute());
  return object;
}

std::string display_name(const UserInfo& info) {
  ustring name("none");
  info.get_display_name(name);
  return name.to_utf8();
}

// The public manager comes from the store; the sync side's operations from a manager
// implementation over the same adapter.
class UserManagerTest : public SyncSideTest {
 protected:
  void SetUp() override {
    SyncSideTest::SetUp();
    impl_ = new UserManagerImpl(adapter_);
    manager_ = store_->get_user_manager();
    ASSERT_TRUE(manager_.is_valid());
  }
  void TearDown() override {
    manager_.release();
    impl_.release();
    SyncSideTest::TearDown();
  }

  // The stored users object's attributes as a picture; "none" when nothing is stored.
  std::string stored() const {
    Object object;
    if (store_->get_global_object(kUsersGid, object) != 0) return "none";
    return tree(object.get_attributes());
  }
  unsigned int stored_lid() const { return store_->get_object_local_id(kUsersGid); }
  // Stores the server's users object and forgets its event.
  void receive_server_users() {
    ASSERT_EQ(0, impl_->handle_users_object_received(server_users()));
    settle_bus();
    observer_.batches.clear();
  }

  SharedPointer<UserManagerImpl> impl_;
  SharedPointer<UserManager> manager_;
};

const char kServerTree[] = "anna:user(display_name=Anna) note:other bert:user(display_name=Bert)";

TEST_F(UserManagerTest, NothingStoredReadsAsAnEmptyUsersObject) {
  std::vector<std::string> ids{"kept"};
  EXPECT_EQ(0, manager_->get_all_users(ids));
  EXPECT_EQ(std::vector<std::string>{"kept"}, ids);
  EXPECT_EQ("", manager_->get_current_user());
  SharedPointer<UserInfo> info(new UserInfo(user_entry("old", "Old")));
  SharedPointer<UserInfo> before = info;
  EXPECT_EQ(8, manager_->get_user_info("x", info));
  EXPECT_EQ(8, manager_->get_user_info("", info));
  EXPECT_TRUE(info == before);
  std::vector<SharedPointer<UserInfo>> infos{info};
  EXPECT_EQ(0, manager_->get_all_users_info(infos));
  EXPECT_TRUE(infos.empty());

  // Reading made nothing: the fresh object was not stored.
  EXPECT_EQ("none", stored());
  settle_bus();
  EXPECT_TRUE(observer_.batches.empty());
}

// Each case starts from the server's users object (owner "anna") and sets one entry.
TEST_F(UserManagerTest, SetUserInfoStoresAnEditedCopyInOneTransaction) {
  const std::string long_id(70, 'x');
  struct Case {
    const char* label;
    std::string id;
    const char* name;
    std::string expected;
  } cases[] = {
      {"new id appended", "carl", "Carl",
       std::string(kServerTree) + " carl:user(display_name=Carl,edited=1)"},
      {"existing id replaced in place", "bert", "Bert B",
       "anna:user(display_name=Anna) note:other bert:user(display_name=Bert B,edited=1)"},
      {"empty id is the owner", "", "Me",
       "anna:user(display_name=Me,edited=1) note:other bert:user(display_name=Bert)"},
      {"id cut to 64 characters", long_id, "Long",
       std::string(kServerTree) + " " + long_id.substr(0, 64) +
           ":user(display_name=Long,edited=1)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    receive_server_users();
    ASSERT_EQ(kServerTree, stored());
    const unsigned int lid = stored_lid();
    ASSERT_NE(0u, lid);

    UserInfo info;
    if (!c.id.empty()) {
      ASSERT_EQ(0, info.set_id(c.id));
    }
    ASSERT_EQ(0, info.set_display_name(ustring(c.name)));
    EXPECT_EQ(0, manager_->set_user_info(info));
    EXPECT_FALSE(info.is_modified()) << "the caller's view is not marked";
    EXPECT_FALSE(store_->is_in_transaction());
    EXPECT_EQ(c.expected, stored());
    EXPECT_EQ(lid, stored_lid()) << "written over the stored object";
    settle_bus();
    EXPECT_EQ((Batches{{RepositoryEvent(2, static_cast<int>(lid))}}), observer_.batches);
  }

  // The cut id is the key from then on: the full text finds nothing.
  SharedPointer<UserInfo> found;
  EXPECT_EQ(8, manager_->get_user_info(long_id, found));
  ASSERT_EQ(0, manager_->get_user_info(long_id.substr(0, 64), found));
  EXPECT_EQ("Long", display_name(*found));
}

TEST_F(UserManagerTest, FirstSetCreatesTheUsersObject) {
  ASSERT_EQ(0, manager_->set_user_info(user_entry("zoe", "Zoe")));
  EXPECT_EQ("zoe:user(display_name=Zoe,edited=1)", stored());
  Object object;
  ASSERT_EQ(0, store_->get_global_object(kUsersGid, object));
  EXPECT_EQ("sys_users", object.get_class_name());
  EXPECT_EQ("sys.keldra.users", object.get_name());
  EXPECT_TRUE(object.is_no_sync());
  EXPECT_NE(kUsersLid, object.get_local_id()) << "a stored object has the database's id";
  settle_bus();
  EXPECT_EQ((Batches{{RepositoryEvent(1, static_cast<int>(object.get_local_id()))}}),
            observer_.batches);
}

TEST_F(UserManagerTest, ReadsHandOutDetachedCopies) {
  receive_server_users();
  EXPECT_EQ("anna", manager_->get_current_user());

  std::vector<std::string> ids;
  ASSERT_EQ(0, manager_->get_all_users(ids));
  ASSERT_EQ(0, manager_->get_all_users(ids));
  EXPECT_EQ((std::vector<std::string>{"anna", "bert", "anna", "bert"}), ids);

  SharedPointer<UserInfo> me;
  ASSERT_EQ(0, manager_->get_user_info("", me));
  EXPECT_EQ("anna", me->id());
  EXPECT_FALSE(me->is_modified());
  ASSERT_EQ(0, me->set_display_name(ustring("Changed")));
  std::vector<SharedPointer<UserInfo>> infos;
  ASSERT_EQ(0, manager_->get_all_users_info(infos));
  ASSERT_EQ(2u, infos.size());
  ASSERT_EQ(0, infos[1]->set_display_name(ustring("Changed too")));
  EXPECT_EQ(kServerTree, stored()) << "copies change nothing stored";

  // Given back, the copy is stored with its mark.
  ASSERT_EQ(0, manager_->set_user_info(*me));
  EXPECT_EQ("anna:user(display_name=Changed,edited=1) note:other bert:user(display_name=Bert)",
            stored());
}

// What the sync sends for an account: that entry alone, no "edited" field, modified
// exactly when the entry was edited.
TEST_F(UserManagerTest, UserObjectForAnAccount) {
  receive_server_users();
  ASSERT_EQ(0, manager_->set_user_info(user_entry("bert", "Bert B")));
  const std::string before = stored();

  struct Case {
    const char* account;
    std::string expected;  // the object's attributes; "" for an empty object
    bool modified;
  } cases[] = {
      {"bert", "bert:user(display_name=Bert B)", true},
      {"anna", "anna:user(display_name=Anna)", false},
      {"nobody", "", false},
      {"", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.account);
    Object object("location");
    object.get_attributes().push_back(make_attribute("left", "over"));
    ASSERT_EQ(0, impl_->get_user_object(c.account, object));
    EXPECT_EQ(c.expected, tree(object.get_attributes()));
    if (c.expected.empty()) {
      EXPECT_EQ("", object.get_class_name());
      EXPECT_TRUE(log_->has("UserManagerImpl::get_user_object: no info found for account '" +
                            std::string(c.account) + "'"));
    } else {
      EXPECT_EQ(c.modified, object.is_modified());
      EXPECT_EQ("sys_users", object.get_class_name());
      EXPECT_EQ(kUsersGid, object.get_global_id());
      EXPECT_EQ(kUsersLid, object.get_local_id());
      EXPECT_TRUE(object.is_no_sync());
    }
  }
  EXPECT_EQ(before, stored()) << "the stored marks stay until the server answers";
}

// The server's users object replaces the stored one: by local id when it carries a
// stored one, else by its global id.
TEST_F(UserManagerTest, ReceivedUsersObjectIsStoredInPlace) {
  ASSERT_EQ(0, manager_->set_user_info(user_entry("zoe", "Zoe")));
  const unsigned int lid = stored_lid();
  struct Case {
    const char* label;
    unsigned int local_id;
  } cases[] = {{"no local id", 0}, {"reserved local id", kUsersLid}, {"stored local id", lid}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    settle_bus();
    observer_.batches.clear();
    ObjectPtr received = server_users(c.local_id);
    received->get_attributes().push_back(user_entry(c.label, nullptr).attribute());
    received->set_no_sync(false);
    ASSERT_EQ(0, impl_->handle_users_object_received(received));
    EXPECT_EQ(std::string(kServerTree) + " " + c.label + ":user", stored());
    EXPECT_EQ(lid, stored_lid());
    Object object;
    ASSERT_EQ(0, store_->get_global_object(kUsersGid, object));
    EXPECT_TRUE(object.is_no_sync());
    EXPECT_EQ("anna", object.get_owner());
    settle_bus();
    EXPECT_EQ((Batches{{RepositoryEvent(2, static_cast<int>(lid))}}), observer_.batches);
  }
}

// A users object of another class can only come from the server. Receiving one is
// refused; one stored earlier makes every read fail with 3 instead of binding it.
TEST_F(UserManagerTest, ForeignObjectUnderTheUsersIdIsRefused) {
  ObjectPtr foreign(new Object("config"));
  foreign->set_global_id(kUsersGid);
  foreign->get_attributes().push_back(user_entry("eve", "Eve").attribute());
  EXPECT_EQ(3, impl_->handle_users_object_received(foreign));
  EXPECT_EQ(3, impl_->handle_users_object_received(ObjectPtr()));
  EXPECT_EQ("none", stored());

  ASSERT_EQ(0, sync_->add_object(*foreign));
  const std::string before = stored();
  settle_bus();
  observer_.batches.clear();

  std::vector<std::string> ids;
  EXPECT_EQ(3, manager_->get_all_users(ids));
  EXPECT_TRUE(ids.empty());
  EXPECT_EQ("", manager_->get_current_user());
  SharedPointer<UserInfo> info;
  EXPECT_EQ(3, manager_->get_user_info("eve", info));
  EXPECT_FALSE(info.is_valid());
  std::vector<SharedPointer<UserInfo>> infos;
  EXPECT_EQ(3, manager_->get_all_users_info(infos));
  Object object;
  EXPECT_EQ(3, impl_->get_user_object("eve", object));
  EXPECT_EQ(3, manager_->set_user_info(user_entry("eve", "Eve")));
  EXPECT_FALSE(store_->is_in_transaction());
  EXPECT_EQ(before, stored());
  settle_bus();
  EXPECT_TRUE(observer_.batches.empty());
}

// The store's data adapter without a sync side: reads work, a set fails with 2 and its
// transaction is rolled back.
class NoSyncAdapter : public DataAdapter {
 public:
  explicit NoSyncAdapter(const SharedPointer<DataAdapter>& inner) : inner_(inner) {}
  void init(orva::keldra::ProgressHandler& handler) override { inner_->init(handler); }
  SharedPointer<orva::keldra::Repository> repository() override { return inner_->repository(); }
  void set_event_listener(orva::keldra::RepositoryObserver& o) override {
    inner_->set_event_listener(o);
  }
  void unset_event_listener() override { inner_->unset_event_listener(); }
  ustring get_db_name() const override { return inner_->get_db_name(); }

 private:
  SharedPointer<DataAdapter> inner_;
};

TEST_F(UserManagerTest, MissingSideGivesTwoAndWritesNothing) {
  receive_server_users();
  SharedPointer<UserManager> manager =
      UserManagerImpl::open_public_manager(SharedPointer<DataAdapter>(new NoSyncAdapter(adapter_)));
  ASSERT_TRUE(manager.is_valid());
  EXPECT_EQ("anna", manager->get_current_user());
  EXPECT_EQ(2, manager->set_user_info(user_entry("carl", "Carl")));
  EXPECT_FALSE(store_->is_in_transaction());
  EXPECT_EQ(kServerTree, stored());

  // Without any adapter side: reads give 2 too.
  SharedPointer<UserManager> bare =
      UserManagerImpl::open_public_manager(SharedPointer<DataAdapter>());
  std::vector<std::string> ids;
  EXPECT_EQ(2, bare->get_all_users(ids));
  EXPECT_EQ(2, bare->set_user_info(user_entry("carl", "Carl")));
  EXPECT_EQ("", bare->get_current_user());
  settle_bus();
  EXPECT_TRUE(observer_.batches.empty());
}

}  // namespace
}  // namespace keldra_test
