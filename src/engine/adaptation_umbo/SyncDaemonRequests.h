// What the SyncML handler and the profile writer ask of the sync daemon: its requests
// for the profile "maps-keldra" and the receiver of its reports. The thread's D-Bus hub
// provides them.
//
// Thread: the caller's; the reports arrive through its Qt event loop.
#pragma once

#include "adaptation_umbo/SyncMlHandler.h"

namespace orva {
namespace keldra {
namespace internal {

class SyncDaemonRequests {
 public:
  enum SyncMessageType { START_SYNC = 0, CANCEL_SYNC = 1, PROFILE_CHANGED = 2 };

  // startSync, abortSync or updateProfile; START_SYNC first reports 0x6001 with progress
  // 0.05 to the listener. Throws UmboException 1 when the daemon cannot be reached.
  virtual void send_sync_message(SyncMessageType type) = 0;
  // Makes |listener| (not owned) the receiver of the daemon's reports. Throws
  // UmboException 1 when the daemon cannot be reached.
  virtual void set_sync_event_listener(SyncMlHandler::SyncMlListener* listener) = 0;
  virtual void unset_sync_event_listener() = 0;

 protected:
  ~SyncDaemonRequests() {}
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
