// What every system-object view shares: the reserved object made on first use and
// only then, and a foreign object (a reserved global id with another class, as the
// server may send one) refused with 3 instead of stopping the process.
#include "support/PlaceFixture.h"

#include "objects/MappingObject.h"
#include "sysobjects/ConfigObject.h"
#include "sysobjects/SoftDeletionObject.h"
#include "sysobjects/SubscriptionObject.h"
#include "sysobjects/UsersObject.h"

#include <keldra/Link.h>
#include <keldra/Object.h>

#include <functional>
#include <memory>
#include <string>

namespace keldra_test {
namespace {

using orva::SharedPointer;
using orva::keldra::Object;
using orva::keldra::ObjectHandle;
using orva::keldra::internal::ConfigObject;
using orva::keldra::internal::MappingObject;
using orva::keldra::internal::SoftDeletionObject;
using orva::keldra::internal::SubscriptionObject;
using orva::keldra::internal::UsersObject;

// One system view kind: how to make it and bind it with the class check.
struct Kind {
  const char* class_name;
  const char* name;
  unsigned long long global_id;
  unsigned int local_id;
  std::function<std::unique_ptr<ObjectHandle>()> make;
  std::function<orva::ErrorCode(ObjectHandle&, const SharedPointer<Object>&)> attach;
};

template <class View>
Kind kind(const char* class_name, const char* name, unsigned long long gid, unsigned int lid) {
  return Kind{class_name,
              name,
              gid,
              lid,
              [] { return std::unique_ptr<ObjectHandle>(new View()); },
              [](ObjectHandle& view, const SharedPointer<Object>& object) {
                return static_cast<View&>(view).attach(object);
              }};
}

std::vector<Kind> kinds() {
  return {kind<ConfigObject>("config", "sys.keldra.config", 999, 0x7FFFFFFF),
          kind<UsersObject>("sys_users", "sys.keldra.users", 996, 0x7FFFFFFC),
          kind<SubscriptionObject>("sys_subscription", "sys.keldra.subscription", 998, 0x7FFFFFFE),
          kind<SoftDeletionObject>("sys_soft_delete", "sys.keldra.soft_delete", 995, 0x7FFFFFFB)};
}

using SystemObjectTest = PlaceTest;

TEST_F(SystemObjectTest, InitCreatesTheReservedObjectOnce) {
  for (const Kind& k : kinds()) {
    SCOPED_TRACE(k.class_name);
    std::unique_ptr<ObjectHandle> view = k.make();
    EXPECT_FALSE(view->is_safe());
    ASSERT_TRUE(view->init());
    const Object& object = *view->object();
    EXPECT_EQ(k.class_name, object.get_class_name());
    EXPECT_EQ(k.name, object.get_name());
    EXPECT_EQ(k.global_id, object.get_global_id());
    EXPECT_EQ(k.local_id, object.get_local_id());
    EXPECT_TRUE(object.is_no_sync());
    EXPECT_EQ("", object.get_owner());
    EXPECT_EQ(0u, object.get_attributes().size());
    EXPECT_TRUE(object.get_links().empty());

    // A stored object keeps the local id the database gave it, and everything else.
    SharedPointer<Object> stored(new Object(k.class_name));
    stored->set_local_id(44);
    std::unique_ptr<ObjectHandle> bound = k.make();
    ASSERT_EQ(0, k.attach(*bound, stored));
    ASSERT_TRUE(bound->init());
    EXPECT_EQ(stored.get(), bound->object().get());
    EXPECT_EQ(44u, stored->get_local_id());
    EXPECT_EQ(0u, stored->get_global_id());
    EXPECT_EQ("", stored->get_name());
    EXPECT_FALSE(stored->is_no_sync());
  }
}

// The server may send any class under a reserved global id, and the store keeps it:
// binding such an object is refused, the view stays unbound and reads as empty.
TEST_F(SystemObjectTest, ForeignClassIsRefusedWithThree) {
  for (const Kind& k : kinds()) {
    for (const char* foreign : {"sys_mapping", "config", "location", "sys_users_x"}) {
      if (std::string(foreign) == k.class_name) continue;
      SCOPED_TRACE(std::string(k.class_name) + " given " + foreign);
      SharedPointer<Object> object(new Object(foreign));
      std::unique_ptr<ObjectHandle> view = k.make();
      EXPECT_EQ(3, k.attach(*view, object));
      EXPECT_FALSE(view->is_safe());

      // Also when the view held an object of its own before.
      ASSERT_TRUE(view->init());
      EXPECT_EQ(3, k.attach(*view, object));
      EXPECT_FALSE(view->is_safe());
      EXPECT_EQ(foreign, object->get_class_name());
    }
    SharedPointer<Object> own(new Object(k.class_name));
    std::unique_ptr<ObjectHandle> view = k.make();
    EXPECT_EQ(0, k.attach(*view, own));
    EXPECT_EQ(own.get(), view->object().get());
  }
}

TEST_F(SystemObjectTest, RefusedObjectsLeaveTheViewsUsable) {
  SharedPointer<Object> foreign(new Object("location"));
  foreign->set_global_id(998);

  SubscriptionObject subscription;
  ASSERT_EQ(3, subscription.attach(foreign));
  std::vector<unsigned long long> gids{7};
  EXPECT_EQ(0, subscription.get_change_gids(
                   orva::keldra::internal::SubscriptionCommandBase::SUBSCRIBE, gids));
  EXPECT_TRUE(gids.empty());

  UsersObject users;
  ASSERT_EQ(3, users.attach(foreign));
  std::vector<std::string> ids;
  users.get_all_users(ids);
  EXPECT_TRUE(ids.empty());
  EXPECT_FALSE(users.find_user_info("").is_valid());

  ConfigObject config;
  ASSERT_EQ(3, config.attach(foreign));
  std::string anchor = "kept";
  EXPECT_EQ(8, config.get_anchor(anchor));
  EXPECT_EQ("kept", anchor);

  SoftDeletionObject soft;
  ASSERT_EQ(3, soft.attach(foreign));
  EXPECT_FALSE(soft.remove_gids(soft));

  MappingObject mapping;
  ASSERT_EQ(3, mapping.attach(foreign));
  EXPECT_FALSE(mapping.remove_map(orva::keldra::Link(5)));
  EXPECT_EQ(0u, foreign->get_attributes().size());
}

}  // namespace
}  // namespace keldra_test
