// Starting keldservice by hand: the one line it prints when it cannot serve, and
// scripts/run-service.sh, which gives it a private bus, prints that bus's address and
// takes both down again on Ctrl-C.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "support/DbusTestBus.h"
#include "support/TestEnv.h"

using keldra_test::DbusTestBus;

namespace {

using Clock = std::chrono::steady_clock;

// A child whose standard output and error come back through one pipe. With
// |own_group| it leads a process group of its own, as a command started from a
// terminal does, so that the whole group can be sent Ctrl-C's SIGINT.
struct Child {
  pid_t pid = -1;
  int out = -1;
  std::string text;  // read so far

  ~Child() {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    if (out >= 0) close(out);
  }

  // Reads until |text| holds |needle| or the bound passes.
  bool read_until(const std::string& needle, std::chrono::milliseconds bound) {
    const Clock::time_point end = Clock::now() + bound;
    while (text.find(needle) == std::string::npos) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
      if (left <= 0 || !read_some(static_cast<int>(left))) break;
    }
    return text.find(needle) != std::string::npos;
  }
  // Whatever arrives within |ms|; false at the end of the output.
  bool read_some(int ms) {
    pollfd p{out, POLLIN, 0};
    if (poll(&p, 1, ms) <= 0) return true;
    char buf[512];
    const ssize_t n = read(out, buf, sizeof(buf));
    if (n <= 0) return false;
    text.append(buf, static_cast<size_t>(n));
    return true;
  }
  bool running() { return pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0; }
  // Waits (bounded) for the child's end; its wait status, or -1.
  int wait_exit(std::chrono::milliseconds bound) {
    const Clock::time_point end = Clock::now() + bound;
    int status = 0;
    while (Clock::now() < end) {
      if (waitpid(pid, &status, WNOHANG) == pid) {
        pid = -1;
        return status;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
  }
};

// Starts argv with the given bus address in its environment (none when empty). With
// |ignore_sigint| the child starts with SIGINT ignored, as a shell starts a command put
// in the background of a script.
void spawn(Child& child, const std::vector<std::string>& argv, const std::string& bus_address,
           bool own_group, bool ignore_sigint = false) {
  int fds[2];
  ASSERT_EQ(0, pipe2(fds, O_CLOEXEC));
  std::vector<std::string> env_text;
  for (char** e = environ; *e; ++e) {
    if (std::string(*e).rfind("DBUS_SESSION_BUS_ADDRESS=", 0) != 0) env_text.push_back(*e);
  }
  if (!bus_address.empty()) env_text.push_back("DBUS_SESSION_BUS_ADDRESS=" + bus_address);
  std::vector<char*> args, env;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (const auto& e : env_text) env.push_back(const_cast<char*>(e.c_str()));
  env.push_back(nullptr);

  const pid_t parent = getpid();
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (own_group) {
      setpgid(0, 0);
    } else {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (getppid() != parent) _exit(127);
    }
    signal(SIGINT, ignore_sigint ? SIG_IGN : SIG_DFL);
    dup2(fds[1], STDOUT_FILENO);
    dup2(fds[1], STDERR_FILENO);
    execve(args[0], args.data(), env.data());
    _exit(127);
  }
  if (own_group) setpgid(pid, pid);  // either side may win the race; both set the same
  close(fds[1]);
  child.pid = pid;
  child.out = fds[0];
}

bool process_group_gone(pid_t group) { return kill(-group, 0) != 0 && errno == ESRCH; }

struct StderrCase {
  const char* name;
  enum Bus { kFreshBus, kBusWithRelay, kNoBus } bus;
  const char* line;  // expected start of the one line; null: nothing is said
};

}  // namespace

// The relay keeps running in every case (it is started from outside and nothing
// restarts it), but says once, on one line, why it cannot serve.
TEST(ServiceStartTest, SaysInOneLineWhenItCannotServe) {
  const StderrCase cases[] = {
      {"owns the name", StderrCase::kFreshBus, nullptr},
      {"name owned by another copy", StderrCase::kBusWithRelay,
       "keldservice: cannot own the name com.ostra.maps.keldservice on the session bus"},
      {"no bus", StderrCase::kNoBus, "keldservice: no D-Bus session bus reachable"},
  };
  DbusTestBus& shared = DbusTestBus::shared();
  ASSERT_TRUE(shared.running() && shared.relay_pid() > 0) << shared.error();
  for (const StderrCase& c : cases) {
    SCOPED_TRACE(c.name);
    DbusTestBus fresh;
    std::string address;
    if (c.bus == StderrCase::kFreshBus) {
      ASSERT_TRUE(fresh.start()) << fresh.error();
      address = fresh.address();
    } else if (c.bus == StderrCase::kBusWithRelay) {
      address = shared.address();
    } else {
      address = "unix:path=" + keldra_test::home_dir() + "/no-bus-here";
    }
    Child relay;
    spawn(relay, {DbusTestBus::keldservice_path()}, address, false);
    if (c.line) {
      ASSERT_TRUE(relay.read_until("\n", std::chrono::seconds(20))) << relay.text;
      EXPECT_EQ(0u, relay.text.find(c.line)) << relay.text;
      // One line, and the relay is still there afterwards.
      relay.read_some(300);
      EXPECT_EQ(relay.text.find('\n'), relay.text.size() - 1) << relay.text;
      EXPECT_TRUE(relay.running());
    } else {
      ASSERT_TRUE(fresh.wait_for_owner(DbusTestBus::kRelayService)) << fresh.error();
      relay.read_some(300);
      EXPECT_EQ("", relay.text);
      EXPECT_TRUE(relay.running());
    }
  }
}

