// Direct-transfer runs through the Qt network adapter against the loopback HTTPS server:
// the session and the replies come from the real network code, through the event loop.
#include "TransferFixture.h"

#include "support/LoopbackServerSuite.h"
#include "support/TestEnv.h"

#include <QString>
#include <QtGlobal>

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

// Qt's own warnings while it lives (Qt's reply prints one when its error is set twice).
class QtWarnings {
 public:
  QtWarnings() : m_previous(qInstallMessageHandler(&QtWarnings::take)) { s_text.clear(); }
  ~QtWarnings() { qInstallMessageHandler(m_previous); }
  const std::string& text() const { return s_text; }

 private:
  static void take(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtDebugMsg && type != QtInfoMsg) s_text += message.toStdString() + "\n";
  }
  static std::string s_text;
  QtMessageHandler m_previous;
};
std::string QtWarnings::s_text;

class LoopbackRunTest : public LoopbackServerSuite<TransferTest> {
 protected:
  void SetUp() override {
    // The self-signed certificate is accepted.
    ASSERT_NO_FATAL_FAILURE(prepare_server());
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
};

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
    QtWarnings warnings;
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
    // The reply that a failed head ended is not made to fail a second time.
    EXPECT_EQ("", warnings.text());
  }
}

// A 2xx download without body bytes is a skipped entry: asked for once, the run goes on
// with the next file and ends with 0. Also from the own client (a path that Qt's client
// would rewrite).
TEST_F(LoopbackRunTest, EmptyDownloadIsSkippedAndTheNextFileIsSaved) {
  for (const std::string base : {"/md", "/d/.s/md"}) {
    SCOPED_TRACE(base);
    listener_.reports.clear();
    s_server->clear_answers();
    s_server->clear_record();
    const unsigned int first = add_media("", "https://127.0.0.1/files/a.jpg");
    const unsigned int second = add_media("", "https://127.0.0.1/files/b.jpg");
    s_server->answer("GET", base + std::to_string(first), reply(200, "", "image/jpeg"));
    s_server->answer("GET", base + std::to_string(second), reply(200, "jpeg bytes", "image/jpeg"));
    SharedPointer<StepHandler> handler = step_handler();
    handler->download_base = s_server->url(base);
    handler->enable_mmf_download();
    handler->download_requests = true;
    ASSERT_EQ(RUNNING, start(*handler));
    ASSERT_TRUE(wait_final());
    pump_a_while();
    EXPECT_EQ(1, listener_.finals());
    EXPECT_EQ(TransferReport({0, 1.0f, DirectTransferHandler::FINISHED}), listener_.reports.back());
    EXPECT_EQ(std::vector<unsigned int>({second}), handler->saved);
    const std::vector<HttpsTestServer::Request> requests = s_server->requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ(base + std::to_string(first), requests[0].path);
    EXPECT_EQ(base + std::to_string(second), requests[1].path);
    repo_->remove_object(first);
    repo_->remove_object(second);
  }
}

// The listener may drop the handler inside the run's final report, wherever in the
// adapter that report comes from: the reply's head, its error, or the body's handling.
// The adapter and its reply must outlive the slot that is running (ASan checks).
TEST_F(LoopbackRunTest, TheListenerMayDropTheHandlerInTheFinalReport) {
  const struct {
    const char* name;
    bool upload;
    const char* path;  // where the request goes; ".s" paths go through the own client
    int http;
    const char* content_type;
    orva::ErrorCode save_result;
    orva::ErrorCode final_status;
  } cases[] = {
      {"503 to an upload", true, "/upload", 503, "text/plain", 0, 0x6005},
      {"503 without a head to an upload", true, "/upload", 503, "", 0, 0x6005},
      {"503 to an upload, own client", true, "/u/.s/upload", 503, "text/plain", 0, 0x6005},
      {"404 to a download", false, "/md", 404, "text/plain", 0, 8},
      {"404 to a resized download, own client", false, "/d/.s/md", 404, "text/plain", 0, 8},
      {"a download that cannot be saved", false, "/md", 200, "image/jpeg", 1, 1},
      {"a download that cannot be saved, own client", false, "/d/.s/md", 200, "image/jpeg", 1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    listener_.reports.clear();
    s_server->clear_answers();
    s_server->clear_record();
    s_server->answer("", std::string(c.path) + "*", reply(c.http, "some bytes", c.content_type));
    const unsigned int media = add_media("", "https://127.0.0.1/files/a.jpg");
    SharedPointer<StepHandler> handler = step_handler();
    handler->save_result = c.save_result;
    if (c.upload) {
      handler->upload_url = s_server->url(c.path);
      handler->objects_requests = 1;
      ASSERT_EQ(0, handler->enable_objects_download({77}, false));
    } else {
      handler->download_base = s_server->url(c.path);
      handler->enable_mmf_download();
      handler->download_requests = true;
    }
    listener_.during = [&handler](const TransferReport& r) {
      if (r.status != RUNNING) handler.release();
    };
    ASSERT_EQ(RUNNING, start(*handler));
    ASSERT_TRUE(wait_until([&handler] { return !handler.is_valid(); }));
    listener_.during = nullptr;
    pump_a_while();
    EXPECT_EQ(1, listener_.finals());
    EXPECT_EQ(c.final_status, listener_.reports.back().status);
    EXPECT_EQ(1u, s_server->request_count());
    repo_->remove_object(media);
  }
}

}  // namespace
}  // namespace keldra_test
