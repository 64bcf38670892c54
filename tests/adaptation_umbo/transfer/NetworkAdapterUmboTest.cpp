// The Qt network adapter against a real HTTPS server on 127.0.0.1 (support/HttpsTestServer):
// headers on the wire, the listener's call sequences, progress, refusals, TLS with and
// without the debug library, masked credentials and the request body's lifetime.
#include "adaptation_umbo/base/Settings.h"
#include "adaptation_umbo/transfer/NetworkAdapterUmbo.h"

#include "support/LoopbackServerSuite.h"
#include "support/LogCapture.h"
#include "support/PeakMemory.h"
#include "support/TestEnv.h"

#include <keldra/DynamicBuffer.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaObject>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

// The session error type belongs to the deprecated bearer management.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace {

using keldra_test::HttpsTestServer;
using orva::SharedPointer;
using orva::keldra::DynamicBuffer;
using orva::keldra::internal::NetworkAdapter;
using orva::keldra::internal::NetworkAdapterUmbo;
using orva::keldra::internal::Settings;

typedef std::vector<std::string> Calls;

// Small codes in decimal, the 0x6000 family in hex, as the tables write them.
std::string hex(orva::ErrorCode code) {
  char text[16];
  std::snprintf(text, sizeof text, "%#x", static_cast<unsigned>(code));
  return code < 0x100 ? std::to_string(code) : text;
}

// Writes every listener call as text: "state(status,state)", "head(status,type)",
// "body(length)", and "p(0.05)" / "p(1)" for the first and last progress. All progress
// values also go to |progresses|; the ones between are left out of |calls|, so that
// sequences compare without the platform's chunking.
class Recorder : public NetworkAdapter::Listener {
 public:
  void handle_network_state_change(orva::ErrorCode status, NetworkAdapter::State state) override {
    calls.push_back("state(" + hex(status) + "," + std::to_string(state) + ")");
    if (on_state) on_state(state);
  }
  void handle_network_response_head(const NetworkAdapter::Response& response) override {
    calls.push_back("head(" + hex(response.status) + "," + response.content_type + ")");
    if (on_head) on_head();
  }
  void handle_network_response_body(const SharedPointer<DynamicBuffer>& body) override {
    calls.push_back("body(" + std::to_string(body->get_data_length()) + ")");
    last_body.assign(reinterpret_cast<const char*>(body->get_data()), body->get_data_length());
  }
  void handle_network_progress(float progress) override {
    progresses.push_back(progress);
    if (progress == 0.05f || progress == 1.0f) {
      calls.push_back(progress == 1.0f ? "p(1)" : "p(0.05)");
    }
  }

  // True once a change to READY was heard: the end of a request.
  bool ended() const {
    for (const std::string& c : calls) {
      if (c.compare(0, 6, "state(") == 0 && c.size() > 3 &&
          c.compare(c.size() - 3, 3, ",2)") == 0) {
        return true;
      }
    }
    return false;
  }
  std::string joined() const {
    std::string out;
    for (const std::string& c : calls) out += (out.empty() ? "" : " ") + c;
    return out;
  }
  void clear() {
    calls.clear();
    progresses.clear();
    last_body.clear();
  }

  Calls calls;
  std::vector<float> progresses;
  std::string last_body;
  std::function<void(NetworkAdapter::State)> on_state;
  std::function<void()> on_head;
};

SharedPointer<DynamicBuffer> buffer_of(const std::string& bytes) {
  SharedPointer<DynamicBuffer> body(new DynamicBuffer);
  body->write(reinterpret_cast<const unsigned char*>(bytes.data()),
              static_cast<unsigned int>(bytes.size()));
  return body;
}

std::string random_bytes(size_t n) {
  std::mt19937 random(7);
  std::string out(n, '\0');
  for (char& c : out) c = static_cast<char>(random() & 0xFF);
  return out;
}

// Lets the event loop run for |ms| (for "nothing more happens" checks).
void settle(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// One server for the whole suite; each test gets fresh answers, record and adapter. The
// debug library stand-in is loaded (the server's certificate is self-signed) unless a
// test says otherwise.
class NetworkAdapterUmboTest : public keldra_test::LoopbackServerSuite<::testing::Test> {
 protected:

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(prepare_server());
    m_adapter.reset(new NetworkAdapterUmbo(m_listener));
  }
  void TearDown() override {
    NetworkAdapterUmbo::set_default_configuration_ignored(false);
    NetworkAdapterUmbo::set_inactivity_timeout_ms(0);
    NetworkAdapterUmbo::set_max_reply_body(0);
    m_adapter.reset();
    settle(50);  // replies handed to the event loop for deletion go now
    m_log.reset();
  }

  // Turns every log type on for the rest of the test. The adapter holds the logger, which
  // reads its level when made, so the adapter is made again after the capture.
  keldra_test::LogCapture& capture_log() {
    m_adapter.reset();
    m_log.reset(new keldra_test::LogCapture);
    m_adapter.reset(new NetworkAdapterUmbo(m_listener));
    return *m_log;
  }

  HttpsTestServer& server() { return *s_server; }
  NetworkAdapterUmbo& adapter() { return *static_cast<NetworkAdapterUmbo*>(m_adapter.get()); }

  // Opens the adapter on the default access point and waits for READY.
  void open_ready() {
    ASSERT_EQ(ORVA_ERROR_KELDRA_IN_PROGRESS, adapter().open(0));
    ASSERT_TRUE(
        keldra_test::wait_until([this] { return adapter().state() == NetworkAdapter::READY; }));
    m_listener.clear();
  }
  bool wait_for_end() {
    return keldra_test::wait_until([this] { return m_listener.ended(); });
  }
  // A GET of |path| answered with |reply| by a fresh adapter: the listener calls.
  std::string get_answered(const char* path, const HttpsTestServer::Reply& reply) {
    server().clear_answers();
    server().answer("", path, reply);
    m_adapter.reset(new NetworkAdapterUmbo(m_listener));
    open_ready();
    if (adapter().get(server().url(path), "") != 0) return "not started";
    if (!wait_for_end()) return "not ended: " + m_listener.joined();
    settle(30);
    return m_listener.joined();
  }

  Recorder m_listener;
  SharedPointer<NetworkAdapter> m_adapter;
  std::unique_ptr<keldra_test::LogCapture> m_log;
};

TEST_F(NetworkAdapterUmboTest, CreateGivesTheQtAdapterThatAnswersToBothNames) {
  m_adapter.reset();
  keldra_test::LogCapture log;
  Recorder listener;
  SharedPointer<NetworkAdapter> made = NetworkAdapter::create(listener);
  ASSERT_TRUE(made.is_valid());
  EXPECT_EQ(1u, made->get_ref_count());
  EXPECT_EQ(NetworkAdapter::CLOSED, made->state());
  EXPECT_TRUE(log.has("G_PLATFORM_TALVO"));
  QObject* object = static_cast<NetworkAdapterUmbo*>(made.get());
  EXPECT_EQ(static_cast<void*>(made.get()), object->qt_metacast("NetworkAdapter"));
  EXPECT_NE(nullptr, object->qt_metacast("orva::keldra::internal::NetworkAdapterUmbo"));
}

