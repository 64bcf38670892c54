// Public entry to synchronisation.
//
// SyncService::instance() makes a new service object on every call. The caller sets the
// backend, the file options and a listener, then asks it to synchronize with the
// account parameters. A service and its listener belong to the thread that made the
// service, which must run a Qt event loop: the work is stepped from it and every
// report after the first one comes from it. Only one sync runs in a process at a time.
#pragma once

#include <keldra/ErrorCode.h>
#include <keldra/ProgressHandler.h>
#include <keldra/RefCountable.h>
#include <keldra/SharedPointer.h>

#include <cstdint>
#include <string>
#include <vector>

namespace orva {
namespace keldra {

class SyncService : public orva::internal::RefCountable {
 public:
  // The user's account data, copied by value wherever it is held.
  struct SyncParams {
    std::string service;   // the service name, "personal"
    std::string user;      // empty with a token or for the platform's online account
    std::string password;
    uint32_t iap = 0;      // network access point; 0: the platform's default
    std::string token;     // when not empty it takes the place of user and password
    std::string account;   // the online account's identifier
  };

  // File transfer options; one copy for uploads, one for downloads.
  struct FileSyncOptions {
    int32_t image_scaling_longest_side = 0;  // 0: images transferred unscaled
    uint64_t file_size_limit = 0;
    uint32_t allowed_file_types = 0xFFFFFFFFu;  // 1 path, 2 image, 4 audio, 8 video; all: any
  };

  // Fixed width: a value outside the two is stored and refused only when applied.
  enum SyncBackends : int32_t { DEFAULT = 0, CHINA = 1 };

  // A new service object; empty only when none can be made.
  static orva::SharedPointer<SyncService> instance();

  // 0 for a token, for user and password together, or for none of the three; 3 for a
  // user name without password or a password without user name. Never logs the
  // password and logs a token only by its length.
  static orva::ErrorCode check_sync_params(const SyncParams& params);
  // The HTTP Basic authorisation text: Base64 of "_token_<token>:brunmoset" for a token,
  // else of "<user>:<password>"; 3 with |digest| unchanged when neither token nor user
  // name is set.
  static orva::ErrorCode create_auth_digest(const SyncParams& params, std::string& digest);

  ~SyncService() override {}

  // A non-null listener replaces the current one; null is ignored. Not owned; it must
  // outlive the service (its destruction reports a cancelled sync).
  virtual void set_listener(ProgressHandler* listener) = 0;
  // Forgets |listener| when it is the current one (a listener about to be destroyed
  // while the service lives on); any other listener stays.
  virtual void unset_listener(ProgressHandler* listener) = 0;

  // Start a sync. 0 once started: the first report (ORVA_ERROR_KELDRA_IN_PROGRESS, 0.0)
  // has then reached the listener, the later ones come from the event loop. A refusal
  // sends no report: 3 invalid parameters or no task, 7 while a sync runs in this
  // process, 2 out of memory, 4 when this build cannot synchronize, or the code of a
  // failure to open the store or prepare the transfer.
  // With parameters only: the SyncML synchronisation (tasks 0x04).
  virtual orva::ErrorCode synchronize(const SyncParams& params) { return synchronize(params, 4); }
  virtual orva::ErrorCode synchronize(const SyncParams& params, unsigned int tasks) = 0;
  // Limited to |local_ids| and their children to depth |cascading|.
  virtual orva::ErrorCode synchronize(const SyncParams& params, unsigned int tasks,
                                      const std::vector<unsigned int>& local_ids,
                                      unsigned int cascading) = 0;
  // For downloads and subscriptions by global id; |cascade| includes linked objects.
  virtual orva::ErrorCode synchronize(const SyncParams& params, unsigned int tasks,
                                      const std::vector<unsigned long long>& global_ids,
                                      bool cascade) = 0;
  // Stops a running sync, which then reports ORVA_ERROR_KELDRA_CANCELLED; nothing
  // when none runs.
  virtual orva::ErrorCode cancel() = 0;
  // True while a sync of this service runs.
  virtual bool sync_ongoing() const = 0;
  // Bytes moved by the transfer runs of the current or last sync.
  virtual uint64_t get_sync_data_transferred() const = 0;

  // Stored unchecked (returns 0); applied at the next sync, where only 0 and 1 are
  // taken. DEFAULT until set.
  orva::ErrorCode select_backend(SyncBackends backend) {
    m_backend = backend;
    return ORVA_ERROR_NONE;
  }
  void get_backend(SyncBackends& out) const { out = m_backend; }

  orva::ErrorCode set_file_upload_options(const FileSyncOptions& options) {
    m_upload_options = options;
    return ORVA_ERROR_NONE;
  }
  orva::ErrorCode set_file_download_options(const FileSyncOptions& options) {
    m_download_options = options;
    return ORVA_ERROR_NONE;
  }
  void get_file_transfer_options(FileSyncOptions& upload, FileSyncOptions& download) const {
    upload = m_upload_options;
    download = m_download_options;
  }

 protected:
  SyncService() {}

 private:
  SyncService(const SyncService&) = delete;
  SyncService& operator=(const SyncService&) = delete;

  FileSyncOptions m_upload_options;
  FileSyncOptions m_download_options;
  SyncBackends m_backend = DEFAULT;
};

}  // namespace keldra
}  // namespace orva
