// A private D-Bus session bus for tests: a dbus-daemon of its own and, on request, copies
// of the change-relay program keldservice from the build tree, all children of the test
// process. Tests never reach the machine's own session bus.
//
// While the bus runs, DBUS_SESSION_BUS_ADDRESS points at it, so children and
// QDBusConnection::sessionBus() use it. Qt binds sessionBus() once per process, to the
// address in the environment at its first use; code that goes through sessionBus() (the
// library's D-Bus hub) must therefore use the process-wide bus, shared(), and touch
// sessionBus() only after it has started. A bus made by hand suits tests that only use
// connections of their own (QDBusConnection::connectToBus(address(), name)).
//
// Every child is killed and reaped by stop() or the destructor, and gets SIGKILL from the
// kernel if the test process dies first, so nothing outlives a failed or crashed test.
// Waits are bounded; a failure leaves a message in error().
//
// Not thread-safe: use from the test's main thread.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>

namespace keldra_test {

class DbusTestBus {
 public:
  static constexpr const char* kRelayService = "com.ostra.maps.keldservice";
  static constexpr const char* kRelayPath = "/com/ostra/maps/keldservice";
  static constexpr const char* kRelayInterface = "com.ostra.maps.keldservice";

  DbusTestBus();
  // Stops every child and restores DBUS_SESSION_BUS_ADDRESS.
  ~DbusTestBus();

  DbusTestBus(const DbusTestBus&) = delete;
  DbusTestBus& operator=(const DbusTestBus&) = delete;

  // The process-wide bus with one relay owning its name, started at the first call and
  // stopped when the process exits. Check running() (and error()) before use.
  static DbusTestBus& shared();

  // Starts the daemon and sets DBUS_SESSION_BUS_ADDRESS. True when the bus is up (also
  // when it already was); false with error() set otherwise.
  bool start();

  // Starts one copy of keldservice on this bus. With |wait_for_name|, waits until the
  // relay's service name has an owner. Returns the child's pid, or -1 with error() set
  // (a copy that failed to come up is stopped again).
  pid_t start_relay(bool wait_for_name = true);

  // Ends and reaps a relay copy started here. False when |pid| is not one of ours.
  bool stop_relay(pid_t pid);

  // Starts |program| (no arguments) on this bus, a stand-in for another bus peer such as
  // the sync daemon, and waits until |service| has an owner. Returns the child's pid, or
  // -1 with error() set (a copy that failed to come up is stopped again). The child is
  // ended by stop_program(), stop() or the destructor.
  pid_t start_program(const std::string& program, const std::string& service);
  // Ends and reaps a program started by start_program(). False when |pid| is not one.
  bool stop_program(pid_t pid);

  // True while the child |pid| started here has not exited.
  bool is_running(pid_t pid);

  // Ends every relay copy and the daemon; the bus can be started again afterwards.
  void stop();

  // True between a successful start() and stop(); is_running(daemon_pid()) tells whether
  // the daemon process is still alive.
  bool running() const { return daemon_pid_ > 0; }
  // The daemon's address ("unix:abstract=...,guid=..."); empty while stopped.
  const std::string& address() const { return address_; }
  pid_t daemon_pid() const { return daemon_pid_; }
  // The first relay copy started by start_relay() that is still ours, or -1.
  pid_t relay_pid() const;
  const std::string& error() const { return error_; }

  // Where the keldservice program of the build tree is.
  static std::string keldservice_path();

  // Waits (bounded) until |service| has an owner on this bus. False on timeout, or at
  // once when |watched| (a child started here, or -1) exits meanwhile.
  bool wait_for_owner(const std::string& service, pid_t watched = -1);

 private:
  // Starts |program| without arguments as one of |children| and, unless |service| is
  // empty, waits until it owns that name; |label| names it in error().
  pid_t start_child(const std::string& program, const std::string& service,
                    const std::string& label, std::map<pid_t, bool>& children);
  bool stop_child(pid_t pid, std::map<pid_t, bool>& children);
  pid_t spawn(const char* const argv[], int stdout_fd);
  bool end_child(pid_t pid);

  std::string address_;
  std::string config_path_;
  std::string saved_address_;
  bool had_saved_address_ = false;
  pid_t daemon_pid_ = -1;
  bool daemon_alive_ = false;  // false once reaped
  std::map<pid_t, bool> relays_;  // pid -> still running (false once reaped)
  std::map<pid_t, bool> programs_;  // the same for start_program()
  std::string error_;
};

}  // namespace keldra_test
