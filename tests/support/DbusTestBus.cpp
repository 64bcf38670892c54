#include "support/DbusTestBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QDir>
#include <QStandardPaths>
#include <QString>
#include <QThread>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/TestEnv.h"

namespace keldra_test {

namespace {

using Clock = std::chrono::steady_clock;

// Bounds for starting children; generous because sanitizer builds start slowly.
constexpr std::chrono::seconds kStartTimeout(20);
constexpr std::chrono::seconds kStopTimeout(3);
constexpr unsigned long kPollMs = 10;

int g_counter = 0;

std::string errno_text(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// Reads one line from |fd| within the start bound. Empty on timeout or end of file.
std::string read_line(int fd) {
  std::string line;
  const auto deadline = Clock::now() + kStartTimeout;
  while (Clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    const int ready = poll(&p, 1, static_cast<int>(left > 0 ? left : 0));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    char c;
    const ssize_t n = read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return std::string();
    if (c == '\n') return line;
    line += c;
  }
  return std::string();
}

// Waits for |pid| to exit within |bound|. True once it is reaped.
bool reap_within(pid_t pid, std::chrono::milliseconds bound) {
  const auto deadline = Clock::now() + bound;
  for (;;) {
    int status = 0;
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid || (r < 0 && errno == ECHILD)) return true;
    if (Clock::now() >= deadline) return false;
    QThread::msleep(kPollMs);
  }
}

}  // namespace

DbusTestBus::DbusTestBus() = default;

DbusTestBus::~DbusTestBus() { stop(); }

DbusTestBus& DbusTestBus::shared() {
  static DbusTestBus bus;
  static bool tried = false;
  if (!tried) {
    tried = true;
    if (bus.start() && bus.start_relay() < 0) {
      std::fprintf(stderr, "DbusTestBus: %s\n", bus.error().c_str());
    }
  }
  return bus;
}

std::string DbusTestBus::keldservice_path() {
#ifdef KELDRA_KELDSERVICE_PATH
  return KELDRA_KELDSERVICE_PATH;
#else
  return build_dir() + "/service/keldservice";
#endif
}

pid_t DbusTestBus::relay_pid() const {
  for (const auto& r : relays_) {
    if (r.second) return r.first;
  }
  return -1;
}

bool DbusTestBus::start() {
  if (running()) return true;
  error_.clear();

  const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
  if (daemon.isEmpty()) {
    error_ = "dbus-daemon not found on PATH";
    return false;
  }

  // A configuration of our own: a session-type bus on an abstract socket, everything
  // allowed, no service directories (nothing on the machine gets activated), and the
  // limits of a desktop session bus, which let a caller keep thousands of calls
  // outstanding as the library's unawaited asynchronous calls do.
  const std::string tmp = QDir::tempPath().toStdString();
  config_path_ = tmp + "/keldra-test-bus-" + std::to_string(getpid()) + "-" +
                 std::to_string(++g_counter) + ".conf";
  const std::string config =
      "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
      " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
      "<busconfig>\n"
      "  <type>session</type>\n"
      "  <listen>unix:tmpdir=" + tmp + "</listen>\n"
      "  <auth>EXTERNAL</auth>\n"
      "  <policy context=\"default\">\n"
      "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
      "    <allow eavesdrop=\"true\"/>\n"
      "    <allow own=\"*\"/>\n"
      "  </policy>\n"
      "  <limit name=\"max_incoming_bytes\">1000000000</limit>\n"
      "  <limit name=\"max_outgoing_bytes\">1000000000</limit>\n"
      "  <limit name=\"max_message_size\">1000000000</limit>\n"
      "  <limit name=\"max_names_per_connection\">50000</limit>\n"
      "  <limit name=\"max_match_rules_per_connection\">50000</limit>\n"
      "  <limit name=\"max_replies_per_connection\">50000</limit>\n"
      "</busconfig>\n";
  if (!write_file(config_path_, config)) {
    error_ = "cannot write " + config_path_;
    return false;
  }

  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    error_ = errno_text("pipe2");
    return false;
  }
  const std::string program = daemon.toStdString();
  const std::string config_arg = "--config-file=" + config_path_;
  const char* const argv[] = {program.c_str(), config_arg.c_str(), "--print-address",
                              "--nofork", "--nosyslog", nullptr};
  daemon_pid_ = spawn(argv, fds[1]);
  daemon_alive_ = daemon_pid_ > 0;
  close(fds[1]);
  if (daemon_pid_ < 0) {
    close(fds[0]);
    stop();
    return false;
  }
  address_ = read_line(fds[0]);
  close(fds[0]);
  if (address_.empty()) {
    error_ = "dbus-daemon gave no address within the time limit";
    stop();
    return false;
  }