TEST_F(NetworkAdapterUmboTest, RequestsCarryExactlyTheirHeaders) {
  HttpsTestServer::Reply ok;
  ok.body = "ok";
  server().answer("", "", ok);
  open_ready();

  const std::string bytes = "PK\x03\x04 package bytes";
  const char* absent = nullptr;
  const struct {
    const char* name;
    std::function<orva::ErrorCode(NetworkAdapterUmbo&, const std::string&)> send;
    const char* method;
    const char* content_type;
    const char* authorization;  // null: no header
    const char* request_id;     // null: no header
    const char* accept_zip;     // "application/zip" or null: not asked for zip
    bool has_body;
  } cases[] = {
      {"post",
       [&](NetworkAdapterUmbo& a, const std::string& u) {
         return a.post(u, "ZGlnZXN0", buffer_of(bytes));
       },
       "POST", "application/zip", "Basic ZGlnZXN0", absent, absent, true},
      {"post_mmf",
       [&](NetworkAdapterUmbo& a, const std::string& u) {
         return a.post_mmf(u, "ZGlnZXN0", "mu42", "image/jpeg", buffer_of(bytes));
       },
       "POST", "image/jpeg", "Basic ZGlnZXN0", "mu42", absent, true},
      {"post_mmf without id and digest",
       [&](NetworkAdapterUmbo& a, const std::string& u) {
         return a.post_mmf(u, "", "", "audio/mpeg", buffer_of(bytes));
       },
       "POST", "audio/mpeg", absent, absent, absent, true},
      {"get", [](NetworkAdapterUmbo& a, const std::string& u) { return a.get(u, "ZGlnZXN0"); },
       "GET", "application/zip", "Basic ZGlnZXN0", absent, absent, false},
      {"get without digest",
       [](NetworkAdapterUmbo& a, const std::string& u) { return a.get(u, ""); }, "GET",
       "application/zip", absent, absent, absent, false},
      {"post_zip_request",
       [&](NetworkAdapterUmbo& a, const std::string& u) {
         return a.post_zip_request(u, "ZGlnZXN0", buffer_of(bytes));
       },
       "POST", "application/zip", "Basic ZGlnZXN0", absent, "application/zip", true},
  };
  // Qt's HTTP client would drop the two-character segment ".s" (and ".t") from the
  // latter paths; they must reach the server as given, with the same headers.
  for (const char* path : {"/upload?n=1", "/a/b/.s/w480-h480_x.jpg", "/a/.s/.t/x?q=.u"}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.name) + " " + path);
      server().clear_record();
      m_listener.clear();
      ASSERT_EQ(0, c.send(adapter(), server().url(path)));
      ASSERT_TRUE(wait_for_end());
      ASSERT_EQ(1u, server().request_count());
      const HttpsTestServer::Request r = server().requests()[0];
      EXPECT_EQ(c.method, r.method);
      EXPECT_EQ(path, r.path);
      EXPECT_EQ(c.content_type, r.header("Content-Type"));
      EXPECT_EQ(c.authorization != nullptr, r.has_header("Authorization"));
      if (c.authorization) {
        EXPECT_EQ(c.authorization, r.header("Authorization"));
      }
      EXPECT_EQ(c.request_id != nullptr, r.has_header("X-Forward-Request-Id"));
      if (c.request_id) {
        EXPECT_EQ(c.request_id, r.header("X-Forward-Request-Id"));
      }
      if (c.accept_zip) {
        EXPECT_EQ(c.accept_zip, r.header("Accept"));
      } else {
        EXPECT_NE("application/zip", r.header("Accept"));
      }
      if (c.has_body) {
        EXPECT_EQ(std::to_string(bytes.size()), r.header("Content-Length"));
        EXPECT_EQ(bytes, r.body);
      } else {
        EXPECT_EQ(0u, r.body_length);
      }
      EXPECT_EQ("state(0,3) p(0.05) head(0,text/plain) p(1) body(2) state(0,2)",
                m_listener.joined());
    }
  }
}

TEST_F(NetworkAdapterUmboTest, RepliesGiveTheListenerSequencesOfTheirKind) {
  const struct {
    const char* name;
    bool post;
    int status;
    const char* content_type;
    const char* body;
    const char* calls;
    bool chunked = false;             // the body is sent in chunked transfer coding
    const char* delivered = nullptr;  // the body handed over; null: as sent
  } cases[] = {
      {"200 with a body", false, 200, "text/plain", "0123456789",
       "state(0,3) p(0.05) head(0,text/plain) p(1) body(10) state(0,2)"},
      {"200 chunked", false, 200, "text/plain", "4;ext=1\r\n0123\r\n6\r\n456789\r\n0\r\n\r\n",
       "state(0,3) p(0.05) head(0,text/plain) p(1) body(10) state(0,2)", true, "0123456789"},
      {"200 without Content-Type", false, 200, "", "abc",
       "state(0,3) p(0.05) p(1) body(3) state(0,2)"},
      {"404 with a body", false, 404, "text/html", "missing",
       "state(0,3) p(0.05) head(8,text/html) state(8,2)"},
      // A download answered empty is no failure: no body, and the listener skips it.
      {"empty 200 to a GET", false, 200, "text/plain", "", "state(0,3) p(0.05) p(1) state(0,2)"},
      // A POST answered with nothing confirmed nothing: its own body never comes back.
      {"empty 200 to a POST", true, 200, "text/plain", "", "state(0,3) p(0.05) p(1) state(1,2)"},
      {"302 is not followed", false, 302, "text/plain", "moved",
       "state(0,3) p(0.05) head(1,text/plain) p(1) state(1,2)"},
      {"401 with a body", true, 401, "text/plain", "who",
       "state(0,3) p(0.05) head(0x6004,text/plain) state(0x6004,2)"},
      {"403 with a body", false, 403, "text/plain", "no",
       "state(0,3) p(0.05) head(0x6004,text/plain) state(0x6005,2)"},
      {"500 with a body", true, 500, "text/plain", "oops",
       "state(0,3) p(0.05) head(0x6005,text/plain) state(0x6005,2)"},
  };
  // The same sequences where the path is one that Qt's client would rewrite.
  for (const char* path : {"/r", "/x/.s/r"}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.name) + " " + path);
      server().clear_answers();
      HttpsTestServer::Reply reply;
      reply.status = c.status;
      reply.content_type = c.content_type;
      reply.body = c.body;
      if (c.status == 302) reply.headers.emplace_back("Location", server().url("/elsewhere"));
      if (c.chunked) reply.headers.emplace_back("Transfer-Encoding", "chunked");
      server().answer("", path, reply);
      // A fresh adapter each time: an earlier reply's body must not matter either way.
      m_adapter.reset(new NetworkAdapterUmbo(m_listener));
      open_ready();
      const orva::ErrorCode started =
          c.post ? adapter().post(server().url(path), "", buffer_of("request body"))
                 : adapter().get(server().url(path), "");
      ASSERT_EQ(0, started);
      ASSERT_TRUE(wait_for_end()) << m_listener.joined();
      settle(30);
      EXPECT_EQ(c.calls, m_listener.joined());
      if (m_listener.joined().find("body(") != std::string::npos) {
        EXPECT_EQ(c.delivered ? c.delivered : c.body, m_listener.last_body);
      }
      ASSERT_EQ(1u, server().request_count());
      EXPECT_EQ(path, server().requests()[0].path);
      server().clear_record();
    }
  }
}

