// A real HTTPS server on 127.0.0.1 for tests: the program loopback_https_server.py
// (Python 3 standard library) as a child of the test process, with a self-signed
// certificate for 127.0.0.1 made by openssl when the server starts.
//
// The test scripts the answers (answer()) and reads back every request the server took
// in (requests()), in order: method, path, headers and body. Answers can be delayed,
// held until the test lets them go (release()), can hang (no answer, or the head and part of the body only) until the client goes
// away, can come before the request body was read, and can close the connection.
// Answers and record may be changed and read at any time while the server runs.
//
// redirect_sync_server() points the library's sync server address at this server
// through the optional debug library stand-in (tests/adaptation_umbo/debuglib), which
// also makes the library accept the self-signed certificate. Only code that creates
// its Settings object afterwards sees it (Settings looks for the library when created).
//
// Everything lives in a fresh folder under TMPDIR, removed by the destructor. The child
// is killed with the test process, so nothing outlives a crashed test. Not thread-safe:
// use it from the test's thread.
#pragma once

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace keldra_test {

class HttpsTestServer {
 public:
  typedef std::vector<std::pair<std::string, std::string>> Headers;

  // One scripted answer.
  struct Reply {
    int status = 200;
    std::string content_type = "text/plain";  // empty: no Content-Type header
    std::string body;
    std::string body_file;            // when set, the body is this file's bytes (read per answer)
    Headers headers;                  // further headers of the answer
    int delay_ms = 0;                 // wait this long before the head
    bool hang = false;                // never answer; wait until the client goes away
    std::string hold;                 // when set: answer (after delay_ms) once release(hold) was called
    long long hang_after_bytes = -1;  // >= 0: send the head and that many body bytes, then wait
    bool read_body = true;            // false: answer before reading the request body, then close
    int drain_after_ms = 0;           // with read_body false: wait this long, then take in the body
    bool close = false;               // close the connection after the answer
    // A misbehaving answer: when set, these bytes are the whole answer as it goes on the
    // wire (head and body; the fields above except delay_ms and hang are not used), then
    // |endless| (when set) again and again until the client goes away (or |repeat| times
    // when above 0), then |tail|, then the server waits for the client (hang) or closes the
    // connection. With |trickle_ms| above 0 every byte of it goes alone, that far apart.
    std::string raw;
    std::string endless;
    long long repeat = 0;
    std::string tail;
    int trickle_ms = 0;
  };

  // One request as the server took it in.
  struct Request {
    std::string method;
    std::string path;  // with the query
    Headers headers;   // in the order received
    std::string body;  // empty when bodies are not recorded
    size_t body_length = 0;
    bool complete = true;  // false: the body was not (wholly) read

    // The first header of that name (ASCII case ignored); empty when there is none.
    std::string header(const std::string& name) const;
    bool has_header(const std::string& name) const;
  };

  HttpsTestServer();
  // Stops the server and removes its folder; undoes redirect_sync_server().
  ~HttpsTestServer();
  HttpsTestServer(const HttpsTestServer&) = delete;
  HttpsTestServer& operator=(const HttpsTestServer&) = delete;

  // Makes the certificate, starts the server and learns its port. True when it runs;
  // false with error() set. Answers given before start() are kept.
  bool start();
  void stop();
  bool running() const { return m_pid > 0; }
  const std::string& error() const { return m_error; }

  // Adds a rule: requests with this method (empty: any) and path (exact, with the
  // query; a trailing '*' matches a prefix; empty: any) get |reply|, the first |times|
  // of them (0: all). Rules are tried in the order given. A request that no rule takes
  // gets 404 text/plain "no rule".
  void answer(const std::string& method, const std::string& path, const Reply& reply,
              int times = 0);
  // Lets the answers held under |name| go, now and from now on (Reply::hold).
  void release(const std::string& name);
  // Forgets every rule (and a stalled handshake).
  void clear_answers();
  // Whether request bodies are kept (default true); a benchmark turns it off.
  void set_record_bodies(bool record);
  // With true, connections are taken but their TLS handshake never starts (a server
  // that goes silent before TLS); each counts as a failed handshake when it ends.
  void set_handshake_stalled(bool stalled);

  // Requests recorded so far, oldest first.
  std::vector<Request> requests() const;
  size_t request_count() const { return requests().size(); }
  // Runs the Qt event loop until at least |n| requests are recorded (about 20 s at
  // most); true when they are.
  bool wait_for_requests(size_t n) const;
  // TLS handshakes the server saw fail (a client that refused the certificate).
  int handshake_failures() const;
  // Forgets the requests recorded so far.
  void clear_record();

  int port() const { return m_port; }
  // "https://127.0.0.1:<port>" + path.
  std::string url(const std::string& path = "/") const;
  // The server's certificate (PEM), for clients that verify it (curl --cacert).
  std::string certificate_path() const;
  const std::string& folder() const { return m_dir; }

  // The library's sync server address becomes url(path) and certificate errors are
  // ignored, through the debug library stand-in.
  void redirect_sync_server(const std::string& path = "/sync");

 private:
  void write_script() const;
  std::string record_text() const;

  std::string m_dir;
  pid_t m_pid = -1;
  int m_port = 0;
  std::string m_error;
  std::string m_rules;  // JSON array elements, comma separated
  int m_next_rule = 1;
  bool m_record_bodies = true;
  bool m_handshake_stalled = false;
  size_t m_record_offset = 0;  // record bytes before clear_record()
  bool m_redirected = false;
  std::string m_saved_library;
};

}  // namespace keldra_test