  const char* old = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  had_saved_address_ = old != nullptr;
  saved_address_ = old ? old : "";
  setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
  // A starter bus of the session type would take precedence in Qt and libdbus.
  unsetenv("DBUS_STARTER_ADDRESS");
  unsetenv("DBUS_STARTER_BUS_TYPE");
  return true;
}

pid_t DbusTestBus::start_relay(bool wait_for_name) {
  return start_child(keldservice_path(), wait_for_name ? kRelayService : "", "keldservice",
                     relays_);
}

bool DbusTestBus::stop_relay(pid_t pid) { return stop_child(pid, relays_); }

pid_t DbusTestBus::start_program(const std::string& program, const std::string& service) {
  return start_child(program, service, program, programs_);
}

bool DbusTestBus::stop_program(pid_t pid) { return stop_child(pid, programs_); }

pid_t DbusTestBus::start_child(const std::string& program, const std::string& service,
                               const std::string& label, std::map<pid_t, bool>& children) {
  error_.clear();
  if (!running()) {
    error_ = "the bus is not running";
    return -1;
  }
  if (access(program.c_str(), X_OK) != 0) {
    error_ = errno_text(program.c_str());
    return -1;
  }
  const char* const argv[] = {program.c_str(), nullptr};
  const pid_t pid = spawn(argv, -1);
  if (pid < 0) return -1;
  children[pid] = true;
  if (!service.empty() && !wait_for_owner(service, pid)) {
    error_ = label + (is_running(pid) ? " did not take its name within the time limit"
                                      : " exited before taking its name");
    stop_child(pid, children);
    return -1;
  }
  return pid;
}

bool DbusTestBus::stop_child(pid_t pid, std::map<pid_t, bool>& children) {
  auto it = children.find(pid);
  if (it == children.end()) return false;
  if (it->second) end_child(pid);
  children.erase(it);
  return true;
}

bool DbusTestBus::is_running(pid_t pid) {
  bool* alive = nullptr;
  if (pid > 0 && pid == daemon_pid_) {
    alive = &daemon_alive_;
  } else {
    auto it = relays_.find(pid);
    if (it != relays_.end()) alive = &it->second;
    auto program = programs_.find(pid);
    if (program != programs_.end()) alive = &program->second;
  }
  if (!alive || !*alive) return false;
  if (reap_within(pid, std::chrono::milliseconds(0))) *alive = false;
  return *alive;
}

void DbusTestBus::stop() {
  for (auto& r : relays_) {
    if (r.second) end_child(r.first);
  }
  relays_.clear();
  for (auto& p : programs_) {
    if (p.second) end_child(p.first);
  }
  programs_.clear();
  if (daemon_pid_ > 0 && daemon_alive_) end_child(daemon_pid_);
  daemon_pid_ = -1;
  daemon_alive_ = false;
  if (!config_path_.empty()) {
    std::remove(config_path_.c_str());
    config_path_.clear();
  }
  if (!address_.empty()) {
    if (had_saved_address_) {
      setenv("DBUS_SESSION_BUS_ADDRESS", saved_address_.c_str(), 1);
    } else {
      unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
    address_.clear();
  }
}

bool DbusTestBus::wait_for_owner(const std::string& service, pid_t watched) {
  if (!running()) return false;
  const QString name = QStringLiteral("keldra_test_probe_%1").arg(++g_counter);
  bool owned = false;
  {
    QDBusConnection probe =
        QDBusConnection::connectToBus(QString::fromStdString(address_), name);
    if (probe.isConnected()) {
      const QString wanted = QString::fromStdString(service);
      const auto deadline = Clock::now() + kStartTimeout;
      while (Clock::now() < deadline) {
        const QDBusReply<bool> reply = probe.interface()->isServiceRegistered(wanted);
        if (reply.isValid() && reply.value()) {
          owned = true;
          break;
        }
        if (watched > 0 && !is_running(watched)) break;
        QThread::msleep(kPollMs);
      }
    } else {
      error_ = "cannot connect to the test bus: " + probe.lastError().message().toStdString();
    }
  }
  QDBusConnection::disconnectFromBus(name);
  return owned;
}

pid_t DbusTestBus::spawn(const char* const argv[], int stdout_fd) {
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid < 0) {
    error_ = errno_text("fork");
    return -1;
  }
  if (pid == 0) {
    // Only async-signal-safe calls from here on. The child dies with the test process.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    if (stdout_fd >= 0 && dup2(stdout_fd, STDOUT_FILENO) < 0) _exit(127);
    close_range(3, ~0U, 0);  // no test-process descriptors (its bus sockets) in the child
    execv(argv[0], const_cast<char* const*>(argv));
    _exit(127);
  }
  return pid;
}

bool DbusTestBus::end_child(pid_t pid) {
  if (kill(pid, SIGTERM) == 0 && reap_within(pid, kStopTimeout)) return true;
  kill(pid, SIGKILL);
  return reap_within(pid, kStopTimeout);
}

}  // namespace keldra_test