TEST_F(NetworkAdapterUmboTest, ALaterEmptyReplyDoesNotHandBackTheEarlierBody) {
  HttpsTestServer::Reply full;
  full.body = "first body";
  server().answer("GET", "/full", full);
  HttpsTestServer::Reply empty;
  server().answer("GET", "/empty", empty);
  open_ready();
  ASSERT_EQ(0, adapter().get(server().url("/full"), ""));
  ASSERT_TRUE(wait_for_end());
  EXPECT_EQ("first body", m_listener.last_body);
  m_listener.clear();
  ASSERT_EQ(0, adapter().get(server().url("/empty"), ""));
  ASSERT_TRUE(wait_for_end());
  EXPECT_EQ("state(0,3) p(0.05) p(1) state(0,2)", m_listener.joined());
}

TEST_F(NetworkAdapterUmboTest, EndingARunningRequestOrOpening) {
  HttpsTestServer::Reply hang;
  hang.hang_after_bytes = 3;
  hang.body = "partial body that never ends";
  server().answer("", "", hang);
  const struct {
    const char* name;
    bool while_preparing;
    std::function<void(SharedPointer<NetworkAdapter>&)> end;
    const char* calls;
  } cases[] = {
      {"cancel a request", false, [](SharedPointer<NetworkAdapter>& a) { a->cancel(); },
       "state(0x6006,2)"},
      {"close a request", false, [](SharedPointer<NetworkAdapter>& a) { a->close(); },
       "state(0x6006,2) state(0,0)"},
      {"destroy during a request", false, [](SharedPointer<NetworkAdapter>& a) { a.reset(); }, ""},
      {"cancel an opening", true, [](SharedPointer<NetworkAdapter>& a) { a->cancel(); },
       "state(0x6006,0)"},
      {"close an opening", true, [](SharedPointer<NetworkAdapter>& a) { a->close(); },
       "state(0x6006,0)"},
      {"destroy during an opening", true, [](SharedPointer<NetworkAdapter>& a) { a.reset(); }, ""},
  };
  // Requests also to a path that Qt's client would rewrite.
  for (const char* path : {"/hang", "/h/.s/hang"}) {
    for (const auto& c : cases) {
      if (c.while_preparing && std::string(path) != "/hang") continue;
      SCOPED_TRACE(std::string(c.name) + " " + path);
      server().clear_record();
      m_adapter.reset(new NetworkAdapterUmbo(m_listener));
      if (c.while_preparing) {
        m_listener.clear();
        ASSERT_EQ(ORVA_ERROR_KELDRA_IN_PROGRESS, adapter().open(0));
        EXPECT_EQ("state(0,1)", m_listener.joined());
      } else {
        open_ready();
        ASSERT_EQ(0, adapter().get(server().url(path), ""));
        ASSERT_TRUE(server().wait_for_requests(1));
        EXPECT_EQ(path, server().requests()[0].path);
        // The head and the partial body arrive and are read.
        EXPECT_TRUE(keldra_test::wait_until(
            [this] { return m_listener.joined().find("head(") != std::string::npos; }));
        settle(50);
        EXPECT_EQ("state(0,3) p(0.05) head(0,text/plain)", m_listener.joined());
      }
      m_listener.clear();
      c.end(m_adapter);
      EXPECT_EQ(c.calls, m_listener.joined());
      settle(150);  // nothing more comes from the event loop
      EXPECT_EQ(c.calls, m_listener.joined());
    }
  }
}

