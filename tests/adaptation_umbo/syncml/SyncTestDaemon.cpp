#include "SyncTestDaemon.h"

namespace keldra_test {

FakeSyncDaemon* shared_fake_daemon(std::string& error) {
  // Never deleted: the shared bus ends the program when the process exits.
  static FakeSyncDaemon* daemon = nullptr;
  static std::string start_error;
  if (!daemon && start_error.empty()) {
    DbusTestBus& bus = DbusTestBus::shared();
    FakeSyncDaemon* started = new FakeSyncDaemon;
    if (!bus.running()) {
      start_error = "no test bus: " + bus.error();
    } else if (!started->start(bus)) {
      start_error = "no fake daemon: " + started->error();
    }
    if (start_error.empty()) {
      daemon = started;
    } else {
      delete started;
    }
  }
  error = start_error;
  return daemon;
}

std::vector<std::string> daemon_calls(FakeSyncDaemon& daemon) {
  std::vector<std::string> out;
  for (const FakeSyncDaemon::Call& call : daemon.calls()) {
    std::string text = call.method + "(";
    for (size_t i = 0; i < call.arguments.size(); ++i) {
      text += (i ? ", " : "") + call.arguments[i];
    }
    out.push_back(text + ")");
  }
  return out;
}

}  // namespace keldra_test
