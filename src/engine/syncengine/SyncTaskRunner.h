// What the sync service needs of the task manager that runs its syncs.
//
// One runner per service, created with it and deleted by it (after cancel()). Every
// call and every report happens on the service's thread. A runner reports each step
// and the final status of a run through reportSyncProgress: every report before the
// end carries ORVA_ERROR_KELDRA_IN_PROGRESS, the last one the final status, and a
// run that was started reports exactly one final status.
#pragma once

#include "syncengine/KeldSyncOptions.h"

#include <keldra/ErrorCode.h>
#include <keldra/SyncService.h>

#include <QObject>

#include <cstdint>
#include <vector>

namespace orva {
namespace keldra {
namespace internal {

class SyncTaskRunner : public QObject {
  Q_OBJECT

 public:
  // The platform's runner (defined beside it, in the platform layer). May throw what the
  // runner's construction throws (the D-Bus hub's UmboException).
  static SyncTaskRunner* create();

  ~SyncTaskRunner() override {}

  // Starts a run. 0 once started, after the first report (IN_PROGRESS, 0.0) has been
  // emitted; otherwise the refusal, with no report: 7 while a run is active, 3 when
  // the task bits name no task, or the failure to open the store or prepare a task.
  virtual orva::ErrorCode startSynchronize(const SyncService::SyncParams& params,
                                           const KeldSyncOptions& options,
                                           const std::vector<unsigned int>& local_ids,
                                           const std::vector<unsigned long long>& global_ids,
                                           const SyncService::FileSyncOptions& upload,
                                           const SyncService::FileSyncOptions& download,
                                           SyncService::SyncBackends backend) = 0;
  // Stops an active run, which reports ORVA_ERROR_KELDRA_CANCELLED; nothing when idle.
  virtual void cancel() = 0;
  virtual bool isSyncActive() const = 0;
  // Bytes moved by the transfer runs of the current or last run.
  virtual uint64_t getDataTransferred() const = 0;

 signals:
  void reportSyncProgress(qint32 errorCode, float progress);

 protected:
  SyncTaskRunner() {}
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