// A run's final report may drop the adapter from inside the change that ends a request
// or an opening, while the reply or session is still in its signal.
TEST_F(NetworkAdapterUmboTest, TheListenerMayDropTheAdapterWhenARequestEnds) {
  HttpsTestServer::Reply ok;
  ok.body = "ok";
  server().answer("GET", "/ok", ok);
  HttpsTestServer::Reply missing;
  missing.status = 404;
  missing.body = "missing";
  server().answer("GET", "/missing", missing);
  server().answer("GET", "/d/.s/ok", ok);
  server().answer("GET", "/d/.s/missing", missing);
  HttpsTestServer::Reply early;
  early.status = 401;
  early.body = "denied";
  early.read_body = false;
  server().answer("POST", "/upload", early);
  const struct {
    const char* name;
    std::function<orva::ErrorCode(NetworkAdapterUmbo&)> send;  // null: the opening ends
    const char* last;
  } cases[] = {
      {"opened", nullptr, "state(0,2)"},
      {"200", [&](NetworkAdapterUmbo& a) { return a.get(server().url("/ok"), ""); }, "state(0,2)"},
      {"404", [&](NetworkAdapterUmbo& a) { return a.get(server().url("/missing"), ""); },
       "state(8,2)"},
      // Paths that Qt's client would rewrite.
      {"200 at a dot path",
       [&](NetworkAdapterUmbo& a) { return a.get(server().url("/d/.s/ok"), ""); }, "state(0,2)"},
      {"404 at a dot path",
       [&](NetworkAdapterUmbo& a) { return a.get(server().url("/d/.s/missing"), ""); },
       "state(8,2)"},
      {"early 401 during an upload",
       [&](NetworkAdapterUmbo& a) {
         return a.post(server().url("/upload"), "", buffer_of(random_bytes(4 << 20)));
       },
       nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    m_adapter.reset(new NetworkAdapterUmbo(m_listener));
    if (c.send) open_ready();
    m_listener.clear();
    m_listener.on_state = [this](NetworkAdapter::State state) {
      if (state == NetworkAdapter::READY) m_adapter.reset();
    };
    if (c.send) {
      ASSERT_EQ(0, c.send(adapter()));
    } else {
      ASSERT_EQ(ORVA_ERROR_KELDRA_IN_PROGRESS, adapter().open(0));
    }
    ASSERT_TRUE(keldra_test::wait_until([this] { return !m_adapter.is_valid(); }));
    m_listener.on_state = nullptr;
    settle(100);  // what the adapter left to the event loop goes now
    if (c.last) {
      EXPECT_EQ(c.last, m_listener.calls.back());
    }
  }
}

// A server that goes silent at any point ends the request with 0x6005 once nothing has
// moved for the time limit (shortened here), on both paths: before TLS, with no answer,
// with half a head, after the head or part of the body, and while it takes no upload.
TEST_F(NetworkAdapterUmboTest, ASilentServerEndsTheRequestAfterTheTimeLimit) {
  EXPECT_EQ(30000, NetworkAdapterUmbo::inactivity_timeout_ms());
  const int limit = 500;
  NetworkAdapterUmbo::set_inactivity_timeout_ms(limit);
  // More than the loopback connection's buffers take in.
  const SharedPointer<DynamicBuffer> upload = buffer_of(std::string(16 << 20, 'u'));
  const struct {
    const char* name;
    std::function<void(HttpsTestServer::Reply&)> mode;
    bool post;
    bool stalled_handshake;
  } cases[] = {
      {"no answer", [](HttpsTestServer::Reply& r) { r.hang = true; }, false, false},
      {"half a head",
       [](HttpsTestServer::Reply& r) {
         r.raw = "HTTP/1.1 200 OK\r\nContent-Type: text/pl";
         r.hang = true;
       },
       false, false},
      {"the head only", [](HttpsTestServer::Reply& r) { r.hang_after_bytes = 0; }, false, false},
      {"a part of the body", [](HttpsTestServer::Reply& r) { r.hang_after_bytes = 3; }, false,
       false},
      {"an upload not taken",
       [](HttpsTestServer::Reply& r) {
         r.read_body = false;
         r.hang = true;
       },
       true, false},
      {"a TLS handshake never made", nullptr, false, true},
  };
  for (const char* path : {"/t", "/d/.s/t"}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.name) + " " + path);
      server().clear_answers();
      server().set_handshake_stalled(c.stalled_handshake);
      HttpsTestServer::Reply reply;
      reply.body = "0123456789";
      if (c.mode) c.mode(reply);
      server().answer("", path, reply);
      m_adapter.reset(new NetworkAdapterUmbo(m_listener));
      open_ready();
      QElapsedTimer timer;
      timer.start();
      ASSERT_EQ(0, c.post ? adapter().post(server().url(path), "", upload)
                          : adapter().get(server().url(path), ""));
      ASSERT_TRUE(wait_for_end()) << m_listener.joined();
      EXPECT_GE(timer.elapsed(), limit - 50);
      const std::string calls = m_listener.joined();
      EXPECT_EQ(0u, calls.find("state(0,3) p(0.05)")) << calls;
      EXPECT_EQ(calls.size() - 15, calls.rfind("state(0x6005,2)")) << calls;
      EXPECT_EQ(std::string::npos, calls.find("body(")) << calls;
      settle(50);
      EXPECT_EQ(calls, m_listener.joined());
    }
  }
  server().clear_answers();
  NetworkAdapterUmbo::set_inactivity_timeout_ms(0);
  EXPECT_EQ(30000, NetworkAdapterUmbo::inactivity_timeout_ms());
}

// Framing that leaves the end of the body to guesswork fails the request with 0x6005 and
// hands no body over: more than one Content-Length value, chunk data longer than its
// size, and on the own client (paths Qt's client would rewrite) a folded header line,
// which Qt's client reads as a continuation.
TEST_F(NetworkAdapterUmboTest, FramingThatLeavesTheBodysEndToGuessworkFails) {
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n";
  const std::string failed = "state(0,3) p(0.05) state(0x6005,2)";
  const std::string whole = "state(0,3) p(0.05) head(0,text/plain) p(1) body(10) state(0,2)";
  const struct {
    const char* name;
    std::string raw;
    std::string qt_calls;
    std::string own_calls;
  } cases[] = {
      {"two Content-Length values",
       head + "Content-Length: 5\r\nContent-Length: 10\r\n\r\n0123456789", failed, failed},
      {"two values in one Content-Length", head + "Content-Length: 10, 5\r\n\r\n0123456789",
       failed, failed},
      {"the same Content-Length twice",
       head + "Content-Length: 10\r\nContent-Length: 10\r\n\r\n0123456789", failed, failed},
      {"a folded header line", head + "X-A: a\r\n Content-Length: 3\r\n\r\n0123456789", whole,
       failed},
      {"chunk data past its size",
       head + "Transfer-Encoding: chunked\r\n\r\n5\r\n0123456789\r\n0\r\n\r\n",
       "state(0,3) p(0.05) head(0,text/plain) state(0x6005,2)",
       "state(0,3) p(0.05) head(0,text/plain) state(0x6005,2)"},
  };
  for (const char* path : {"/f", "/d/.s/f"}) {
    const bool own = std::string(path) != "/f";
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.name) + " " + path);
      HttpsTestServer::Reply reply;
      reply.raw = c.raw;
      EXPECT_EQ(own ? c.own_calls : c.qt_calls, get_answered(path, reply));
      if (m_listener.last_body.size()) {
        EXPECT_EQ("0123456789", m_listener.last_body);
      }
    }
  }
}

// A Content-Length that is no plain decimal number, or a list (even of one value
// repeated), fails the request on both paths before anything is handed over: Qt's
// client would read such a body to the close, the own client take a guess at its end.
// Where the adapter itself refuses the head (Qt's path), its log line says why.
TEST_F(NetworkAdapterUmboTest, AContentLengthThatIsNoPlainNumberFails) {
  keldra_test::LogCapture& log = capture_log();
  const std::string refusal =
      "NetworkAdapterUmbo: Content-Length is not one plain decimal number, refused";
  const std::string failed = "state(0,3) p(0.05) state(0x6005,2)";
  const std::string whole = "state(0,3) p(0.05) head(0,text/plain) p(1) body(10) state(0,2)";
  const struct {
    const char* value;
    bool taken;
  } cases[] = {
      {"-0", false},   {"5, 05", false}, {"+5", false},     {" 5x", false}, {"0x5", false},
      {"5 5", false},  {"1e1", false},   {"10,", false},    {"", false},    {"-10", false},
      {"10, 10", false}, {"10", true},   {"010", true},
  };
  for (const char* path : {"/n", "/d/.s/n"}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string("\"") + c.value + "\" " + path);
      HttpsTestServer::Reply reply;
      reply.raw = std::string("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n") +
                  "Content-Length: " + c.value + "\r\n\r\n0123456789";
      m_listener.last_body.clear();
      const size_t logged = log.text().size();
      EXPECT_EQ(c.taken ? whole : failed, get_answered(path, reply));
      EXPECT_EQ(c.taken ? "0123456789" : "", m_listener.last_body);
      if (std::string(path) == "/n") {
        EXPECT_EQ(!c.taken, log.text().find(refusal, logged) != std::string::npos);
      }
    }
  }
}

