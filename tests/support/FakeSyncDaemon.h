// Test-side handle of the fake sync daemon (support/fakemsyncd): starts the program on a
// test bus, reads the calls it recorded and makes it emit the daemon's signals.
//
// Control calls go over |connection| (the process's session bus by default, which must
// be the test bus: see DbusTestBus::shared()). They block until the fake answers, and a
// signal asked for is on its way before the answer comes back; calls the library made
// over the same connection before a control call have reached the fake by its answer.
//
// Not thread-safe: use from the test's main thread.
#pragma once

#include <sys/types.h>

#include <QDBusConnection>
#include <QString>

#include <string>
#include <vector>

#include "support/DbusTestBus.h"

namespace keldra_test {

class FakeSyncDaemon {
 public:
  static constexpr const char* kService = "com.meego.msyncd";

  // One recorded call: the method and its arguments, in order.
  struct Call {
    std::string method;
    std::vector<std::string> arguments;
    bool operator==(const Call& other) const {
      return method == other.method && arguments == other.arguments;
    }
  };

  // Where the fake program of the build tree is.
  static std::string program_path();

  // Control calls over the process's session bus, taken at the first call (so a handle
  // may be made before the test bus starts).
  FakeSyncDaemon();
  explicit FakeSyncDaemon(QDBusConnection connection);
  // Stops the program if this handle started it.
  ~FakeSyncDaemon();

  FakeSyncDaemon(const FakeSyncDaemon&) = delete;
  FakeSyncDaemon& operator=(const FakeSyncDaemon&) = delete;

  // Starts the program on |bus| and waits until it owns its name. False with error() set.
  bool start(DbusTestBus& bus);
  // Ends the program started by start().
  void stop();
  pid_t pid() const { return pid_; }
  // Whether the daemon's name has an owner (this fake or any other), as the bus says.
  bool name_owned();
  const std::string& error() const { return error_; }

  // Every call recorded since the start or the last clear_calls().
  std::vector<Call> calls();
  void clear_calls();

  void emit_sync_status(const QString& profile, int status, const QString& message, int details);
  void emit_transfer_progress(const QString& profile, int database, int type, const QString& mime,
                              int committed);
  void emit_results_available(const QString& profile, const QString& results);

  // What the daemon answers to startSync from now on: true (it takes the start, as
  // after start()) or false (it refuses it). Calls are recorded either way.
  void set_start_answer(bool accepted);

 private:
  QDBusConnection& connection();

  QDBusConnection connection_;
  bool session_ = false;  // connection_ is still to be taken from sessionBus()
  DbusTestBus* bus_ = nullptr;
  pid_t pid_ = -1;
  std::string error_;
};

void PrintTo(const FakeSyncDaemon::Call& call, std::ostream* os);

}  // namespace keldra_test
