// Listener of the store's change events.
//
// Registered by raw pointer (Store::set_event_listener) and never owned or deleted by
// the library; unregister it before destroying it. Called on the thread that registered
// it, from that thread's Qt event loop, once for every batch of events relayed by the
// change-relay service (also for the caller's own changes, which reach it only that
// way). A batch is never empty. The observer may unregister itself, or others, during
// the call.
#pragma once

#include <keldra/RepositoryEvent.h>

#include <vector>

namespace orva {
namespace keldra {

class RepositoryObserver {
 public:
  virtual void handle_repository_event(const std::vector<RepositoryEvent>& events) = 0;

 protected:
  ~RepositoryObserver() {}
};

}  // namespace keldra
}  // namespace orva
