#include "support/HttpsTestServer.h"

#include "adaptation_umbo/base/Settings.h"
#include "support/TestEnv.h"

#include <QByteArray>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace keldra_test {

namespace {

const int kStartTimeoutMs = 20000;

std::string lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Writes through a temporary file and a rename, so the server never reads half a file.
bool write_atomically(const std::string& path, const std::string& content) {
  const std::string temp = path + ".new";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) return false;
  }
  return std::rename(temp.c_str(), path.c_str()) == 0;
}

bool reap_within(pid_t pid, int ms) {
  for (int waited = 0;; waited += 10) {
    int status = 0;
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid || (r < 0 && errno == ECHILD)) return true;
    if (waited >= ms) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// The first line the child writes on |fd|, waiting at most |ms|; empty on timeout or EOF.
std::string read_line(int fd, int ms) {
  std::string line;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p = {fd, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char c;
    const ssize_t n = read(fd, &c, 1);
    if (n <= 0) return std::string();
    if (c == '\n') return line;
    line.push_back(c);
  }
  return std::string();
}

}  // namespace

std::string HttpsTestServer::Request::header(const std::string& name) const {
  const std::string wanted = lower(name);
  for (const auto& h : headers) {
    if (lower(h.first) == wanted) return h.second;
  }
  return std::string();
}

bool HttpsTestServer::Request::has_header(const std::string& name) const {
  const std::string wanted = lower(name);
  for (const auto& h : headers) {
    if (lower(h.first) == wanted) return true;
  }
  return false;
}

HttpsTestServer::HttpsTestServer() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/https-server-XXXXXX";
  if (mkdtemp(&pattern[0])) m_dir = pattern;
}

HttpsTestServer::~HttpsTestServer() {
  stop();
  if (m_redirected) {
    orva::keldra::internal::Settings::set_library_path(m_saved_library);
    unsetenv("KELDRA_TEST_SYNC_URI");
  }
  if (!m_dir.empty()) QDir(QString::fromStdString(m_dir)).removeRecursively();
}

