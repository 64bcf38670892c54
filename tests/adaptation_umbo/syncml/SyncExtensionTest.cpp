// The sync extension on the real file: the reserved table, the system objects listed
// and cached for sending for each combination of stored state, renderings of system and
// ordinary objects, the server's results for sent objects, and what it does with each
// kind of received object (foreign classes under reserved ids refused with 3).
#include "SyncSideFixture.h"

#include "support/AttributeTree.h"
#include "support/PlaceFixture.h"
#include "support/UserEntry.h"

#include "adaptation_umbo/syncml/SubscriptionManager.h"
#include "adaptation_umbo/syncml/SyncExtension.h"
#include "adaptation_umbo/syncml/UserManagerImpl.h"
#include "sysobjects/ConfigObject.h"

#include <keldra/Attribute.h>
#include <keldra/DynamicBuffer.h>
#include <keldra/Link.h>
#include <keldra/ObjectConverter.h>
#include <keldra/SyncAdapter.h>
#include <keldra/UserInfo.h>
#include <keldra/UserManager.h>
#include <tervo/ustring.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace keldra_test {
namespace {

using orva::SharedPointer;
using orva::ustring;
using orva::keldra::Attribute;
using orva::keldra::DynamicBuffer;
using orva::keldra::Link;
using orva::keldra::Object;
using orva::keldra::ObjectBase;
using orva::keldra::ObjectConverter;
using orva::keldra::ObjectPtr;
using orva::keldra::SyncAdapter;
using orva::keldra::UserInfo;
using orva::keldra::UserManager;
using orva::keldra::internal::ConfigObject;
using orva::keldra::internal::SubscriptionManager;
using orva::keldra::internal::SyncExtension;
using orva::keldra::internal::UserManagerImpl;

using Ids = std::vector<uint32_t>;

const uint32_t kSoft = 0x7FFFFFFB;
const uint32_t kUsers = 0x7FFFFFFC;
const uint32_t kMapping = 0x7FFFFFFD;
const uint32_t kSubscription = 0x7FFFFFFE;
const uint32_t kConfig = 0x7FFFFFFF;
const uint32_t kUnset = 12345;  // what a lid holds before a call that must not set it

class SyncExtensionTest : public SyncSideTest {
 protected:
  void SetUp() override {
    SyncSideTest::SetUp();
    subscriptions_ = new SubscriptionManager(adapter_);
    users_ = store_->get_user_manager();
    converter_ = ObjectConverter::create();
    ext_ = new_extension();
  }
  void TearDown() override {
    ext_.release();
    converter_.release();
    users_.release();
    subscriptions_.release();
    SyncSideTest::TearDown();
  }

  SharedPointer<SyncExtension> new_extension() {
    SharedPointer<SyncExtension> ext(new SyncExtension(adapter_));
    ext->set_current_user("me");
    return ext;
  }

  // An ordinary object as the server sent it (synchronised), with these links on the
  // object and on an attribute's child; its local id.
  unsigned int server_place(unsigned long long gid, const std::vector<Link>& links) {
    Object o = place("server");
    o.set_global_id(gid);
    SharedPointer<Attribute> outer(new Attribute("outer", "group"));
    SharedPointer<Attribute> inner(new Attribute("inner", "group"));
    for (const Link& link : links) {
      o.get_links().push_back(link);
      inner->get_links().push_back(link);
    }
    outer->get_attributes().push_back(inner);
    o.get_attributes().push_back(outer);
    EXPECT_EQ(0, sync_->add_object(o));
    return o.get_local_id();
  }

  // Removes every stored system object, as on a store that never synchronised.
  void drop_system_objects() {
    for (unsigned long long gid = 995; gid <= 999; ++gid) {
      ASSERT_EQ(0, sync_->delete_object(gid));
    }
  }

  ObjectPtr decode(const SharedPointer<DynamicBuffer>& buffer) {
    ObjectPtr object;
    EXPECT_EQ(0, converter_->decode(buffer->get_data(), buffer->get_data_length(), object,
                                    KELDRA_COMPACT_MIME_TYPE));
    return object.is_valid() ? object : ObjectPtr(new Object());
  }