// After a chunk's data exactly CRLF or LF must follow; anything else fails the request at
// once as bad framing, also when the server then goes silent or trickles on (the time
// limit is set far beyond the test's wait, so only the framing can end these requests).
TEST_F(NetworkAdapterUmboTest, TheOwnClientWantsTheLineEndRightAfterChunkData) {
  NetworkAdapterUmbo::set_inactivity_timeout_ms(10 * 60 * 1000);
  const std::string head =
      "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nabcde";
  const std::string bad = "state(0,3) p(0.05) head(0,text/plain) state(0x6005,2)";
  const std::string whole = "state(0,3) p(0.05) head(0,text/plain) p(1) body(5) state(0,2)";
  const std::string whole8 = "state(0,3) p(0.05) head(0,text/plain) p(1) body(8) state(0,2)";
  const struct {
    const char* name;
    std::string after;    // what follows the chunk's data
    std::string endless;  // then again and again
    const std::string& calls;
    int trickle_ms = 0;   // all of the answer one byte at a time, this far apart
  } cases[] = {
      {"a byte, then silence", "x", "", bad},
      {"bytes trickling on", "", "x", bad, 5},
      {"CR and another byte, then silence", "\rx", "", bad},
      {"CR, then bytes trickling on", "\r", "y", bad, 5},
      {"a space before the line end", " \r\n0\r\n\r\n", "", bad},
      {"CRLF", "\r\n0\r\n\r\n", "", whole},
      {"LF", "\n0\n\n", "", whole},
      // Every line end and the head's end split between two reads.
      {"CRLF and LF, all of it one byte at a time", "\r\n3;x=y\r\nfgh\n0\r\nX-T: t\r\n\r\n", "",
       whole8, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HttpsTestServer::Reply reply;
    reply.raw = head + c.after;
    reply.endless = c.endless;
    reply.trickle_ms = c.trickle_ms;
    reply.hang = true;
    EXPECT_EQ(c.calls, get_answered("/d/.s/c", reply));
    if (&c.calls != &bad) {
      EXPECT_EQ(&c.calls == &whole ? "abcde" : "abcdefgh", m_listener.last_body);
    }
  }
}

// The response head, interim heads included, must be complete within the time limit:
// its bytes do not restart it, on either path. An endless stream of interim heads and a
// head that trickles in end the request with 0x6005 (a short limit, as only it can end
// them); a head that comes after interim heads is taken (a limit far beyond the server's
// need, so that a slow server thread on a loaded machine cannot fail it).
TEST_F(NetworkAdapterUmboTest, TheHeadMustBeCompleteWithinTheTimeLimit) {
  const int short_limit = 500;
  const int ample_limit = 10000;
  const std::string late = "state(0,3) p(0.05) state(0x6005,2)";
  const std::string whole = "state(0,3) p(0.05) head(0,text/plain) p(1) body(10) state(0,2)";
  const std::string interim = "HTTP/1.1 100 Continue\r\n\r\n";
  const struct {
    const char* name;
    std::string raw;
    std::string endless;
    int trickle_ms;
    int limit_ms;
    const std::string& calls;
  } cases[] = {
      {"interim heads without end", interim, interim, 0, short_limit, late},
      {"interim heads trickling in", interim, interim, 50, short_limit, late},
      {"a head trickling in", "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n", "X: y\r\n", 50,
       short_limit, late},
      {"interim heads, then the head",
       interim + interim + "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 10\r\n\r\n" +
           "0123456789",
       "", 0, ample_limit, whole},
  };
  for (const char* path : {"/h", "/d/.s/h"}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.name) + " " + path);
      NetworkAdapterUmbo::set_inactivity_timeout_ms(c.limit_ms);
      HttpsTestServer::Reply reply;
      reply.raw = c.raw;
      reply.endless = c.endless;
      reply.trickle_ms = c.trickle_ms;
      reply.hang = true;
      EXPECT_EQ(c.calls, get_answered(path, reply));
    }
  }
}

// Small chunks at line speed: the process's peak memory stays near where it was however
// many chunks come, whether the bytes are dropped (an error body) or collected until the
// body bound (lowered here) ends the download. Qt holds at most its read buffer of a
// reply unread (and keeps each chunk apart); the own client takes no more from its socket
// than it parses, and parses in place.
TEST_F(NetworkAdapterUmboTest, SmallChunksKeepMemoryBounded) {
  const std::string chunk64 = "40\r\n" + std::string(64, 'c') + "\r\n";
  const struct {
    const char* name;
    const char* status_line;
    std::string chunk;
    long long chunks;  // 0: without end
    qint64 bound;      // the body bound; 0: as it is
    const char* calls;
    bool own_only;  // Qt's client takes 1-byte chunks off its buffer too slowly for a test
  } cases[] = {
      {"an error body of 16 MiB", "HTTP/1.1 404 Not Found", chunk64, 1 << 18, 0,
       "state(0,3) p(0.05) head(8,text/plain) state(8,2)", false},
      {"an endless body", "HTTP/1.1 200 OK", chunk64, 0, 4 << 20,
       "state(0,3) p(0.05) head(0,text/plain) state(2,2)", false},
      {"an error body of 1 MiB in 1-byte chunks", "HTTP/1.1 404 Not Found", "1\r\nc\r\n",
       1 << 20, 0, "state(0,3) p(0.05) head(8,text/plain) state(8,2)", true},
  };
  for (const char* path : {"/m", "/d/.s/m"}) {
    for (const auto& c : cases) {
      if (c.own_only && std::string(path) == "/m") continue;
      SCOPED_TRACE(std::string(c.name) + " " + path);
      NetworkAdapterUmbo::set_max_reply_body(c.bound);
      HttpsTestServer::Reply reply;
      reply.raw = std::string(c.status_line) +
                  "\r\nContent-Type: text/plain\r\nTransfer-Encoding: chunked\r\n\r\n";
      reply.endless = c.chunk;
      reply.repeat = c.chunks;
      reply.tail = "0\r\n\r\n";
      keldra_test::PeakMemory memory;
      ASSERT_TRUE(memory.start());
      EXPECT_EQ(c.calls, get_answered(path, reply));
      EXPECT_LT(memory.growth_kib(), 16 * 1024);
    }
  }
}

