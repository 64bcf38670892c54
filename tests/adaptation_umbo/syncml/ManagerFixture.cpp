#include "ManagerFixture.h"

#include <keldra/Attribute.h>
#include <keldra/LinkList.h>

#include "support/AttributeTree.h"
#include "support/TestEnv.h"

namespace keldra_test {

using orva::SharedPointer;
using orva::keldra::Object;
using orva::keldra::ObjectPtr;
using orva::keldra::internal::SubscriptionManager;

void ManagerTest::SetUp() {
  AdapterTest::SetUp();
  if (HasFatalFailure()) return;
  sync_ = adapter_->sync_adapter();
  ASSERT_TRUE(sync_.is_valid());
  raw_.reset(new db_test::RawDb(home_dir() + "/.cities/OstraMaps.db"));
}

void ManagerTest::TearDown() {
  raw_.reset();
  sync_.release();
  AdapterTest::TearDown();
}

SharedPointer<SubscriptionManager> ManagerTest::manager() {
  return SharedPointer<SubscriptionManager>(new SubscriptionManager(adapter_));
}

unsigned int ManagerTest::insert_shared(const char* name, unsigned long long gid,
                                        orva::keldra::SharingModel sharing) {
  Object o = place(name);
  o.set_global_id(gid);
  o.set_sharing(sharing);
  if (sync_->add_object(o) != 0) return 0;
  return o.get_local_id();
}

ObjectPtr ManagerTest::stored(unsigned long long gid) {
  ObjectPtr object(new Object());
  if (repo_->get_global_object(gid, *object) != 0) return ObjectPtr();
  return object;
}

unsigned int ManagerTest::stored_lid(unsigned long long gid) {
  ObjectPtr object = stored(gid);
  return object.is_valid() ? object->get_local_id() : 0;
}

std::string ManagerTest::picture(const Object& object) {
  std::string out = object.get_class_name() + " '" + object.get_name() + "' " +
                    std::to_string(object.get_global_id());
  if (object.is_no_sync()) out += " no-sync";
  const orva::keldra::LinkList& links = object.get_links();
  if (links.size() > 0) {
    out += " {";
    for (unsigned int i = 0; i < links.size(); ++i) {
      if (i) out += " ";
      out += links[i].get_name() + ":" + std::to_string(links[i].get_local_link()) + "/" +
             std::to_string(links[i].get_global_link());
    }
    out += "}";
  }
  const std::string tree = attribute_tree(object.get_attributes(), FieldText::kNameAndValue, false);
  if (!tree.empty()) out += " " + tree;
  return out;
}

std::string ManagerTest::picture(unsigned long long gid) {
  ObjectPtr object = stored(gid);
  return object.is_valid() ? picture(*object) : std::string("none");
}

std::vector<Broadcast> ManagerTest::wire() {
  settle_bus();
  std::vector<Broadcast> heard = peer_->heard;
  peer_->heard.clear();
  return heard;
}

Broadcast ManagerTest::batch(const std::vector<std::pair<int, unsigned int>>& events) {
  std::vector<std::pair<int, int>> pairs;
  for (const auto& e : events) pairs.push_back(std::make_pair(e.first, static_cast<int>(e.second)));
  return Broadcast::many(batch_of(pairs));
}

std::vector<std::string> ManagerTest::snapshot() {
  std::vector<std::string> rows = raw_->rows(
      "SELECT local_id, global_id, modified, sharing, no_sync, name, class_name FROM object "
      "ORDER BY "
      "local_id");
  for (const std::string& row :
       raw_->rows("SELECT id, target_id, target_gid, name, parent_object FROM link ORDER BY id")) {
    rows.push_back("link " + row);
  }
  for (const std::string& row :
       raw_->rows("SELECT id, class_name, name, parent_object FROM attribute ORDER BY id")) {
    rows.push_back("attribute " + row);
  }
  return rows;
}

std::string ManagerTest::state_of(unsigned int lid) {
  Object object;
  if (repo_->get_object(lid, object) != 0) return "none";
  return "state " +
         raw_->value("SELECT modified FROM object WHERE local_id=" + std::to_string(lid)) +
         ", sharing " + std::to_string(static_cast<int>(object.get_sharing()));
}

}  // namespace keldra_test
