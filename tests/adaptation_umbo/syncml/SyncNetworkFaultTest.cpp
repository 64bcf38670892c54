// Syncs through the public API alone (SyncService::synchronize with the library's direct
// transfer over the Qt network adapter) against a loopback HTTPS server that fails or
// goes silent: a sync started again from inside the final report of a failed one (the
// first run's handler and adapter go while the adapter's reply signal that ended the run
// is still under way; ASan catches a use after free here), and a silent server.
#include "SyncFixture.h"

#include "support/HttpsTestServer.h"
#include "support/TestEnv.h"
#include "adaptation_umbo/transfer/NetworkAdapterUmbo.h"
#include "transfer/DirectTransferHandlerImpl.h"

#include <keldra/Attribute.h>
#include <keldra/DataAdapter.h>
#include <keldra/DatabaseManager.h>
#include <keldra/Object.h>
#include <keldra/ProgressHandler.h>
#include <keldra/Repository.h>
#include <keldra/Static.h>
#include <keldra/SyncService.h>

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using keldra_test::HttpsTestServer;
using keldra_test::wait_until;
using orva::SharedPointer;
using orva::keldra::SyncService;

const orva::ErrorCode IN_PROGRESS = ORVA_ERROR_KELDRA_IN_PROGRESS;
const unsigned kUpload = 0x01;

class FinalListener : public orva::keldra::ProgressHandler {
 public:
  void handle_progress(float, orva::ErrorCode status) override {
    if (status == IN_PROGRESS) return;
    finals.push_back(status);
    if (on_final) on_final(status);
  }
  std::vector<orva::ErrorCode> finals;
  std::function<void(orva::ErrorCode)> on_final;
};

class InitReport : public orva::keldra::ProgressHandler {
 public:
  void handle_progress(float, orva::ErrorCode s) override { status = s; }
  orva::ErrorCode status = IN_PROGRESS;
};

SyncService::SyncParams account() {
  SyncService::SyncParams p;
  p.service = "personal";
  p.user = "anna";
  p.password = "secret";
  p.account = "42";
  return p;
}

class SyncNetworkFaultTest : public keldra_test::SyncFixture {
 protected:
  static void SetUpTestSuite() {
    s_server = new HttpsTestServer;
    ASSERT_TRUE(s_server->start()) << s_server->error();
  }
  static void TearDownTestSuite() {
    delete s_server;
    s_server = nullptr;
  }

  void SetUp() override {
    ASSERT_NE(nullptr, s_server);
    unsetenv("SYSINFO_VALUES_FILE");
    clear_home(".config");
    s_server->clear_answers();
    s_server->clear_record();
    s_server->redirect_sync_server("/sync");
    ASSERT_NO_FATAL_FAILURE(SyncFixture::SetUp());
    orva::keldra::internal::DirectTransferHandlerImpl::set_network_adapter_factory(
        orva::keldra::internal::DirectTransferHandlerImpl::NetworkAdapterFactory());
    static_ = orva::keldra::Static::instance();
    adapter_ = orva::keldra::DatabaseManager::open("personal");
    ASSERT_TRUE(adapter_.is_valid());
    InitReport init;
    adapter_->init(init);
    ASSERT_TRUE(wait_until([&] { return init.status != IN_PROGRESS; }));
    ASSERT_EQ(0, init.status);
    repo_ = adapter_->repository();
    service_ = SyncService::instance();
    ASSERT_TRUE(service_.is_valid());
    service_->set_listener(&listener_);
  }
  void TearDown() override {
    orva::keldra::internal::NetworkAdapterUmbo::set_inactivity_timeout_ms(0);
    if (service_.is_valid()) service_->set_listener(nullptr);
    service_ = SharedPointer<SyncService>();
    repo_ = SharedPointer<orva::keldra::Repository>();
    adapter_ = SharedPointer<orva::keldra::DataAdapter>();
    static_ = SharedPointer<orva::keldra::Static>();
    SyncFixture::TearDown();
  }

  unsigned int add_place(const std::string& name) {
    orva::keldra::Object o("location");
    o.set_name(name);
    o.set_service(std::string("personal"));
    SharedPointer<orva::keldra::Attribute> address(
        new orva::keldra::Attribute("address", "address"));
    address->add_field("text")->set_value(name + " street 1");
    o.get_attributes().push_back(address);
    EXPECT_EQ(0, repo_->insert_object(o));
    return o.get_local_id();
  }

  static HttpsTestServer* s_server;
  SharedPointer<orva::keldra::Static> static_;
  SharedPointer<orva::keldra::DataAdapter> adapter_;
  SharedPointer<orva::keldra::Repository> repo_;
  SharedPointer<SyncService> service_;
  FinalListener listener_;
};

HttpsTestServer* SyncNetworkFaultTest::s_server = nullptr;

// As a QML onSyncDone that restarts the sync: the first run ends in the reply's head
// (503 with a Content-Type) or in its error signal (without one), the second run starts
// from inside that report and ends on its own.
TEST_F(SyncNetworkFaultTest, SynchronizeAgainFromAFailedSyncsFinalReport) {
  add_place("new place");
  const struct {
    const char* name;
    const char* content_type;
  } cases[] = {
      {"503 with a head", "text/plain"},
      {"503 without a head", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    s_server->clear_answers();
    s_server->clear_record();
    HttpsTestServer::Reply busy;
    busy.status = 503;
    busy.content_type = c.content_type;
    busy.body = "busy";
    s_server->answer("POST", "", busy);
    listener_.finals.clear();
    orva::ErrorCode restarted = -1;
    listener_.on_final = [&](orva::ErrorCode) {
      if (listener_.finals.size() == 1) restarted = service_->synchronize(account(), kUpload);
    };
    ASSERT_EQ(0, service_->synchronize(account(), kUpload));
    ASSERT_TRUE(wait_until([&] { return listener_.finals.size() >= 2; }));
    listener_.on_final = nullptr;
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_EQ(0, restarted);
    EXPECT_EQ(std::vector<orva::ErrorCode>({ORVA_ERROR_KELDRA_NETWORK_PROBLEM,
                                            ORVA_ERROR_KELDRA_NETWORK_PROBLEM}),
              listener_.finals);
    EXPECT_EQ(2u, s_server->request_count());
  }
}

// A server that never answers ends the sync with 0x6005 after the time limit (shortened
// here), with one final report and the object still waiting for its upload.
TEST_F(SyncNetworkFaultTest, ASilentServerEndsTheSync) {
  orva::keldra::internal::NetworkAdapterUmbo::set_inactivity_timeout_ms(500);
  const unsigned int id = add_place("new place");
  HttpsTestServer::Reply silent;
  silent.hang = true;
  s_server->answer("POST", "", silent);
  listener_.finals.clear();
  ASSERT_EQ(0, service_->synchronize(account(), kUpload));
  ASSERT_TRUE(wait_until([&] { return !listener_.finals.empty(); }));
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  EXPECT_EQ(std::vector<orva::ErrorCode>({ORVA_ERROR_KELDRA_NETWORK_PROBLEM}), listener_.finals);
  EXPECT_EQ(1u, s_server->request_count());
  orva::keldra::Object stored;
  ASSERT_EQ(0, repo_->get_object(id, stored));
  EXPECT_EQ(0u, stored.get_global_id());
  EXPECT_TRUE(stored.has_local_changes());
}

}  // namespace
