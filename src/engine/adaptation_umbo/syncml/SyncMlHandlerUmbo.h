// The SyncML handler of this platform: writes the sync daemon's service profile and
// the account id file, then asks the daemon to run the profile "maps-keldra".
//
// synchronize() registers the listener for the daemon's reports, rewrites the profile
// when needed (SyncProfileHandler), writes the account id file for the storage plug-in
// and sends START_SYNC. It follows the accounts store, so that adding or removing the
// online account makes the next sync rewrite the profile.
//
// Owns its profile writer and file manager; the listener is the caller's. Thread: one,
// running a Qt event loop (the daemon's reports and the accounts store's signals
// arrive through it).
#pragma once

#include <keldra/SharedPointer.h>

#include "syncengine/SyncMlHandler.h"

#include <Accounts/Account>
#include <QObject>

#include <memory>

namespace orva {
namespace keldra {
namespace internal {

class DbusEventHandler;
class FileManager;
class SyncProfileHandler;

class SyncMlHandlerUmbo : public QObject, public SyncMlHandler {
  Q_OBJECT

 public:
  // Takes the thread's D-Bus hub and initialises it. Throws what the hub's init()
  // throws (UmboException 1), and std::bad_alloc.
  explicit SyncMlHandlerUmbo(SyncMlListener& listener);
  // Aborts a sync still active (the daemon must not go on with it) and stops the hub
  // from reporting to this handler's listener.
  ~SyncMlHandlerUmbo() override;

  // 0 once the daemon has been asked to start, else the failing step's code: 0x6004
  // when neither user name nor token is given and the accounts store has no "zem"
  // account (nothing is sent then), 3 when a value cannot be written into the profile,
  // 1 when the daemon cannot be reached. Steps already done stay done. The listener
  // hears (0x6001, 0.05) before the daemon is asked; when it cancels the sync, or
  // destroys this handler, from that report, the daemon is not asked to start and the
  // result is ORVA_ERROR_KELDRA_CANCELLED (touching nothing of a destroyed handler).
  orva::ErrorCode synchronize(const SyncService::SyncParams& params, orva::ustring dbName,
                              std::string serverUri) override;
  bool is_active() const override { return m_active; }
  // Stops listening and asks the daemon to abort; failures are only logged.
  void cancel() override;
  void setActive(bool active) { m_active = active; }

  // The profile writer, for those who follow the accounts store with it.
  SyncProfileHandler& profile_handler() { return *m_profile; }

 public Q_SLOTS:
  void handleAccountRemoved(Accounts::AccountId id);
  void handleAccountCreated(Accounts::AccountId id);

 private:
  orva::SharedPointer<DbusEventHandler> m_hub;
  orva::SharedPointer<FileManager> m_files;
  std::unique_ptr<SyncProfileHandler> m_profile;
  bool m_active;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
