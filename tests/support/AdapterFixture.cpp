#include "support/AdapterFixture.h"

#include <keldra/Attribute.h>
#include <keldra/DatabaseManager.h>

#include "support/TestEnv.h"

#include <QDir>
#include <QString>

namespace keldra_test {

using orva::SharedPointer;
using orva::keldra::Attribute;
using orva::keldra::Object;

void AdapterTest::SetUp() {
  DbusTestBus& bus = DbusTestBus::shared();
  ASSERT_TRUE(bus.running() && bus.relay_pid() > 0) << bus.error();
  QDir(QString::fromStdString(home_dir() + "/.cities")).removeRecursively();
  // Before the store's objects take the logger, which reads its level once.
  if (capture_log_) log_.reset(new LogCapture);
  static_ = orva::keldra::Static::instance();
  adapter_ = orva::keldra::DatabaseManager::open("personal");
  ASSERT_TRUE(adapter_.is_valid());
  umbo_ = static_cast<orva::keldra::internal::DataAdapterUmbo*>(adapter_.get());
  RecordingHandler handler;
  adapter_->init(handler);
  ASSERT_TRUE(wait_until([&] { return !handler.reports.empty(); }));
  ASSERT_EQ(1u, handler.reports.size());
  ASSERT_EQ(0, handler.reports[0].second);
  repo_ = adapter_->repository();
  ASSERT_TRUE(repo_.is_valid());
  peer_.reset(new Peer);
  ASSERT_TRUE(peer_->ok());
  adapter_->set_event_listener(observer_);
  settle_bus();
}

void AdapterTest::TearDown() {
  if (adapter_.is_valid()) adapter_->unset_event_listener();
  repo_.release();
  adapter_.release();
  static_.release();
  peer_.reset();
  log_.reset();
}

Object AdapterTest::place(const char* name) {
  Object o("location");
  o.set_name(std::string(name));
  o.set_service(std::string("personal"));
  SharedPointer<Attribute> address(new Attribute("address", "address"));
  address->add_field("text")->set_value(std::string(name) + " street 1");
  o.get_attributes().push_back(address);
  return o;
}

unsigned int AdapterTest::insert(const char* name) {
  Object o = place(name);
  if (repo_->insert_object(o) != 0) return 0;
  return o.get_local_id();
}

Broadcast AdapterTest::created_on_wire(const std::vector<unsigned int>& ids) {
  if (ids.size() == 1) return Broadcast::one(1, static_cast<int>(ids[0]));
  std::vector<std::pair<int, int>> pairs;
  for (unsigned int id : ids) pairs.push_back(std::make_pair(1, static_cast<int>(id)));
  return Broadcast::many(batch_of(pairs));
}

}  // namespace keldra_test
