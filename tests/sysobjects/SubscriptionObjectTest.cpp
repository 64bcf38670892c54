// The subscription object: "changes" made by the first command, subscribe and
// unsubscribe commands that cancel each other, the server's eight lists read by type,
// and acknowledged commands removed exactly.
#include "support/LogCapture.h"
#include "support/PlaceFixture.h"

#include "sysobjects/SubscriptionObject.h"

#include <keldra/Attribute.h>
#include <keldra/Field.h>
#include <keldra/DynamicBuffer.h>
#include <keldra/Object.h>
#include <keldra/ObjectConverter.h>

#include <string>
#include <vector>

namespace keldra_test {
namespace {

using orva::SharedPointer;
using orva::keldra::Attribute;
using orva::keldra::Field;
using orva::keldra::Object;
using orva::keldra::internal::SubscriptionCommandBase;
using orva::keldra::internal::SubscriptionObject;
using Gids = std::vector<unsigned long long>;

// The "changes" tree with field types (global_id/4 is uint64, cascade/2 is uint32).
std::string typed_tree(const SubscriptionObject& view) {
  return attribute_tree(view.object()->get_attributes(), FieldText::kNameAndType, false);
}

struct Command {
  const char* keyword;
  unsigned long long gid;
  bool cascade;
};

SharedPointer<Attribute> command(const Command& c) {
  SharedPointer<Attribute> attribute = make_attribute("", c.keyword);
  attribute->prepare_field(std::string("global_id"))->set_value(c.gid);
  if (c.cascade) attribute->prepare_field(std::string("cascade"))->set_value(1u);
  return attribute;
}

// A subscription object as stored or received, with other children around.
SharedPointer<Object> subscription_with(const std::vector<Command>& commands) {
  SharedPointer<Object> object(new Object("sys_subscription"));
  object->get_attributes().push_back(make_attribute("before", "other"));
  SharedPointer<Attribute> changes = make_attribute("changes", "subscription_changes");
  for (const Command& c : commands) changes->get_attributes().push_back(command(c));
  object->get_attributes().push_back(changes);
  return object;
}

Gids gids_of(const SubscriptionObject& view, int type) {
  Gids out;
  view.get_change_gids(static_cast<SubscriptionCommandBase::Type>(type), out);
  return out;
}

using SubscriptionObjectTest = PlaceTest;

TEST_F(SubscriptionObjectTest, ChangesAreMadeByTheFirstCommand) {
  SubscriptionObject subscription;
  ASSERT_TRUE(subscription.init());
  EXPECT_EQ(0u, subscription.object()->get_attributes().size());
  for (int type = 1; type <= 8; ++type) EXPECT_TRUE(gids_of(subscription, type).empty());

  ASSERT_EQ(0, subscription.subscribe(Gids{}, true));
  EXPECT_EQ(0u, subscription.object()->get_attributes().size());

  ASSERT_EQ(0, subscription.subscribe(Gids{10, 0x123456789ull}, true));
  ASSERT_EQ(0, subscription.unsubscribe(Gids{20}, false));
  EXPECT_EQ(
      "changes:subscription_changes[:subscribe(global_id/4,cascade/2) "
      ":subscribe(global_id/4,cascade/2) :unsubscribe(global_id/4)]",
      typed_tree(subscription));
  EXPECT_EQ(
      "changes:subscription_changes[:subscribe(global_id=10,cascade=1) "
      ":subscribe(global_id=4886718345,cascade=1) :unsubscribe(global_id=20)]",
      tree(subscription.object()->get_attributes()));

  // An unbound view creates the object on its first command.
  SubscriptionObject fresh;
  ASSERT_EQ(0, fresh.unsubscribe(Gids{5}, false));
  EXPECT_EQ(998u, fresh.object()->get_global_id());
  EXPECT_EQ("changes:subscription_changes[:unsubscribe(global_id=5)]",
            tree(fresh.object()->get_attributes()));
}

// Steps on one stored object; the picture after each step.
TEST_F(SubscriptionObjectTest, SubscribeAndUnsubscribeCancelEachOther) {
  struct Step {
    const char* label;
    bool subscribe;
    Gids gids;
    bool cascade;
    const char* after;
  };
  const Step steps[] = {
      {"subscribe, cascaded",
       true,
       {1, 2},
       true,
       "before:other changes:subscription_changes[x:other :unsubscribe(global_id=3) "
       ":subscribe(global_id=1,cascade=1) :subscribe(global_id=2,cascade=1)]"},
      {"already subscribed: kept as it was; a repeated id makes one command",
       true,
       {2, 4, 4},
       false,
       "before:other changes:subscription_changes[x:other :unsubscribe(global_id=3) "
       ":subscribe(global_id=1,cascade=1) :subscribe(global_id=2,cascade=1) "
       ":subscribe(global_id=4)]"},
      {"subscribing removes the unsubscribe command",
       true,
       {3},
       false,
       "before:other changes:subscription_changes[x:other :subscribe(global_id=1,cascade=1) "
       ":subscribe(global_id=2,cascade=1) :subscribe(global_id=4) :subscribe(global_id=3)]"},
      {"unsubscribing removes every subscribe command of the ids",
       false,
       {1, 4, 9},
       true,
       "before:other changes:subscription_changes[x:other :subscribe(global_id=2,cascade=1) "
       ":subscribe(global_id=3) :unsubscribe(global_id=1,cascade=1) "
       ":unsubscribe(global_id=4,cascade=1) :unsubscribe(global_id=9,cascade=1)]"},
  };
  SharedPointer<Object> object = subscription_with({{"unsubscribe", 3, false}});
  object->get_attributes()[1]->get_attributes().insert(0, make_attribute("x", "other"));
  SubscriptionObject subscription;
  ASSERT_EQ(0, subscription.attach(object));
  for (const Step& step : steps) {
    SCOPED_TRACE(step.label);
    if (step.subscribe) {
      ASSERT_EQ(0, subscription.subscribe(step.gids, step.cascade));
    } else {
      ASSERT_EQ(0, subscription.unsubscribe(step.gids, step.cascade));
    }
    EXPECT_EQ(step.after, tree(object->get_attributes()));
  }
}

TEST_F(SubscriptionObjectTest, ReceivedListsAreReadByType) {
  SharedPointer<Object> object = subscription_with({
      {"switched_public", 50, false},
      {"subscribe", 10, true},
      {"deleted_by_owner", 80, false},
      {"switched_private", 30, false},
      {"unsubscribe", 20, false},
      {"switched_private_permanent", 40, false},
      {"switched_public_rw", 60, false},
      {"switched_restricted", 70, false},
      {"switched_public", 51, false},
      {"switched_public", 50, false},
      {"subscription_changes", 99, false},
      {"switched_public ", 98, false},
  });
  // A name on a received command is ignored.
  object->get_attributes()[1]->get_attributes()[3]->set_name(std::string("named"));
  SubscriptionObject received;
  ASSERT_EQ(0, received.attach(object));

  const Gids expected[9] = {{}, {10}, {20}, {30}, {40}, {50, 51, 50}, {60}, {70}, {80}};
  for (int type = 1; type <= 8; ++type) {
    SCOPED_TRACE(type);
    Gids out{1, 2, 3, 4};
    EXPECT_EQ(0, received.get_change_gids(static_cast<SubscriptionCommandBase::Type>(type), out));
    EXPECT_EQ(expected[type], out);
  }
  for (int type : {0, 9, -1}) {
    Gids out{7};
    EXPECT_EQ(0, received.get_change_gids(static_cast<SubscriptionCommandBase::Type>(type), out));
    EXPECT_EQ(Gids{7}, out);
  }
}

// A "changes" attribute of another class, or another name, is not the one read.
TEST_F(SubscriptionObjectTest, OnlyTheChangesAttributeIsRead) {
  SharedPointer<Object> object(new Object("sys_subscription"));
  SharedPointer<Attribute> wrong_class = make_attribute("changes", "other");
  wrong_class->get_attributes().push_back(command({"subscribe", 1, false}));
  SharedPointer<Attribute> wrong_name = make_attribute("change", "subscription_changes");
  wrong_name->get_attributes().push_back(command({"subscribe", 2, false}));
  object->get_attributes().push_back(wrong_class);
  object->get_attributes().push_back(wrong_name);
  SubscriptionObject subscription;
  ASSERT_EQ(0, subscription.attach(object));
  EXPECT_TRUE(gids_of(subscription, 1).empty());

  ASSERT_EQ(0, subscription.subscribe(Gids{3}, false));
  EXPECT_EQ(
      "changes:other[:subscribe(global_id=1)] change:subscription_changes[:subscribe(global_id=2)] "
      "changes:subscription_changes[:subscribe(global_id=3)]",
      tree(object->get_attributes()));
  EXPECT_EQ(Gids{3}, gids_of(subscription, 1));
}

TEST_F(SubscriptionObjectTest, FieldsOfAnotherTypeReadAsAbsent) {
  SharedPointer<Object> object = subscription_with({});
  SharedPointer<Attribute> changes = object->get_attributes()[1];
  struct Case {
    const char* label;
    Field global_id;
    Field cascade;
    unsigned long long gid;
    bool cascaded;
  };
  const Case cases[] = {
      {"uint64 and uint32", Field(5ull), Field(1u), 5, true},
      {"cascade 0", Field(5ull), Field(0u), 5, false},
      {"cascade 7", Field(5ull), Field(7u), 5, true},
      {"uint32 id, int cascade", Field(5u), Field(1), 0, false},
      {"text id, uint64 cascade", Field("5"), Field(1ull), 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    SharedPointer<Attribute> item = make_attribute("", "switched_public");
    Field gid = c.global_id;
    gid.set_name(std::string("global_id"));
    Field cascade = c.cascade;
    cascade.set_name(std::string("cascade"));
    item->get_fields().push_back(gid);
    item->get_fields().push_back(cascade);
    changes->get_attributes().push_back(item);
    SubscriptionObject view;
    ASSERT_EQ(0, view.attach(object));
    const auto& list = view.changes().switched_public();
    ASSERT_GT(list.count(), 0u);
    EXPECT_EQ(c.gid, list.get_item(list.count() - 1)->get_global_id());
    EXPECT_EQ(c.cascaded, list.get_item(list.count() - 1)->is_cascaded());
  }
  // A command without fields reads as id 0, not cascaded; setters on an unbound
  // command report 2.
  orva::keldra::internal::Subscribed unbound;
  EXPECT_EQ(0u, unbound.get_global_id());
  EXPECT_FALSE(unbound.is_cascaded());
  EXPECT_EQ(2, unbound.set_global_id(5));
  EXPECT_EQ(2, unbound.set_cascaded(true));
  EXPECT_EQ(0, unbound.set_cascaded(false));
  EXPECT_FALSE(unbound.is_safe());
}

TEST_F(SubscriptionObjectTest, CommitRemovesExactlyWhatWasSent) {
  SubscriptionObject stored;
  ASSERT_EQ(0, stored.attach(subscription_with({{"switched_public", 50, false}})));
  ASSERT_EQ(0, stored.subscribe(Gids{1, 2}, false));
  ASSERT_EQ(0, stored.unsubscribe(Gids{3}, true));
  SubscriptionObject sent(stored);
  EXPECT_NE(stored.object().get(), sent.object().get());

  // Newer commands, and a repeated subscription of a sent id after an unsubscribe.
  ASSERT_EQ(0, stored.subscribe(Gids{4}, false));
  ASSERT_EQ(0, stored.unsubscribe(Gids{5}, false));
  ASSERT_EQ(Gids({1, 2, 4}), gids_of(stored, 1));

  LogCapture log;
  ASSERT_EQ(0, stored.commit_changes(sent));
  EXPECT_TRUE(log.has("SubscriptionObject::commit_changes: 2 subscribe cmds"));
  EXPECT_TRUE(log.has("SubscriptionObject::commit_changes: 1 unsubscribe cmds"));
  EXPECT_EQ(
      "before:other changes:subscription_changes[:switched_public(global_id=50) "
      ":subscribe(global_id=4) :unsubscribe(global_id=5)]",
      tree(stored.object()->get_attributes()));

  // Nothing sent: nothing removed; an unbound stored view gets a fresh object.
  ASSERT_EQ(0, stored.commit_changes(SubscriptionObject()));
  EXPECT_EQ(Gids{4}, gids_of(stored, 1));
  SubscriptionObject unbound;
  ASSERT_EQ(0, unbound.commit_changes(sent));
  EXPECT_EQ(998u, unbound.object()->get_global_id());
  EXPECT_EQ(0u, unbound.object()->get_attributes().size());

  // The stored object given itself loses its device commands only.
  ASSERT_EQ(0, stored.commit_changes(stored));
  EXPECT_EQ("before:other changes:subscription_changes[:switched_public(global_id=50)]",
            tree(stored.object()->get_attributes()));
}

TEST_F(SubscriptionObjectTest, CopiesReadTheirOwnLists) {
  SubscriptionObject source;
  ASSERT_EQ(0, source.subscribe(Gids{1}, true));
  SubscriptionObject copy(source);
  ASSERT_EQ(0, copy.subscribe(Gids{2}, false));
  EXPECT_EQ(Gids({1, 2}), gids_of(copy, 1));
  EXPECT_EQ(Gids{1}, gids_of(source, 1));

  SubscriptionObject assigned;
  assigned = copy;
  EXPECT_EQ(Gids({1, 2}), gids_of(assigned, 1));
  ASSERT_EQ(0, assigned.unsubscribe(Gids{1}, false));
  EXPECT_EQ(Gids({1, 2}), gids_of(copy, 1));
  EXPECT_EQ(Gids{2}, gids_of(assigned, 1));

  SubscriptionObject unbound;
  SubscriptionObject unbound_copy(unbound);
  EXPECT_FALSE(unbound_copy.is_safe());

  // Re-binding the same object reads changes made to it meanwhile.
  SharedPointer<Object> object = copy.object();
  object->get_attributes()[0]->get_attributes().push_back(command({"subscribe", 9, false}));
  ASSERT_EQ(0, copy.attach(object));
  EXPECT_EQ(Gids({1, 2, 9}), gids_of(copy, 1));
}

// What the server receives and sends back: ids above 32 bits and the field types
// survive the compact format.
TEST_F(SubscriptionObjectTest, CommandsTravelThroughTheCompactFormat) {
  const std::string mime = "application/vnd.ostra.keldraobjectcompact";
  SubscriptionObject sent;
  ASSERT_EQ(0, sent.subscribe(Gids{0xFFFFFFFFFFFFFFF0ull, 7}, true));
  ASSERT_EQ(0, sent.unsubscribe(Gids{0x100000000ull}, false));
  SharedPointer<orva::keldra::ObjectConverter> converter = orva::keldra::ObjectConverter::create();
  SharedPointer<orva::keldra::DynamicBuffer> buffer(new orva::keldra::DynamicBuffer());
  ASSERT_EQ(0, converter->encode(*sent.object(), buffer, mime, false));
  orva::keldra::ObjectPtr decoded;
  ASSERT_EQ(0, converter->decode(buffer->get_data(), buffer->get_data_length(), decoded, mime));

  SubscriptionObject received;
  ASSERT_EQ(0, received.attach(decoded));
  EXPECT_EQ(Gids({0xFFFFFFFFFFFFFFF0ull, 7}), gids_of(received, 1));
  EXPECT_EQ(Gids{0x100000000ull}, gids_of(received, 2));
  EXPECT_TRUE(received.changes().subscribed().get_item(1)->is_cascaded());
  EXPECT_EQ(typed_tree(sent), typed_tree(received));
  EXPECT_EQ(998u, decoded->get_global_id());
  EXPECT_EQ("sys.keldra.subscription", decoded->get_name());
}

}  // namespace
}  // namespace keldra_test
