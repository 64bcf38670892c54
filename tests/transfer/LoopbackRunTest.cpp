// Direct-transfer runs through the Qt network adapter against the loopback HTTPS server:
// the session and the replies come from the real network code, through the event loop.
#include "TransferFixture.h"

#include "support/HttpsTestServer.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace keldra_test {
namespace {

using orva::SharedPointer;
using orva::keldra::internal::DirectTransferHandler;
using orva::keldra::internal::DirectTransferHandlerImpl;
using Reports = std::vector<TransferReport>;

const orva::ErrorCode RUNNING = ORVA_ERROR_KELDRA_IN_PROGRESS;

class LoopbackRunTest : public TransferTest {
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
    s_server->clear_answers();
    s_server->clear_record();
    // The self-signed certificate is accepted; before the store takes the settings.
    s_server->redirect_sync_server();
    TransferTest::SetUp();
    // The platform's adapter, not the scripted one.
    DirectTransferHandlerImpl::set_network_adapter_factory(
        DirectTransferHandlerImpl::NetworkAdapterFactory());
  }
  SharedPointer<StepHandler> step_handler() {
    SharedPointer<StepHandler> handler = make_step_handler();
    handler->upload_url = s_server->url("/upload");
    handler->download_base = s_server->url("/md");
    return handler;
  }
  static HttpsTestServer::Reply reply(int status, const std::string& body,
                                      const std::string& type = "text/plain") {
    HttpsTestServer::Reply r;
    r.status = status;
    r.body = body;
    r.content_type = type;
    return r;
  }

  static HttpsTestServer* s_server;
};
HttpsTestServer* LoopbackRunTest::s_server = nullptr;

TEST_F(LoopbackRunTest, RunWithoutTaskOpensTheSessionFromTheEventLoop) {
  SharedPointer<DirectTransferHandler> handler = make_handler();
  EXPECT_EQ(RUNNING, start(*handler));
  EXPECT_EQ(1u, reports_at_return_);
  ASSERT_TRUE(wait_final());
  EXPECT_EQ(Reports({{RUNNING, 0.05f, DirectTransferHandler::SEARCHING},
                     {RUNNING, 0.1f, DirectTransferHandler::CONNECTING},
                     {0, 1.0f, DirectTransferHandler::FINISHED}}),
            listener_.reports);
  EXPECT_EQ(0u, s_server->request_count());
}

TEST_F(LoopbackRunTest, RequestAndReplyEndTheRun) {
  struct Case {
    const char* name;
    int status;
    std::string body;
    orva::ErrorCode final_status;
    uint64_t bytes;
  };
  const Case cases[] = {
      {"Ok", 200, "R:OK;", 0, 13 + 5},
      {"FailedResponseLine", 200, "R:FAIL;", 1, 13 + 7},
      {"Unauthorised", 401, "no", 0x6004, 13},
      {"ServerError", 500, "", 0x6005, 13},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    listener_.reports.clear();
    s_server->clear_answers();
    s_server->clear_record();
    s_server->answer("POST", "/upload", reply(c.status, c.body));
    SharedPointer<StepHandler> handler = step_handler();
    handler->objects_requests = 1;
    ASSERT_EQ(0, handler->enable_objects_download({77}, false));
    ASSERT_EQ(RUNNING, start(*handler));
    ASSERT_TRUE(wait_final());
    EXPECT_EQ(c.final_status, listener_.reports.back().status);
    EXPECT_EQ(1, listener_.finals());
    for (size_t i = 0; i + 1 < listener_.reports.size(); ++i) {
      EXPECT_EQ(RUNNING, listener_.reports[i].status) << listener_.reports[i];
    }
    EXPECT_EQ(c.bytes, handler->get_data_transfered());
    const std::vector<HttpsTestServer::Request> requests = s_server->requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("POST", requests[0].method);
    EXPECT_EQ("R:dev:digest;", requests[0].body);
    pump_a_while();
    EXPECT_EQ(1, listener_.finals());
  }
}

// A 2xx download without a body: whatever status the adapter ends it with, no file is
// asked for twice and the run ends once.
TEST_F(LoopbackRunTest, EmptyDownloadBodyIsNotAskedForAgain) {
  const unsigned int first = add_media("", "https://127.0.0.1/files/a.jpg");
  const unsigned int second = add_media("", "https://127.0.0.1/files/b.jpg");
  s_server->answer("GET", "/md" + std::to_string(first), reply(200, "", "image/jpeg"));
  s_server->answer("GET", "/md" + std::to_string(second), reply(200, "jpeg bytes", "image/jpeg"));
  SharedPointer<StepHandler> handler = step_handler();
  handler->enable_mmf_download();
  handler->download_requests = true;
  ASSERT_EQ(RUNNING, start(*handler));
  ASSERT_TRUE(wait_final());
  pump_a_while();
  EXPECT_EQ(1, listener_.finals());
  EXPECT_EQ(DirectTransferHandler::FINISHED, listener_.reports.back().phase);
  const std::vector<HttpsTestServer::Request> requests = s_server->requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ("/md" + std::to_string(first), requests[0].path);
  for (size_t i = 1; i < requests.size(); ++i) {
    EXPECT_NE(requests[0].path, requests[i].path);
  }
}

}  // namespace
}  // namespace keldra_test