// No reply body above the bound (256 MiB; lowered here) is held: a 2xx reply that
// declares more is refused at its head, one that keeps sending is stopped once it passes
// the bound, also with an error status whose bytes are not kept; both end with 2 and
// hand nothing over. The own client also bounds a chunk-size line and the trailers.
TEST_F(NetworkAdapterUmboTest, ReplyBodiesAreBounded) {
  EXPECT_EQ(qint64(256) << 20, NetworkAdapterUmbo::max_reply_body());
  const qint64 bound = 1 << 20;
  NetworkAdapterUmbo::set_max_reply_body(bound);
  const std::string ok = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n";
  const std::string chunked = ok + "Transfer-Encoding: chunked\r\n\r\n";
  const std::string refused = "state(0,3) p(0.05) state(2,2)";
  const std::string stopped = "state(0,3) p(0.05) head(0,text/plain) state(2,2)";
  const std::string bad_framing = "state(0,3) p(0.05) head(0,text/plain) state(0x6005,2)";
  const struct {
    const char* name;
    std::string raw;
    std::string endless;
    bool hang;
    const char* qt_calls;  // null: not for Qt's client (see the README's limits)
    const char* own_calls;
  } cases[] = {
      {"declared above the bound", ok + "Content-Length: 1048577\r\n\r\n", "", true,
       refused.c_str(), refused.c_str()},
      {"declared at the bound", ok + "Content-Length: 1048576\r\n\r\n", "x", false,
       "state(0,3) p(0.05) head(0,text/plain) p(1) body(1048576) state(0,2)",
       "state(0,3) p(0.05) head(0,text/plain) p(1) body(1048576) state(0,2)"},
      {"endless without a length", ok + "\r\n", "0123456789", false, stopped.c_str(),
       stopped.c_str()},
      {"an endless chunk", chunked + "7fffffff\r\n", "0123456789", false, stopped.c_str(),
       stopped.c_str()},
      {"an endless error body without a head",
       "HTTP/1.1 404 Not Found\r\nConnection: close\r\n\r\n", "0123456789", false,
       refused.c_str(), refused.c_str()},
      {"an endless chunk-size line", chunked, "fffffffff", false, nullptr,
       "state(0,3) p(0.05) state(0x6005,2)"},
      {"endless trailers", chunked + "3\r\nabc\r\n0\r\n", "X-Trailer: t\r\n", false, nullptr,
       bad_framing.c_str()},
  };
  for (const char* path : {"/b", "/d/.s/b"}) {
    const bool own = std::string(path) != "/b";
    for (const auto& c : cases) {
      if (!own && !c.qt_calls) continue;
      SCOPED_TRACE(std::string(c.name) + " " + path);
      HttpsTestServer::Reply reply;
      reply.raw = c.raw;
      reply.endless = c.endless;
      reply.hang = c.hang;
      EXPECT_EQ(own ? c.own_calls : c.qt_calls, get_answered(path, reply));
    }
  }
  server().clear_answers();
}

