// Stand-in for the D-Bus hub's daemon side while the SyncML handler is tested: records
// the requests under the daemon's method names ("updateProfile", "startSync",
// "abortSync") and the listener changes, and can be made to fail like a hub without a
// daemon.
#pragma once

#include "adaptation_umbo/SyncDaemonRequests.h"
#include "adaptation_umbo/UmboException.h"

#include <string>
#include <vector>

namespace keldra_test {

class SyncTestDaemon : public orva::keldra::internal::SyncDaemonRequests {
 public:
  void send_sync_message(SyncMessageType type) override {
    if (unreachable) {
      throw orva::keldra::internal::UmboException(1, "Msyncd interface is not available");
    }
    static const char* const names[] = {"startSync", "abortSync", "updateProfile"};
    calls.push_back(names[type]);
    if (type == START_SYNC && listener) listener->sync_event(ORVA_ERROR_KELDRA_IN_PROGRESS, 0.05f);
  }
  void set_sync_event_listener(orva::keldra::SyncMlHandler::SyncMlListener* l) override {
    if (unreachable) {
      throw orva::keldra::internal::UmboException(1, "Msyncd interface is not available!");
    }
    listener = l;
  }
  void unset_sync_event_listener() override { listener = nullptr; }

  std::vector<std::string> calls;
  orva::keldra::SyncMlHandler::SyncMlListener* listener = nullptr;
  bool unreachable = false;
};

}  // namespace keldra_test
