// Driver interface of the SyncML synchronisation through the platform's sync daemon.
//
// The sync task manager makes one handler (CreateInstance) on its first SyncML sync and
// keeps it; synchronize() asks the daemon to run, and the daemon's progress and end come
// back later through the listener.
#pragma once

#include <keldra/ErrorCode.h>
#include <keldra/SyncService.h>
#include <tervo/ustring.h>

#include <memory>
#include <string>

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

  // |listener| is not owned and must outlive the handler.
  explicit SyncMlHandler(SyncMlListener& listener) : m_listener(listener) {}
  virtual ~SyncMlHandler() {}

  // 0 when the daemon has been asked to start; the outcome follows on the listener.
  virtual orva::ErrorCode synchronize(const SyncService::SyncParams& params, orva::ustring dbName,
                                      std::string serverUri) = 0;
  virtual bool is_active() const = 0;
  virtual void cancel() = 0;

  // Passes a report to the listener.
  void notify(orva::ErrorCode status, float progress) { m_listener.sync_event(status, progress); }

  // A new platform handler, owned by the caller. Throws what its constructor throws.
  static SyncMlHandler* CreateInstance(SyncMlListener& listener);

 protected:
  SyncMlListener& m_listener;

 private:
  SyncMlHandler(const SyncMlHandler&) = delete;
  SyncMlHandler& operator=(const SyncMlHandler&) = delete;
};

}  // namespace keldra
}  // namespace orva