  // The stored system object with that global id; an empty object when none.
  Object stored(unsigned long long gid) {
    Object object;
    store_->get_global_object(gid, object);
    return object;
  }
  static std::vector<unsigned long long> link_gids(const Object& object) {
    std::vector<unsigned long long> gids;
    for (const Link& link : object.get_links()) gids.push_back(link.get_global_link());
    return gids;
  }
  std::vector<unsigned long long> subscribed() {
    std::vector<unsigned long long> gids;
    EXPECT_EQ(0, subscriptions_->get_change_gids(
                     orva::keldra::internal::SubscriptionCommandBase::Type(1), gids));
    return gids;
  }

  SharedPointer<SubscriptionManager> subscriptions_;
  SharedPointer<UserManager> users_;
  SharedPointer<ObjectConverter> converter_;
  SharedPointer<SyncExtension> ext_;
};

TEST_F(SyncExtensionTest, ReservedIdsPairIndexForIndex) {
  const std::pair<uint32_t, unsigned long long> pairs[] = {
      {kSoft, 995}, {kUsers, 996}, {kMapping, 997}, {kSubscription, 998}, {kConfig, 999}};
  for (const auto& p : pairs) {
    EXPECT_EQ(p.second, SyncExtension::extension_object_lid_to_gid(p.first));
    EXPECT_EQ(p.first, SyncExtension::extension_object_gid_to_lid(p.second));
    EXPECT_TRUE(ext_->is_extension_object(p.first));
    EXPECT_TRUE(ext_->is_extension_object(object_of("any", p.second)));
  }
  for (uint32_t lid : {0u, 1u, 0x7FFFFFFAu, 0x80000000u, 995u}) {
    EXPECT_EQ(0u, SyncExtension::extension_object_lid_to_gid(lid)) << lid;
    EXPECT_FALSE(ext_->is_extension_object(lid)) << lid;
  }
  for (unsigned long long gid : {0ull, 994ull, 1000ull, 0x7FFFFFFFull, 995ull + (1ull << 32)}) {
    EXPECT_EQ(0u, SyncExtension::extension_object_gid_to_lid(gid)) << gid;
    EXPECT_FALSE(ext_->is_extension_object(object_of("any", gid))) << gid;
  }
  EXPECT_FALSE(ext_->is_extension_object(ObjectPtr()));

  Ids lids{1, 2};
  EXPECT_EQ(0, ext_->get_changed_objects_list(lids));
  EXPECT_TRUE(lids.empty());
  lids = {1};
  EXPECT_EQ(0, ext_->get_removed_objects_list(lids));
  EXPECT_TRUE(lids.empty());
}

// Which system objects go out, in which order, for each combination of stored state;
// each listed object is cached under its reserved local id.
TEST_F(SyncExtensionTest, AddedObjectsFollowTheStoredState) {
  auto subscribe = [&] { ASSERT_EQ(0, subscriptions_->add_to_subscription({5001}, false)); };
  auto map = [&] {
    ASSERT_EQ(0, subscriptions_->save_mapping(ObjectBase(stored_place("mapped"), 6001)));
  };
  auto soft_delete = [&] {
    unsigned int lid = server_place(7001, {});
    ASSERT_EQ(0, subscriptions_->soft_delete_object(lid));
  };
  auto edit_own = [&] { ASSERT_EQ(0, users_->set_user_info(user_entry("me", "Me"))); };
  struct Case {
    const char* label;
    std::vector<std::function<void()>> setup;
    Ids expected;
  } cases[] = {
      {"nothing stored", {}, {kConfig}},
      {"a subscription", {subscribe}, {kConfig, kSubscription}},
      {"a mapping", {map}, {kConfig, kMapping}},
      {"a soft deletion", {soft_delete}, {kConfig, kSoft}},
      {"own entry edited", {edit_own}, {kConfig, kUsers}},
      {"own entry from the server",
       {[&] {
         ObjectPtr users = object_of("sys_users", 996);
         users->get_attributes().push_back(user_entry("me", "Me").attribute());
         uint32_t lid = 0;
         ASSERT_EQ(0, new_extension()->handle_extension_object_received(users, lid));
       }},
       {kConfig}},
      {"another account's entry edited",
       {[&] { ASSERT_EQ(0, users_->set_user_info(user_entry("other", "Other"))); }},
       {kConfig}},
      {"own entry edited without a value",
       {[&] { ASSERT_EQ(0, users_->set_user_info(user_entry("me", nullptr))); }},
       {kConfig}},
      {"everything, in any order",
       {edit_own, soft_delete, map, subscribe},
       {kConfig, kSubscription, kMapping, kSoft, kUsers}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    drop_system_objects();
    for (const auto& step : c.setup) step();
    SharedPointer<SyncExtension> ext = new_extension();
    Ids lids{42};
    ASSERT_EQ(0, ext->get_added_objects_list(lids));
    EXPECT_EQ(c.expected, lids);
    for (uint32_t lid = kSoft; lid != 0x80000000u; ++lid) {
      ObjectPtr cached = ext->get_cached_object(lid);
      const bool listed = std::find(lids.begin(), lids.end(), lid) != lids.end();
      ASSERT_EQ(listed, cached.is_valid()) << lid;
      if (!listed) continue;
      EXPECT_EQ(lid, cached->get_local_id());
      EXPECT_EQ(SyncExtension::extension_object_lid_to_gid(lid), cached->get_global_id());
      EXPECT_TRUE(cached->is_no_sync());
    }
  }
}

TEST_F(SyncExtensionTest, SystemObjectsRenderInFullFromTheCache) {
  SharedPointer<DynamicBuffer> buffer;
  EXPECT_EQ(2, ext_->object_to_transfer_format(kConfig, SyncExtension::TransferType(1), buffer))
      << "nothing cached yet";
  ASSERT_EQ(0, users_->set_user_info(user_entry("other", "Other")));
  ASSERT_EQ(0, users_->set_user_info(user_entry("me", "Me")));
  Ids lids;
  ASSERT_EQ(0, ext_->get_added_objects_list(lids));
  ASSERT_EQ((Ids{kConfig, kUsers}), lids);

  struct Case {
    uint32_t lid;
    std::string expected;
  } cases[] = {
      {kConfig, "222:last_string_supported :subscriptions :users_object :echo :anchor"},
      {kUsers, "me:user(display_name=Me)"},
  };
  for (const Case& c : cases) {
    for (int type : {0, 1, 2, 3, 4}) {
      SCOPED_TRACE(std::to_string(c.lid) + " type " + std::to_string(type));
      ASSERT_EQ(0,
                ext_->object_to_transfer_format(c.lid, SyncExtension::TransferType(type), buffer));
      ObjectPtr sent = decode(buffer);
      EXPECT_FALSE(sent->is_partial());
      EXPECT_EQ(c.expected, tree(sent->get_attributes()));
      EXPECT_EQ(SyncExtension::extension_object_lid_to_gid(c.lid), sent->get_global_id());
    }
  }
  EXPECT_EQ(2, ext_->object_to_transfer_format(kMapping, SyncExtension::TransferType(3), buffer))
      << "listed objects only";

  // The anchor the server sent last goes back unchanged, in its place.
  ObjectPtr config = object_of("config", 999);
  config->get_attributes().push_back(make_attribute("a-17", "anchor"));
  config->get_attributes().push_back(make_attribute("", "server_only"));
  uint32_t lid = 0;
  ASSERT_EQ(0, ext_->handle_extension_object_received(config, lid));
  SharedPointer<SyncExtension> next = new_extension();
  ASSERT_EQ(0, next->get_added_objects_list(lids));
  ASSERT_EQ(0, next->object_to_transfer_format(kConfig, SyncExtension::TransferType(2), buffer));
  EXPECT_EQ("a-17:anchor :server_only 222:last_string_supported :subscriptions :users_object :echo",
            tree(decode(buffer)->get_attributes()));
}

// Ordinary objects: header only for types 1 and 2 when the object and all its links are
// global and it has nothing new here (or only its sharing changed); else in full.
TEST_F(SyncExtensionTest, OrdinaryObjectsRenderByTheGlobalObjectRule) {
  const unsigned int target = server_place(8001, {});
  const unsigned int local_only = stored_place("local only");
  Link global_link(ObjectBase(target, 8001));
  Link local_link(local_only);

  const unsigned int clean = server_place(8002, {global_link});
  const unsigned int with_local_link = server_place(8003, {global_link, local_link});
  const unsigned int changed = server_place(8004, {global_link});
  Object o;
  ASSERT_EQ(0, store_->get_object(changed, o));
  o.set_name(std::string("changed here"));
  ASSERT_EQ(0, store_->update_object(o));
  const unsigned int sharing_changed = server_place(8005, {global_link});
  ASSERT_EQ(0, store_->set_object_sharing(sharing_changed, orva::keldra::SharingModel(1)));
  const unsigned int never_uploaded = stored_place("new");

  struct Case {
    const char* label;
    unsigned int lid;
    bool header_only;  // for types 1 and 2
  } cases[] = {
      {"global, synchronised", clean, true},
      {"a link without global id", with_local_link, false},
      {"changed here", changed, false},
      {"only its sharing changed", sharing_changed, true},
      {"never uploaded", never_uploaded, false},
  };
  for (const Case& c : cases) {
    for (int type : {1, 2, 3}) {
      SCOPED_TRACE(std::string(c.label) + ", type " + std::to_string(type));
      SharedPointer<DynamicBuffer> buffer;
      ASSERT_EQ(0,
                ext_->object_to_transfer_format(c.lid, SyncExtension::TransferType(type), buffer));
      ObjectPtr sent = decode(buffer);
      const bool header_only = c.header_only && type != 3;
      EXPECT_EQ(header_only, sent->is_partial());
      Object read;
      ASSERT_EQ(0, store_->get_object(c.lid, read));
      EXPECT_EQ(header_only ? "" : tree(read.get_attributes()), tree(sent->get_attributes()));
      EXPECT_EQ(read.get_name(), sent->get_name());
    }
    for (int type : {0, 4, -1}) {
      SharedPointer<DynamicBuffer> buffer;
      EXPECT_EQ(3,
                ext_->object_to_transfer_format(c.lid, SyncExtension::TransferType(type), buffer))
          << c.label << " type " << type;
    }
  }
  SharedPointer<DynamicBuffer> buffer;
  EXPECT_EQ(8, ext_->object_to_transfer_format(4242, SyncExtension::TransferType(1), buffer));
}

// The server's result for each sent system object: success removes exactly what was sent
// from the stored object, a failure keeps everything for the next synchronisation.
TEST_F(SyncExtensionTest, SentResultsApplyToTheStoredObjects) {
  ASSERT_EQ(0, subscriptions_->add_to_subscription({5001, 5002}, false));
  ASSERT_EQ(0, subscriptions_->save_mapping(ObjectBase(stored_place("mapped"), 6001)));
  ASSERT_EQ(0, subscriptions_->soft_delete_object(server_place(7001, {})));
  ASSERT_EQ(0, users_->set_user_info(user_entry("me", "Me")));
  Ids lids;
  ASSERT_EQ(0, ext_->get_added_objects_list(lids));
  ASSERT_EQ((Ids{kConfig, kSubscription, kMapping, kSoft, kUsers}), lids);
  // Added after the list was made: must survive the acknowledgement.
  ASSERT_EQ(0, subscriptions_->add_to_subscription({5003}, false));

  const std::string stored_before_tree = tree(stored(996).get_attributes());
  const size_t maps = stored(997).get_links().size();
  ASSERT_NE(0u, maps);

  // Failures first: nothing changes.
  for (uint32_t lid : lids) {
    EXPECT_EQ(0, ext_->handle_cached_extension_object_sent(lid, 1)) << lid;
  }
  EXPECT_EQ((std::vector<unsigned long long>{5001, 5002, 5003}), subscribed());
  EXPECT_EQ(maps, stored(997).get_links().size());
  EXPECT_EQ((std::vector<unsigned long long>{7001}), link_gids(stored(995)));

  for (uint32_t lid : lids) {
    EXPECT_EQ(0, ext_->handle_cached_extension_object_sent(lid, 0)) << lid;
  }
  EXPECT_EQ((std::vector<unsigned long long>{5003}), subscribed());
  EXPECT_EQ(0u, stored(997).get_links().size());
  EXPECT_TRUE(link_gids(stored(995)).empty());
  EXPECT_EQ(stored_before_tree, tree(stored(996).get_attributes()))
      << "the users entry keeps its mark until the server's users object comes";
  EXPECT_TRUE(ext_->get_cached_object(kSubscription).is_valid()) << "entries stay cached";
  // Acknowledged again: the clean-up finds nothing more to remove.
  EXPECT_EQ(0, ext_->handle_cached_extension_object_sent(kSubscription, 0));
  EXPECT_EQ((std::vector<unsigned long long>{5003}), subscribed());

  SharedPointer<SyncExtension> fresh = new_extension();
  EXPECT_EQ(8, fresh->handle_cached_extension_object_sent(kMapping, 0));
  EXPECT_TRUE(
      log_->has("SyncExtension::handle_cached_extension_object_sent: object lid 2147483645 "
                "wasn't cached"));
  EXPECT_EQ(3, ext_->handle_extension_object_sent(ObjectPtr(), 0));
  ObjectPtr ordinary(new Object("location"));
  ordinary->set_local_id(5);
  EXPECT_EQ(3, ext_->handle_extension_object_sent(ordinary, 0));
}

// Every kind of object the server can send under a reserved id, and some it must not.
TEST_F(SyncExtensionTest, ReceivedObjectsAreHandledByTheirIdAndClass) {
  const unsigned int shared = server_place(9001, {});
  ASSERT_EQ(0, subscriptions_->add_to_subscription({5001}, false));
  Ids lids;
  ASSERT_EQ(0, ext_->get_added_objects_list(lids));
  ASSERT_EQ((Ids{kConfig, kSubscription}), lids);

  auto users = [] {
    ObjectPtr o = object_of("sys_users", 996);
    o->set_owner(std::string("me"));
    o->get_attributes().push_back(user_entry("me", "Me from server").attribute());
    return o;
  };
  auto switch_public = [] {
    ObjectPtr o = object_of("sys_subscription", 998);
    SharedPointer<Attribute> changes(new Attribute("changes", "subscription_changes"));
    SharedPointer<Attribute> command(new Attribute("", "switched_public"));
    command->add_field("global_id")->set_value(static_cast<unsigned long long>(9001));
    changes->get_attributes().push_back(command);
    o->get_attributes().push_back(changes);
    return o;
  };
  auto config = [] {
    ObjectPtr o = object_of("config", 999);
    o->get_attributes().push_back(make_attribute("a-2", "anchor"));
    return o;
  };
  auto content = [&](unsigned long long gid) { return tree(stored(gid).get_attributes()); };

  struct Case {
    const char* label;
    ObjectPtr object;
    int result;
    uint32_t lid;  // kUnset: left as it was
    std::function<void()> check;
  } cases[] = {
      {"sys_ok for the sent subscription", object_of("sys_ok", 998), 0, kSubscription,
       [&] { EXPECT_TRUE(subscribed().empty()); }},
      {"sys_ok for an object not sent", object_of("sys_ok", 996), 0, kUsers,
       [&] { EXPECT_EQ("", content(996)); }},
      {"sys_ok for no system object", object_of("sys_ok", 1000), 3, kUnset, nullptr},
      {"soft deletion", object_of("sys_soft_delete", 995), 0, kSoft,
       [&] { EXPECT_EQ(0u, store_->get_object_local_id(995)); }},
      {"mapping", object_of("sys_mapping", 997), 0, kMapping,
       [&] { EXPECT_EQ(0u, store_->get_object_local_id(997)); }},
      {"users", users(), 0, kUsers,
       [&] {
         EXPECT_EQ("me:user(display_name=Me from server)", content(996));
         EXPECT_EQ("me", users_->get_current_user());
       }},
      {"subscription switches", switch_public(), 0, kSubscription,
       [&] {
         Object o;
         ASSERT_EQ(0, store_->get_object(shared, o));
         EXPECT_EQ(1, static_cast<int>(o.get_sharing()));
         std::vector<unsigned long long> stored_switches;
         ASSERT_EQ(0,
                   subscriptions_->get_change_gids(
                       orva::keldra::internal::SubscriptionCommandBase::Type(5), stored_switches));
         EXPECT_TRUE(stored_switches.empty()) << "the server's copy is not stored";
       }},
      {"config", config(), 0, kConfig, [&] { EXPECT_EQ("a-2:anchor", content(999)); }},
      {"an ordinary id", object_of("location", 1000), 3, kUnset, nullptr},
      {"users id, config class", object_of("config", 996), 3, kUnset,
       [&] { EXPECT_EQ("me:user(display_name=Me from server)", content(996)); }},
      {"config id, users class", object_of("sys_users", 999), 3, kUnset,
       [&] { EXPECT_EQ("a-2:anchor", content(999)); }},
      {"subscription id, other class", object_of("location", 998), 3, kUnset, nullptr},
      {"soft deletion id, other class", object_of("location", 995), 3, kUnset, nullptr},
      {"mapping id, no class", object_of("", 997), 3, kUnset, nullptr},
      {"no object", ObjectPtr(), 3, kUnset, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    uint32_t lid = kUnset;
    EXPECT_EQ(c.result, ext_->handle_extension_object_received(c.object, lid));
    EXPECT_EQ(c.lid, lid);
    if (c.check) c.check();
  }
}

// The local id in the server's text decides nothing for a system object: it is stored
// under its reserved id, and an object that happens to have that local id stays as it
// is. A refused one leaves the caller's lid alone.
TEST_F(SyncExtensionTest, ReceivedSystemObjectsGoWhereTheirReservedIdSays) {
  const unsigned int place_lid = stored_place("Cafe");
  ASSERT_NE(0u, place_lid);
  // An ordinary object of class config that the server added earlier.
  ObjectPtr foreign_config = object_of("config", 5000);
  foreign_config->get_attributes().push_back(make_attribute("old", "anchor"));
  ASSERT_EQ(0, sync_->add_object(*foreign_config));
  const unsigned int foreign_lid = foreign_config->get_local_id();

  auto with_lid = [](ObjectPtr object, unsigned int lid) {
    object->set_local_id(lid);
    return object;
  };
  auto config = [&](const char* anchor, unsigned int lid) {
    ObjectPtr o = object_of("config", 999);
    o->get_attributes().push_back(make_attribute(anchor, "anchor"));
    return with_lid(o, lid);
  };
  auto users = [&](const char* display, unsigned int lid) {
    ObjectPtr o = object_of("sys_users", 996);
    o->get_attributes().push_back(user_entry("me", display).attribute());
    return with_lid(o, lid);
  };
  auto dangling_link = [&](ObjectPtr o) {
    Link link;
    link.set_name(std::string("nowhere"));
    link.set_local_link(0x7FFFFF00u);
    o->get_links().push_back(link);
    return o;
  };
  auto content = [&](unsigned long long gid) { return tree(stored(gid).get_attributes()); };
  auto place_intact = [&] {
    Object o;
    ASSERT_EQ(0, store_->get_object(place_lid, o));
    EXPECT_EQ("location", o.get_class_name());
    EXPECT_EQ(0ull, o.get_global_id());
    Object f;
    ASSERT_EQ(0, store_->get_object(foreign_lid, f));
    EXPECT_EQ(5000ull, f.get_global_id());
    EXPECT_EQ("old:anchor", tree(f.get_attributes()));
  };

  struct Case {
    const char* label;
    ObjectPtr object;
    int result;
    uint32_t lid;  // kUnset: left as it was
    std::function<void()> check;
  } cases[] = {
      {"config carrying a stored place's local id", config("a-1", place_lid), 0, kConfig,
       [&] { EXPECT_EQ("a-1:anchor", content(999)); }},
      {"users carrying a stored place's local id", users("Me", place_lid), 0, kUsers,
       [&] { EXPECT_EQ("me:user(display_name=Me)", content(996)); }},
      {"config carrying the local id of an ordinary config object", config("new", foreign_lid), 0,
       kConfig, [&] { EXPECT_EQ("new:anchor", content(999)); }},
      {"config carrying a local id no object has", config("a-2", 0x7FFFFF01u), 0, kConfig,
       [&] { EXPECT_EQ("a-2:anchor", content(999)); }},
      {"config refused by the store", dangling_link(config("a-3", 0)), 3, kUnset,
       [&] { EXPECT_EQ("a-2:anchor", content(999)); }},
      {"users refused by the store", dangling_link(users("Not me", place_lid)), 3, kUnset,
       [&] { EXPECT_EQ("me:user(display_name=Me)", content(996)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    uint32_t lid = kUnset;
    EXPECT_EQ(c.result, ext_->handle_extension_object_received(c.object, lid));
    EXPECT_EQ(c.lid, lid);
    c.check();
    place_intact();
  }
}

TEST_F(SyncExtensionTest, ReceiptTracesWhatItDid) {
  uint32_t lid = 0;
  EXPECT_EQ(0, ext_->handle_extension_object_received(object_of("sys_ok", 997), lid));
  EXPECT_EQ(3, ext_->handle_extension_object_received(object_of("x", 1ull << 40 | 7), lid));
  EXPECT_TRUE(
      log_->has("SyncExtension::handle_extension_object_received: sys_ok received for gid 997"));
  EXPECT_TRUE(log_->has("SyncExtension::handle_extension_object_received: sys_ok ignored"));
  EXPECT_TRUE(
      log_->has("SyncExtension::handle_extension_object_received: unknown object gid 7 detected"))
      << "the low word, as a 32-bit long shows it";
}

}  // namespace
}  // namespace keldra_test