TEST_F(NetworkAdapterUmboTest, RefusalsCallNothing) {
  HttpsTestServer::Reply hang;
  hang.hang = true;
  server().answer("", "/hang", hang);
  const SharedPointer<DynamicBuffer> none;
  const SharedPointer<DynamicBuffer> empty(new DynamicBuffer);
  const SharedPointer<DynamicBuffer> body = buffer_of("x");
  const std::string url = server().url("/hang");
  const struct {
    const char* name;
    NetworkAdapter::State before;
    std::function<orva::ErrorCode(NetworkAdapterUmbo&)> call;
    orva::ErrorCode result;
  } cases[] = {
      {"post without body", NetworkAdapter::READY,
       [&](NetworkAdapterUmbo& a) { return a.post(url, "", none); }, 3},
      {"post of an empty body", NetworkAdapter::READY,
       [&](NetworkAdapterUmbo& a) { return a.post(url, "", empty); }, 3},
      {"post_mmf of an empty body", NetworkAdapter::READY,
       [&](NetworkAdapterUmbo& a) { return a.post_mmf(url, "", "mu1", "image/png", empty); }, 3},
      {"post_zip_request without body", NetworkAdapter::READY,
       [&](NetworkAdapterUmbo& a) { return a.post_zip_request(url, "", none); }, 3},
      {"empty body while busy", NetworkAdapter::REQUEST_SENT,
       [&](NetworkAdapterUmbo& a) { return a.post(url, "", empty); }, 3},
      {"get of an empty URL", NetworkAdapter::READY,
       [](NetworkAdapterUmbo& a) { return a.get("", ""); }, 3},
      {"post to an invalid URL", NetworkAdapter::READY,
       [&](NetworkAdapterUmbo& a) { return a.post("http://[::1", "", body); }, 3},
      {"get to an empty URL while busy", NetworkAdapter::REQUEST_SENT,
       [](NetworkAdapterUmbo& a) { return a.get("", ""); }, 7},
      {"get while busy", NetworkAdapter::REQUEST_SENT,
       [&](NetworkAdapterUmbo& a) { return a.get(url, ""); }, 7},
      {"post while busy", NetworkAdapter::REQUEST_SENT,
       [&](NetworkAdapterUmbo& a) { return a.post(url, "", body); }, 7},
      {"get while opening", NetworkAdapter::PREPARING,
       [&](NetworkAdapterUmbo& a) { return a.get(url, ""); }, 7},
      {"open while opening", NetworkAdapter::PREPARING,
       [](NetworkAdapterUmbo& a) { return a.open(0); }, 7},
      {"open while busy", NetworkAdapter::REQUEST_SENT,
       [](NetworkAdapterUmbo& a) { return a.open(0); }, 7},
      {"open when open", NetworkAdapter::READY, [](NetworkAdapterUmbo& a) { return a.open(0); }, 0},
      {"open an access point without configuration", NetworkAdapter::CLOSED,
       [](NetworkAdapterUmbo& a) { return a.open(0xBEEF); }, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    m_adapter.reset(new NetworkAdapterUmbo(m_listener));
    if (c.before == NetworkAdapter::PREPARING) {
      ASSERT_EQ(ORVA_ERROR_KELDRA_IN_PROGRESS, adapter().open(0));
    } else if (c.before != NetworkAdapter::CLOSED) {
      open_ready();
      if (c.before == NetworkAdapter::REQUEST_SENT) {
        ASSERT_EQ(0, adapter().get(url, ""));
      }
    }
    m_listener.clear();
    EXPECT_EQ(c.result, c.call(adapter()));
    EXPECT_EQ(c.before, adapter().state());
    EXPECT_EQ("", m_listener.joined());
  }
}

TEST_F(NetworkAdapterUmboTest, SessionOpensFromTheEventLoopAndReopensAfterClose) {
  EXPECT_EQ(ORVA_ERROR_KELDRA_IN_PROGRESS, adapter().open(0));
  EXPECT_EQ("state(0,1)", m_listener.joined());
  ASSERT_TRUE(
      keldra_test::wait_until([this] { return adapter().state() == NetworkAdapter::READY; }));
  EXPECT_EQ("state(0,1) state(0,2)", m_listener.joined());
  adapter().close();
  EXPECT_EQ("state(0,1) state(0,2) state(0,0)", m_listener.joined());
  adapter().close();  // closed already: nothing
  m_listener.clear();
  EXPECT_EQ(ORVA_ERROR_KELDRA_IN_PROGRESS, adapter().open(0));
  ASSERT_TRUE(
      keldra_test::wait_until([this] { return adapter().state() == NetworkAdapter::READY; }));
  EXPECT_EQ("state(0,1) state(0,2)", m_listener.joined());
}

// Without a bearer (no valid default configuration) access point 0 still opens, from the
// event loop, and the opening can be ended like a real one.
TEST_F(NetworkAdapterUmboTest, WithoutABearerTheDefaultSessionIsEmulated) {
  NetworkAdapterUmbo::set_default_configuration_ignored(true);
  HttpsTestServer::Reply ok;
  ok.body = "ok";
  server().answer("", "", ok);
  const struct {
    const char* name;
    std::function<void(NetworkAdapterUmbo&)> after_open;  // null: wait for READY
    const char* calls;
  } cases[] = {
      {"opens", nullptr, "state(0,1) state(0,2)"},
      {"cancelled", [](NetworkAdapterUmbo& a) { a.cancel(); }, "state(0,1) state(0x6006,0)"},
      {"closed", [](NetworkAdapterUmbo& a) { a.close(); }, "state(0,1) state(0x6006,0)"},
      {"closed and opened again",
       [](NetworkAdapterUmbo& a) {
         a.close();
         a.open(0);
       },
       "state(0,1) state(0x6006,0) state(0,1) state(0,2)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    m_adapter.reset(new NetworkAdapterUmbo(m_listener));
    m_listener.clear();
    EXPECT_EQ(ORVA_ERROR_KELDRA_IN_PROGRESS, adapter().open(0));
    EXPECT_EQ("state(0,1)", m_listener.joined());
    if (c.after_open) c.after_open(adapter());
    settle(100);
    EXPECT_EQ(c.calls, m_listener.joined());
  }
  // The emulated session carries requests like a real one.
  m_listener.clear();
  ASSERT_EQ(0, adapter().get(server().url("/x"), ""));
  ASSERT_TRUE(wait_for_end());
  EXPECT_EQ("state(0,3) p(0.05) head(0,text/plain) p(1) body(2) state(0,2)", m_listener.joined());
  NetworkAdapterUmbo::set_default_configuration_ignored(false);
}

TEST_F(NetworkAdapterUmboTest, SessionErrorLeavesTheRunningRequestGoing) {
  HttpsTestServer::Reply slow;
  slow.delay_ms = 300;
  slow.body = "late";
  server().answer("", "/slow", slow);
  open_ready();
  ASSERT_EQ(0, adapter().get(server().url("/slow"), ""));
  ASSERT_TRUE(QMetaObject::invokeMethod(
      &adapter(), "slotNetworkSessionError", Qt::DirectConnection,
      Q_ARG(QNetworkSession::SessionError, QNetworkSession::SessionAbortedError)));
  EXPECT_EQ(NetworkAdapter::CLOSED, adapter().state());
  ASSERT_TRUE(keldra_test::wait_until([this] {
    return adapter().state() == NetworkAdapter::READY;
  })) << m_listener.joined();
  EXPECT_EQ("state(0,3) p(0.05) state(5,0) head(0,text/plain) p(1) body(4) state(0,2)",
            m_listener.joined());
}

TEST_F(NetworkAdapterUmboTest, ProgressFollowsTheBytesInTheFirstStage) {
  // The mapping, driven through the reply's progress slots during a request.
  HttpsTestServer::Reply hang;
  hang.hang = true;
  server().answer("", "/hang", hang);
  open_ready();
  ASSERT_EQ(0, adapter().get(server().url("/hang"), ""));
  ASSERT_TRUE(server().wait_for_requests(1));
  settle(30);
  m_listener.progresses.clear();
  const struct {
    const char* slot;
    qint64 done;
    qint64 total;
    std::vector<float> reported;
  } steps[] = {
      {"slotUploadProgress", 50, 100, {0.52f}},
      {"slotUploadProgress", -1, -1, {}},  // size unknown: nothing
      {"slotUploadProgress", 100, 100, {0.99f}},
      {"slotDownloadProgress", 10, 100, {0.99f}},  // lower fraction ignored, value repeated
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(std::string(s.slot) + " " + std::to_string(s.done));
    m_listener.progresses.clear();
    ASSERT_TRUE(QMetaObject::invokeMethod(&adapter(), s.slot, Qt::DirectConnection,
                                          Q_ARG(qint64, s.done), Q_ARG(qint64, s.total)));
    ASSERT_EQ(s.reported.size(), m_listener.progresses.size());
    for (size_t i = 0; i < s.reported.size(); ++i)
      EXPECT_FLOAT_EQ(s.reported[i], m_listener.progresses[i]);
  }
  adapter().cancel();

  // A real upload: 0.05 first, never falling, at most 0.99 until the one 1.0 at the end.
  server().clear_answers();
  HttpsTestServer::Reply ok;
  ok.body = "ok";
  server().answer("", "", ok);
  m_listener.clear();
  ASSERT_EQ(0, adapter().post(server().url("/upload"), "", buffer_of(random_bytes(3 << 20))));
  ASSERT_TRUE(wait_for_end());
  const std::vector<float>& p = m_listener.progresses;
  ASSERT_GE(p.size(), 3u);
  EXPECT_FLOAT_EQ(0.05f, p.front());
  EXPECT_FLOAT_EQ(1.0f, p.back());
  EXPECT_FLOAT_EQ(0.99f, p[p.size() - 2]);
  for (size_t i = 1; i + 1 < p.size(); ++i) {
    EXPECT_LE(p[i - 1], p[i]);
    EXPECT_LE(p[i], 0.99f + 1e-6f);
  }
}

TEST_F(NetworkAdapterUmboTest, LargeBodiesCrossWhole) {
  const std::string up = random_bytes((3 << 20) + 17);
  const std::string down = random_bytes((5 << 20) + 3);
  const std::string file = keldra_test::home_dir() + "/download.bin";
  ASSERT_TRUE(keldra_test::write_file(file, down));
  HttpsTestServer::Reply echo;
  echo.body = "stored";
  server().answer("POST", "/upload", echo);
  HttpsTestServer::Reply big;
  big.content_type = "application/octet-stream";
  big.body_file = file;
  server().answer("GET", "/file", big);
  server().answer("POST", "/d/.s/upload", echo);
  server().answer("GET", "/d/.s/file", big);
  open_ready();

  // Also where the path is one that Qt's client would rewrite.
  for (const std::string prefix : {"", "/d/.s"}) {
    SCOPED_TRACE(prefix);
    server().clear_record();
    m_listener.clear();
    ASSERT_EQ(0, adapter().post(server().url(prefix + "/upload"), "", buffer_of(up)));
    ASSERT_TRUE(wait_for_end());
    ASSERT_EQ(1u, server().request_count());
    EXPECT_EQ(prefix + "/upload", server().requests()[0].path);
    EXPECT_TRUE(server().requests()[0].body == up);
    EXPECT_EQ("stored", m_listener.last_body);
    // The upload moved the progress through the first stage.
    EXPECT_EQ(0.99f, m_listener.progresses[m_listener.progresses.size() - 2]);

    m_listener.clear();
    ASSERT_EQ(0, adapter().get(server().url(prefix + "/file"), ""));
    ASSERT_TRUE(wait_for_end());
    EXPECT_EQ(down.size(), m_listener.last_body.size());
    EXPECT_TRUE(down == m_listener.last_body);
  }
}

TEST_F(NetworkAdapterUmboTest, CertificateErrorsPassOnlyWithTheDebugLibrary) {
  HttpsTestServer::Reply ok;
  ok.body = "ok";
  server().answer("", "", ok);
  const struct {
    const char* name;
    bool debug_library;
    const char* calls;
    size_t requests;
    const char* path;  // the latter ones are paths that Qt's client would rewrite
  } cases[] = {
      {"without the debug library", false, "state(0,3) p(0.05) state(0x6005,2)", 0, "/x"},
      {"with the debug library", true,
       "state(0,3) p(0.05) head(0,text/plain) p(1) body(2) state(0,2)", 1, "/x"},
      {"dot path without the debug library", false, "state(0,3) p(0.05) state(0x6005,2)", 0,
       "/d/.s/x"},
      {"dot path with the debug library", true,
       "state(0,3) p(0.05) head(0,text/plain) p(1) body(2) state(0,2)", 1, "/d/.s/x"},
  };
  keldra_test::LogCapture& log = capture_log();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const size_t before = log.text().size();
    server().clear_record();
    if (c.debug_library) {
      server().redirect_sync_server();
    } else {
      Settings::set_library_path(keldra_test::home_dir() + "/missing/libkeldradebug");
    }
    m_adapter.reset(new NetworkAdapterUmbo(m_listener));
    open_ready();
    ASSERT_EQ(0, adapter().get(server().url(c.path), ""));
    ASSERT_TRUE(wait_for_end());
    EXPECT_EQ(c.calls, m_listener.joined());
    EXPECT_EQ(c.requests, server().request_count());
    if (c.requests == 1) {
      EXPECT_EQ(c.path, server().requests()[0].path);
    }
    const std::string lines = log.text().substr(before);
    EXPECT_NE(std::string::npos, lines.find("SSL error ")) << lines;
    EXPECT_EQ(c.debug_library,
              lines.find("NetworkAdapterUmbo::slotSslErrors: ignoring all SSL errors") !=
                  std::string::npos);
    if (!c.debug_library) {
      EXPECT_TRUE(keldra_test::wait_until([this] { return server().handshake_failures() > 0; }));
    }
  }
}

TEST_F(NetworkAdapterUmboTest, CredentialsGoOnTheWireButNeverIntoTheLog) {
  HttpsTestServer::Reply ok;
  ok.body = "ok";
  server().answer("", "", ok);
  keldra_test::LogCapture& log = capture_log();
  open_ready();
  const std::string digest = "dXNlcjpzM2NyZXQ=";  // user:s3cret
  const struct {
    const char* name;
    std::function<orva::ErrorCode()> send;
  } cases[] = {
      {"get", [&] { return adapter().get(server().url("/d"), digest); }},
      {"post", [&] { return adapter().post(server().url("/u"), digest, buffer_of("z")); }},
      {"post_mmf",
       [&] {
         return adapter().post_mmf(server().url("/u"), digest, "mu7", "image/png", buffer_of("z"));
       }},
      {"post_zip_request",
       [&] { return adapter().post_zip_request(server().url("/u"), digest, buffer_of("z")); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    server().clear_record();
    m_listener.clear();
    ASSERT_EQ(0, c.send());
    ASSERT_TRUE(wait_for_end());
    ASSERT_EQ(1u, server().request_count());
    EXPECT_EQ("Basic " + digest, server().requests()[0].header("Authorization"));
  }
  EXPECT_EQ(4, log.count("NetworkAdapterUmbo::startRequest: set authorisation header Basic ***"));
  EXPECT_EQ(4, log.count("digest ***"));
  EXPECT_FALSE(log.has(digest));
  EXPECT_FALSE(log.has("dXNlcjpzM2NyZXQ"));
}

// An answer that comes while the body may still be going up (here: before the server
// reads any of it): the body stays with the reply past the head, and the adapter goes on
// working afterwards.
TEST_F(NetworkAdapterUmboTest, AnEarlyAnswerLeavesTheRequestBodyWithItsReply) {
  HttpsTestServer::Reply early;
  early.status = 401;
  early.body = "denied";
  early.read_body = false;
  early.drain_after_ms = 300;
  server().answer("POST", "/upload", early);
  server().answer("POST", "/up/.s/load", early);
  HttpsTestServer::Reply ok;
  ok.body = "after";
  server().answer("GET", "/after", ok);
  open_ready();

  // Also to a path that Qt's client would rewrite.
  for (const char* path : {"/upload", "/up/.s/load"}) {
    SCOPED_TRACE(path);
    server().clear_record();
    m_listener.clear();
    SharedPointer<DynamicBuffer> body = buffer_of(random_bytes(24 << 20));
    unsigned int count_at_head = 0;
    m_listener.on_head = [&] { count_at_head = body->get_ref_count(); };
    ASSERT_EQ(0, adapter().post(server().url(path), "ZGlnZXN0", body));
    ASSERT_TRUE(wait_for_end()) << m_listener.joined();
    m_listener.on_head = nullptr;
    const std::string calls = m_listener.joined();
    EXPECT_EQ(0u, calls.find("state(0,3) p(0.05) head(0x6004,text/plain)")) << calls;
    EXPECT_EQ(std::string::npos, calls.find("body(")) << calls;
    EXPECT_EQ(std::string::npos, calls.find("state(0,2)")) << calls;
    EXPECT_EQ(2u, count_at_head) << "the caller's reference and the running reply's";
    settle(50);
    EXPECT_EQ(1u, body->get_ref_count());
    ASSERT_TRUE(server().wait_for_requests(1));
    EXPECT_EQ(path, server().requests()[0].path);

    m_listener.clear();
    ASSERT_EQ(0, adapter().get(server().url("/after"), ""));
    ASSERT_TRUE(wait_for_end());
    EXPECT_EQ("after", m_listener.last_body);
  }
}

TEST_F(NetworkAdapterUmboTest, TheRequestBodyIsReleasedWithItsReply) {
  HttpsTestServer::Reply ok;
  ok.body = "ok";
  server().answer("", "", ok);
  open_ready();
  SharedPointer<DynamicBuffer> body = buffer_of("payload");
  ASSERT_EQ(0, adapter().post(server().url("/upload"), "", body));
  EXPECT_EQ(2u, body->get_ref_count());
  ASSERT_TRUE(wait_for_end());
  settle(50);  // the reply is deleted from the event loop
  EXPECT_EQ(1u, body->get_ref_count());
}

}  // namespace