bool HttpsTestServer::start() {
  if (running()) return true;
  m_error.clear();
  if (m_dir.empty()) {
    m_error = "no folder for the server";
    return false;
  }
  const QString dir = QString::fromStdString(m_dir);
  // A self-signed certificate for the loopback address, new for every server.
  QProcess openssl;
  openssl.setProcessChannelMode(QProcess::MergedChannels);
  openssl.start(QStringLiteral("openssl"),
                {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                 QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                 QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                 QStringLiteral("-keyout"), dir + QStringLiteral("/key.pem"),
                 QStringLiteral("-out"), dir + QStringLiteral("/cert.pem"), QStringLiteral("-days"),
                 QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                 QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1")});
  if (!openssl.waitForFinished(kStartTimeoutMs) || openssl.exitStatus() != QProcess::NormalExit ||
      openssl.exitCode() != 0) {
    m_error = "openssl could not make the certificate: " + openssl.readAll().toStdString() +
              openssl.errorString().toStdString();
    return false;
  }
  write_script();

  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    m_error = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  const char* argv[] = {KELDRA_PYTHON3, KELDRA_HTTPS_SERVER_SCRIPT, m_dir.c_str(), nullptr};
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid < 0) {
    m_error = std::string("fork: ") + std::strerror(errno);
    close(fds[0]);
    close(fds[1]);
    return false;
  }
  if (pid == 0) {
    // Only async-signal-safe calls from here on. The child dies with the test process.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    if (dup2(fds[1], STDOUT_FILENO) < 0) _exit(127);
    execv(argv[0], const_cast<char* const*>(argv));
    _exit(127);
  }
  close(fds[1]);
  m_pid = pid;
  const std::string port = read_line(fds[0], kStartTimeoutMs);
  close(fds[0]);
  m_port = std::atoi(port.c_str());
  if (m_port <= 0) {
    m_error = "the server gave no port within the time limit";
    stop();
    return false;
  }
  return true;
}

void HttpsTestServer::stop() {
  if (m_pid <= 0) return;
  if (!(kill(m_pid, SIGTERM) == 0 && reap_within(m_pid, 5000))) {
    kill(m_pid, SIGKILL);
    reap_within(m_pid, 5000);
  }
  m_pid = -1;
  m_port = 0;
}

void HttpsTestServer::answer(const std::string& method, const std::string& path, const Reply& reply,
                             int times) {
  QJsonObject rule;
  rule.insert(QStringLiteral("id"), m_next_rule++);
  rule.insert(QStringLiteral("method"), QString::fromStdString(method));
  rule.insert(QStringLiteral("path"), QString::fromStdString(path));
  rule.insert(QStringLiteral("times"), times);
  rule.insert(QStringLiteral("status"), reply.status);
  rule.insert(QStringLiteral("content_type"), QString::fromStdString(reply.content_type));
  QJsonArray headers;
  for (const auto& h : reply.headers) {
    headers.append(QJsonArray{QString::fromStdString(h.first), QString::fromStdString(h.second)});
  }
  rule.insert(QStringLiteral("headers"), headers);
  rule.insert(QStringLiteral("body"),
              QString::fromUtf8(reply.body.data(), static_cast<int>(reply.body.size())));
  rule.insert(QStringLiteral("body_file"), QString::fromStdString(reply.body_file));
  rule.insert(QStringLiteral("delay_ms"), reply.delay_ms);
  rule.insert(QStringLiteral("hang"), reply.hang);
  rule.insert(QStringLiteral("hold"), QString::fromStdString(reply.hold));
  rule.insert(QStringLiteral("hang_after_bytes"), static_cast<double>(reply.hang_after_bytes));
  rule.insert(QStringLiteral("read_body"), reply.read_body);
  rule.insert(QStringLiteral("drain_after_ms"), reply.drain_after_ms);
  rule.insert(QStringLiteral("close"), reply.close);
  if (!reply.raw.empty()) {
    rule.insert(QStringLiteral("raw"), QString::fromLatin1(reply.raw.data(),
                                                           static_cast<int>(reply.raw.size())));
    rule.insert(QStringLiteral("endless"),
                QString::fromLatin1(reply.endless.data(), static_cast<int>(reply.endless.size())));
    rule.insert(QStringLiteral("repeat"), static_cast<double>(reply.repeat));
    rule.insert(QStringLiteral("tail"),
                QString::fromLatin1(reply.tail.data(), static_cast<int>(reply.tail.size())));
    rule.insert(QStringLiteral("trickle_ms"), reply.trickle_ms);
  }
  if (!m_rules.empty()) m_rules += ",";
  m_rules += QJsonDocument(rule).toJson(QJsonDocument::Compact).toStdString();
  write_script();
}

void HttpsTestServer::release(const std::string& name) {
  if (m_dir.empty()) return;
  QDir().mkpath(QString::fromStdString(m_dir + "/released"));
  write_atomically(m_dir + "/released/" + name, "");
}

void HttpsTestServer::clear_answers() {
  m_rules.clear();
  m_handshake_stalled = false;
  write_script();
}

void HttpsTestServer::set_record_bodies(bool record) {
  m_record_bodies = record;
  write_script();
}

void HttpsTestServer::set_handshake_stalled(bool stalled) {
  m_handshake_stalled = stalled;
  write_script();
}

void HttpsTestServer::write_script() const {
  if (m_dir.empty()) return;
  const std::string script = std::string("{\"record_bodies\": ") +
                             (m_record_bodies ? "true" : "false") + ", \"stall_handshake\": " +
                             (m_handshake_stalled ? "true" : "false") + ", \"rules\": [" +
                             m_rules + "]}";
  write_atomically(m_dir + "/script.json", script);
}

std::string HttpsTestServer::record_text() const {
  const std::string all = slurp(m_dir + "/record.jsonl");
  // Only whole lines: the server may be writing the last one.
  const size_t end = all.rfind('\n');
  if (end == std::string::npos || end < m_record_offset) return std::string();
  return all.substr(m_record_offset, end + 1 - m_record_offset);
}

std::vector<HttpsTestServer::Request> HttpsTestServer::requests() const {
  std::vector<Request> out;
  std::istringstream lines(record_text());
  std::string line;
  while (std::getline(lines, line)) {
    const QJsonObject entry = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
    if (entry.value(QStringLiteral("kind")).toString() != QLatin1String("request")) continue;
    Request r;
    r.method = entry.value(QStringLiteral("method")).toString().toStdString();
    r.path = entry.value(QStringLiteral("path")).toString().toStdString();
    for (const QJsonValue& h : entry.value(QStringLiteral("headers")).toArray()) {
      const QJsonArray pair = h.toArray();
      r.headers.emplace_back(pair.at(0).toString().toStdString(),
                             pair.at(1).toString().toStdString());
    }
    r.body_length = static_cast<size_t>(entry.value(QStringLiteral("body_length")).toDouble());
    r.complete = entry.value(QStringLiteral("complete")).toBool();
    const QString body_file = entry.value(QStringLiteral("body_file")).toString();
    if (!body_file.isEmpty()) r.body = slurp(m_dir + "/" + body_file.toStdString());
    out.push_back(std::move(r));
  }
  return out;
}

bool HttpsTestServer::wait_for_requests(size_t n) const {
  return wait_until([this, n] { return request_count() >= n; });
}

int HttpsTestServer::handshake_failures() const {
  int n = 0;
  std::istringstream lines(record_text());
  std::string line;
  while (std::getline(lines, line)) {
    if (line.find("\"kind\": \"handshake_failed\"") != std::string::npos) ++n;
  }
  return n;
}

void HttpsTestServer::clear_record() {
  const std::string all = slurp(m_dir + "/record.jsonl");
  const size_t end = all.rfind('\n');
  m_record_offset = end == std::string::npos ? 0 : end + 1;
}

std::string HttpsTestServer::url(const std::string& path) const {
  return "https://127.0.0.1:" + std::to_string(m_port) + path;
}

std::string HttpsTestServer::certificate_path() const { return m_dir + "/cert.pem"; }

void HttpsTestServer::redirect_sync_server(const std::string& path) {
  if (!m_redirected) m_saved_library = orva::keldra::internal::Settings::library_path();
  m_redirected = true;
  orva::keldra::internal::Settings::set_library_path(KELDRA_DEBUGLIB_URI_PATH);
  setenv("KELDRA_TEST_SYNC_URI", url(path).c_str(), 1);
}

}  // namespace keldra_test
