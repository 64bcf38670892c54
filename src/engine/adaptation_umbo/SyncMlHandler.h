// Driver interface of the SyncML synchronisation through the platform's sync daemon.
//
// For now it carries only the listener through which the D-Bus hub passes the daemon's
// reports to the sync task manager.
#pragma once

#include <keldra/ErrorCode.h>

#include <memory>

namespace orva {
namespace keldra {

class SyncMlHandler {
 public:
  // Receives the progress and the end of a SyncML sync: status
  // ORVA_ERROR_KELDRA_IN_PROGRESS while it runs, any other value ends it.
  //
  // Never owned by the library. The hub keeps a weak token of the listener (alive()),
  // so a listener destroyed while still set is never called: its owner need not
  // remember to unset it first. Construction throws std::bad_alloc.
  class SyncMlListener {
   public:
    virtual void sync_event(orva::ErrorCode status, float progress) = 0;

    // Expires when the listener is destroyed.
    std::weak_ptr<const void> alive() const { return m_alive; }

   protected:
    SyncMlListener() : m_alive(std::make_shared<char>(0)) {}
    // A copy is a listener of its own, with its own token.
    SyncMlListener(const SyncMlListener&) : SyncMlListener() {}
    SyncMlListener& operator=(const SyncMlListener&) { return *this; }
    ~SyncMlListener() {}

   private:
    std::shared_ptr<const void> m_alive;
  };
};

}  // namespace keldra
}  // namespace orva
