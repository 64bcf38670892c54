// The sync service of this platform: checks a request, builds its task options and
// hands it to its task runner, whose reports it forwards to the caller's listener.
//
// Lives on the thread that made it (which runs a Qt event loop); owns its runner.
// At most one sync runs in the process: a service whose request would start a second
// one gets 7 while another service's sync runs.
#pragma once

#include "syncengine/KeldSyncOptions.h"

#include <keldra/SyncService.h>

#include <QObject>

#include <cstdint>
#include <vector>

namespace orva {
namespace keldra {
namespace internal {

class SyncTaskRunner;

class SyncServiceUmbo : public QObject, public SyncService {
  Q_OBJECT

 public:
  // Takes |runner| (may be null: every synchronize is then refused with 4).
  explicit SyncServiceUmbo(SyncTaskRunner* runner);
  // Cancels a running sync (the listener receives the cancellation) and deletes the runner.
  ~SyncServiceUmbo() override;

  using SyncService::synchronize;
  orva::ErrorCode synchronize(const SyncParams& params, unsigned int tasks) override;
  orva::ErrorCode synchronize(const SyncParams& params, unsigned int tasks,
                              const std::vector<unsigned int>& local_ids,
                              unsigned int cascading) override;
  orva::ErrorCode synchronize(const SyncParams& params, unsigned int tasks,
                              const std::vector<unsigned long long>& global_ids,
                              bool cascade) override;
  void set_listener(ProgressHandler* listener) override;
  void unset_listener(ProgressHandler* listener) override;
  orva::ErrorCode cancel() override;
  bool sync_ongoing() const override;
  uint64_t get_sync_data_transferred() const override;

 public slots:
  // A report of the runner; reaches the listener when one is set. The listener may
  // destroy this service from inside the call.
  void slotReportSyncProgress(qint32 errorCode, float progress);

 private:
  // check_sync_params; |log_refusal| adds the service's own message to a refusal.
  static orva::ErrorCode checkParams(const SyncParams& params, bool log_refusal);
  orva::ErrorCode doSynchronize(const SyncParams& params, const KeldSyncOptions& options,
                                const std::vector<unsigned int>& local_ids,
                                const std::vector<unsigned long long>& global_ids);
  // The process-wide claim on the one running sync.
  bool claimProcessSync();
  void releaseProcessSync();

  SyncTaskRunner* m_runner;
  ProgressHandler* mListener;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