// run-service.sh without a session bus: it starts a private one, prints the address to
// export in a second terminal, the service answers there, and stopping the script ends
// the script, the service and the bus, and leaves no socket behind. From a terminal
// that is Ctrl-C (SIGINT to the script's process group). In the background of another
// script SIGINT is ignored from the start (and bash cannot trap it then): kill's SIGTERM
// to the script stops it, as the README says.
struct StopCase {
  const char* name;
  bool started_in_background;
  int signal;
  int exit_code;
};

void PrintTo(const StopCase& c, std::ostream* os) { *os << c.name; }

class RunScriptStop : public ::testing::TestWithParam<StopCase> {};

INSTANTIATE_TEST_SUITE_P(Stop, RunScriptStop,
                         ::testing::Values(StopCase{"CtrlC", false, SIGINT, 130},
                                           StopCase{"KillInBackground", true, SIGTERM, 143}),
                         [](const ::testing::TestParamInfo<StopCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_P(RunScriptStop, PrintsThePrivateBusAndStopsEverything) {
  const StopCase& c = GetParam();
  const std::string script = std::string(KELDRA_SOURCE_DIR) + "/scripts/run-service.sh";
  Child run;
  spawn(run, {"/bin/bash", script, DbusTestBus::keldservice_path()}, "", true,
        c.started_in_background);
  const std::string prefix = "export DBUS_SESSION_BUS_ADDRESS='";
  ASSERT_TRUE(run.read_until("'\n", std::chrono::seconds(20))) << run.text;
  const size_t at = run.text.find(prefix);
  ASSERT_NE(std::string::npos, at) << run.text;
  const size_t from = at + prefix.size();
  const std::string address = run.text.substr(from, run.text.find('\'', from) - from);
  ASSERT_EQ(0u, address.find("unix:path=")) << address;
  const std::string socket = address.substr(10, address.find(',') - 10);
  const std::string socket_dir = socket.substr(0, socket.rfind('/'));
  struct stat st;
  ASSERT_EQ(0, stat(socket.c_str(), &st)) << socket;

  {
    QDBusConnection client = QDBusConnection::connectToBus(QString::fromStdString(address),
                                                           QStringLiteral("run_client"));
    ASSERT_TRUE(client.isConnected());
    bool owned = false;
    for (int i = 0; i < 2000 && !owned; ++i) {
      owned =
          client.interface()->isServiceRegistered(QString::fromLatin1(DbusTestBus::kRelayService));
      if (!owned) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(owned);
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(DbusTestBus::kRelayService),
        QString::fromLatin1(DbusTestBus::kRelayPath),
        QString::fromLatin1(DbusTestBus::kRelayInterface), QStringLiteral("SendMessage"));
    call << 1 << 42;
    EXPECT_EQ(QDBusMessage::ReplyMessage, client.call(call).type());
  }
  QDBusConnection::disconnectFromBus(QStringLiteral("run_client"));

  const pid_t group = run.pid;
  if (c.started_in_background) {
    ASSERT_EQ(0, kill(run.pid, c.signal));  // kill PID: the script alone
  } else {
    ASSERT_EQ(0, kill(-group, c.signal));  // the terminal signals the whole group
  }
  const int status = run.wait_exit(std::chrono::seconds(20));
  ASSERT_NE(-1, status) << run.text;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.exit_code) << status;
  bool gone = false;
  for (int i = 0; i < 500 && !gone; ++i) {
    gone = process_group_gone(group);
    if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(gone) << "the service or the bus outlived the script";
  if (!gone) kill(-group, SIGKILL);
  EXPECT_NE(0, stat(socket_dir.c_str(), &st)) << socket_dir << " left behind";
}
