// Writes the sync daemon's service profile ($HOME/.sync/profiles/service/keldra.xml,
// profile "keldra" of type "service") and finds the user's online account, the account
// of provider "zem" in the platform accounts store.
//
// The profile names the server address, the credentials (user name and password, a
// token as user "_token_<token>" with the fixed password, or the online account's id)
// and the local database. set_sync_parameters() rewrites it, and tells the daemon to
// reload it, only when the parameters differ from those of the last successful write,
// or, without user name and token, until a profile naming the online account has been
// written (again after the account was added or removed: mark_account_changed()).
//
// Values are escaped as XML attribute values; a value that XML cannot carry (invalid
// UTF-8, control characters other than tab, line feed and carriage return) is refused
// with UmboException 3. The file is written beside its final name and renamed over it,
// so the daemon reads a whole old or a whole new profile; it is readable by its owner
// only.
//
// Owns nothing it does not make; the account (online_account()) belongs to the accounts
// manager this class is. Thread: one, running a Qt event loop (the accounts store's
// signals arrive through it).
#pragma once

#include <keldra/SyncService.h>
#include <tervo/ustring.h>

#include <Accounts/Account>
#include <Accounts/Manager>
#include <QPointer>

#include <string>

namespace orva {
namespace keldra {
namespace internal {

class SyncProfileHandler : public Accounts::Manager {
 public:
  // A manager of the accounts store, which needs the session bus.
  SyncProfileHandler();
  ~SyncProfileHandler() override;

  // Rewrites the profile when needed (see above), then sends PROFILE_CHANGED through the
  // thread's D-Bus hub (which must have been initialised). Throws
  // UmboException: 0x6004 in account mode without a "zem" account, 3 for values XML
  // cannot carry, and what sending throws. A profile that cannot be written is logged
  // only (the daemon keeps its old one) and is not remembered, so the next call tries
  // again.
  void set_sync_parameters(const SyncService::SyncParams& params, const orva::ustring& dbName,
                           std::string serverUri);

  // Writes the profile from the remembered values. Throws as set_sync_parameters().
  void write_params_to_file();

  // The first account of provider "zem" in the accounts store's order, or null.
  Accounts::Account* findZemAccount();
  // Whether |account| (may be null) is of the online account's provider "zem".
  static bool is_zem_account(const Accounts::Account* account);

  // The online account known to the profile writer, or null; not owned.
  Accounts::Account* online_account() const { return m_account.data(); }
  // Its id, kept apart so that a removal is recognised also after the manager dropped
  // the account object; 0 when none is known.
  Accounts::AccountId online_account_id() const { return m_account_id; }
  // Replaces the known online account (null forgets it) and makes the next sync without
  // user name and token rewrite the profile.
  void mark_account_changed(Accounts::Account* account);

 private:
  // What a profile is written from.
  struct Values {
    SyncService::SyncParams params;
    std::string db_name;
    std::string server_address;
  };

  // Writes |values| to the profile; false (logged) when the file could not be made.
  bool write_profile(const Values& values);
  // Replaces the profile file with |content|; false when that failed.
  bool replace_profile_file(const std::string& content);

  Values m_values;  // of the last successful write
  std::string m_client_profile_name;
  std::string m_profile_path;
  std::string m_profile_dir;
  bool m_rewrite;
  QPointer<Accounts::Account> m_account;
  Accounts::AccountId m_account_id;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
