// The sync task manager of this platform: runs the syncs of one sync service, one at a
// time, as a list of at most three tasks (a direct transfer run, a SyncML sync through
// the platform's sync daemon, a media download run).
//
// A start opens the "personal" store (initialising its database when no store has yet),
// makes a new direct transfer handler, builds the task list from the task bits, announces
// SYNC_START through the relay and reports (ORVA_ERROR_KELDRA_IN_PROGRESS, 0) before it
// returns 0. The tasks then run one after the other, each begun from the event loop by a
// single-shot 0 ms timer; their progress is folded into one overall fraction by stages.
// A run ends when its list is done, a task fails, or cancel() stops it: SYNC_STOP goes
// out first, then exactly one final report (0 with 1.0, the failure, or
// ORVA_ERROR_KELDRA_CANCELLED, with the progress before the stop). Reports of a task
// that has already completed, and reports caused by the stop itself, are dropped.
//
// The direct-transfer tasks run through the handler that DirectTransferHandler::create
// makes for each start. The manager is the handler's listener: it ends the handler's run
// before it goes itself, so no report reaches a destroyed manager.
//
// Refusals, with no report and no announcement: 7 while a run is active, 3 when the task
// bits name no task, 1 when the store cannot be opened, or the failure to make the
// transfer handler or to enable its downloads or subscriptions.
//
// The device identifier sent with transfer runs is the device-information service's
// value under "/certs/npc/esn/gsm", else a random UUID kept in the settings
// (organisation "Ostra", application "Keldra", key "imei"); it is determined once per
// manager.
//
// Thread: made, used and destroyed on one thread, which runs a Qt event loop (the step
// timer and the daemon's signals). Owned by its sync service. A listener may cancel the
// run from inside any report, also one given while a task is starting (a SyncML start
// cancelled so never reaches the daemon), and may start the next sync, or destroy the
// service (and this manager), from inside the final report.
#pragma once

#include <keldra/DataAdapter.h>
#include <keldra/SharedPointer.h>
#include <keldra/Static.h>

#include "syncengine/SyncMlHandler.h"
#include "syncengine/SyncTaskRunner.h"
#include "syncengine/TaskProgress.h"
#include "transfer/DirectTransferHandler.h"

#include <QList>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <vector>

namespace orva {
namespace keldra {
namespace internal {

class DbusEventHandler;

class TaskManagerUmbo : public SyncTaskRunner,
                        public SyncMlHandler::SyncMlListener,
                        public DirectTransferHandler::Listener,
                        public DataAdapter::EventDispatcher {
  Q_OBJECT

 public:
  // The task types, also the manager's state (IDLE when no run is active).
  enum SyncTask { IDLE = 1, TRANSFER = 2, SYNCML = 3, MEDIA_DOWNLOAD = 4 };

  // Task bits.
  static const uint32_t TASK_OBJECTS_UPLOAD = 0x01;
  static const uint32_t TASK_OBJECTS_DOWNLOAD = 0x02;
  static const uint32_t TASK_SYNC = 0x04;
  static const uint32_t TASK_FILES_UPLOAD = 0x08;
  static const uint32_t TASK_FILES_DOWNLOAD = 0x10;
  static const uint32_t TASK_QUEUE_UPLOAD = 0x20;
  static const uint32_t TASK_OBJECTS_SUBSCRIBE = 0x40;

  // Takes the thread's D-Bus hub and initialises it; throws what its init() throws
  // (UmboException 1) and std::bad_alloc.
  TaskManagerUmbo();
  // Announces nothing: the owner cancels a running sync first. A transfer run still
  // active is cancelled (its report dropped) before the handler is let go.
  ~TaskManagerUmbo() override;

  orva::ErrorCode startSynchronize(const SyncService::SyncParams& params,
                                   const KeldSyncOptions& options,
                                   const std::vector<unsigned int>& local_ids,
                                   const std::vector<unsigned long long>& global_ids,
                                   const SyncService::FileSyncOptions& upload,
                                   const SyncService::FileSyncOptions& download,
                                   SyncService::SyncBackends backend) override;
  void cancel() override;
  bool isSyncActive() const override { return m_state != IDLE; }
  uint64_t getDataTransferred() const override { return m_data_transferred; }

  // The identifier the last start determined (empty before the first start).
  const QString& device_id() const { return m_device_id; }

  // Reports of the SyncML handler and of transfer runs.
  void sync_event(orva::ErrorCode status, float progress) override;
  void handle_transfer_progress(orva::ErrorCode status, float progress,
                                DirectTransferHandler::Phase phase) override;
  // Trace only: nothing registers the manager as a dispatcher.
  void report_event(const RepositoryEvent* event) override;
  void set_observer(RepositoryObserver* observer) override;

 public Q_SLOTS:
  // The step timer's target: begins the next task or completes the run.
  void slotTimeout();

 private:
  TaskManagerUmbo(const TaskManagerUmbo&) = delete;
  TaskManagerUmbo& operator=(const TaskManagerUmbo&) = delete;

  orva::ErrorCode openDatabase();
  void prepareForSync();
  void fetchImei();
  void startNextSyncTask();
  void syncTaskCompleted(orva::ErrorCode status);
  void stopSynchronize();
  // Stops the run and reports |status| with |progress|: SYNC_STOP, then the report.
  void finishRun(orva::ErrorCode status, float progress);
  orva::ErrorCode DoStartUpload();
  orva::ErrorCode DoStartSynchronize();
  orva::ErrorCode DoStartDownload();
  orva::ErrorCode startTransferRun();
  void send_sync_event(int32_t type, const char* message);
  // Emits one report; false when the listener destroyed this manager meanwhile.
  bool report(orva::ErrorCode status, float progress);
  // Whether a listener report is one the running task may still give.
  bool acceptsTaskReport(SyncTask task) const;

  orva::SharedPointer<DirectTransferHandler> m_transfer;
  orva::SharedPointer<DataAdapter> m_data_adapter;
  // Keeps the thread's string pool and database manager alive for the run.
  orva::SharedPointer<Static> m_static;
  QList<SyncTask> mSyncTasksList;
  TaskProgress m_progress;
  QTimer m_step_timer;
  QString m_device_id;
  SyncMlHandler* m_syncml;
  KeldSyncOptions m_options;
  std::vector<unsigned int> m_local_ids;
  uint64_t m_data_transferred;
  SyncService::SyncParams m_params;
  SyncTask m_state;
  orva::SharedPointer<DbusEventHandler> mDbusEventHandler;
  SyncService::FileSyncOptions m_download_options;
  SyncService::FileSyncOptions m_upload_options;
  // Counts accepted starts, so that code resumed after a report can tell whether its
  // run was stopped (or a new one started) meanwhile.
  uint32_t m_run;
  // The running task's completion has been handled; later reports of it are dropped.
  bool m_task_completed;
  // Inside stopSynchronize: reports caused by cancelling the tasks are dropped.
  bool m_stopping;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
