#include "adaptation_umbo/syncml/TaskManagerUmbo.h"

#include "adaptation_umbo/storage/DataAdapterUmbo.h"
#include "adaptation_umbo/events/DbusEventHandler.h"
#include "adaptation_umbo/syncml/SyncMlHandlerUmbo.h"
#include "adaptation_umbo/base/UmboException.h"
#include "adaptation_umbo/database/Database.h"

#include <keldra/DatabaseManager.h>
#include <keldra/LoggerUmbo.h>
#include <keldra/RepositoryEvent.h>
#include <keldra/SyncAdapter.h>

#include <sysinfo/sysinfo.h>

#include <QPointer>
#include <QSettings>
#include <QUuid>

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

namespace orva {
namespace keldra {
namespace internal {

namespace {

const LoggerUmbo::MsgType kTrace = LoggerUmbo::MSG_TRACE;
void trace(const char* text) { LoggerUmbo::log(text, kTrace); }

const uint32_t kTransferBits =
    TaskManagerUmbo::TASK_OBJECTS_UPLOAD | TaskManagerUmbo::TASK_OBJECTS_DOWNLOAD |
    TaskManagerUmbo::TASK_FILES_UPLOAD | TaskManagerUmbo::TASK_QUEUE_UPLOAD |
    TaskManagerUmbo::TASK_OBJECTS_SUBSCRIBE;

const char kImeiKey[] = "/certs/npc/esn/gsm";
// An identifier some devices hold before one is known: determined anew.
const char kImeiPlaceholder[] = "000001111111111";
const char kImeiPrefix[] = "IMEI\\:";

// The device-information service's value under kImeiKey as Latin-1 text, empty when the
// service has none. |opened| tells whether the service was available.
QString read_sysinfo_imei(bool& opened) {
  QString value;
  system_config* context = nullptr;
  opened = sysinfo_init(&context) == 0;
  if (!opened) return value;
  char** keys = nullptr;
  if (sysinfo_get_keys(context, &keys) == 0 && keys) {
    for (char** key = keys; *key; ++key) {
      if (std::strcmp(*key, kImeiKey) == 0) {
        uint8_t* bytes = nullptr;
        unsigned long length = 0;
        if (sysinfo_get_value(context, *key, &bytes, &length) == 0) {
          for (unsigned long i = 0; bytes && i < length; ++i) value.append(QChar(bytes[i]));
          std::free(bytes);
        }
      }
      std::free(*key);
    }
    std::free(keys);
  }
  sysinfo_finish(context);
  return value;
}

}  // namespace

// The platform's runner: the sync service takes one of these.
SyncTaskRunner* SyncTaskRunner::create() { return new TaskManagerUmbo(); }

TaskManagerUmbo::TaskManagerUmbo()
    : m_syncml(nullptr),
      m_data_transferred(0),
      m_state(IDLE),
      m_run(0),
      m_task_completed(true),
      m_stopping(false) {
  trace("TaskManagerUmbo::TaskManagerUmbo ++");
  m_step_timer.setSingleShot(true);
  m_step_timer.setInterval(0);
  connect(&m_step_timer, SIGNAL(timeout()), this, SLOT(slotTimeout()));
  mDbusEventHandler = DbusEventHandler::instance();
  mDbusEventHandler->init();
  trace("TaskManagerUmbo::TaskManagerUmbo --");
}

TaskManagerUmbo::~TaskManagerUmbo() {
  trace("TaskManagerUmbo::~TaskManagerUmbo() ++");
  trace("TaskManagerUmbo::~TaskManagerUmbo() release mDbusEventHandler ++");
  mDbusEventHandler.release();
  trace("TaskManagerUmbo::~TaskManagerUmbo() release mDbusEventHandler --");
  m_step_timer.disconnect();
  m_step_timer.stop();
  // The handler reports to this manager: its run ends here, the report dropped.
  if (m_transfer.is_valid() && m_transfer->is_active()) {
    m_stopping = true;
    m_transfer->cancel();
  }
  m_transfer.release();
  delete m_syncml;
  m_syncml = nullptr;
  m_progress.reset();
  m_transfer.release();
  m_data_adapter.release();
  m_static.release();
  m_local_ids.clear();
  mSyncTasksList.clear();
  trace("TaskManagerUmbo::~TaskManagerUmbo() --");
}

orva::ErrorCode TaskManagerUmbo::startSynchronize(const SyncService::SyncParams& params,
                                                  const KeldSyncOptions& options,
                                                  const std::vector<unsigned int>& local_ids,
                                                  const std::vector<unsigned long long>& global_ids,
                                                  const SyncService::FileSyncOptions& upload,
                                                  const SyncService::FileSyncOptions& download,
                                                  SyncService::SyncBackends backend) {
  LoggerUmbo::logf(kTrace, "TaskManagerUmbo::startSynchronize ++, tasks 0x%08X", options.tasks);
  if (isSyncActive()) {
    trace("Sync already active, return ORVA_ERROR_NOT_READY");
    return ORVA_ERROR_NOT_READY;
  }
  const orva::ErrorCode opened = openDatabase();
  if (opened != ORVA_ERROR_NONE) {
    trace("Database open failure");
    return opened;
  }
  prepareForSync();

  m_options = options;
  m_local_ids = local_ids;
  m_download_options = download;
  m_upload_options = upload;
  // An invalid backend is refused there and the adapter keeps its own.
  static_cast<DataAdapterUmbo*>(m_data_adapter.get())->select_backend(backend);

  const uint32_t tasks = options.tasks;
  if (tasks & kTransferBits) {
    mSyncTasksList.append(TRANSFER);
    if (m_transfer.is_valid()) {
      if (tasks & TASK_QUEUE_UPLOAD) m_transfer->enable_queue_upload(params.service);
      if (tasks & TASK_FILES_UPLOAD) m_transfer->enable_mmf_upload();
      if (tasks & TASK_OBJECTS_UPLOAD) m_transfer->enable_objects_upload();
      if (tasks & TASK_OBJECTS_DOWNLOAD) {
        const orva::ErrorCode r = m_transfer->enable_objects_download(global_ids, options.cascade);
        if (r != ORVA_ERROR_NONE) return r;
      }
      if (tasks & TASK_OBJECTS_SUBSCRIBE) {
        const orva::ErrorCode r = m_transfer->enable_objects_subscribe(global_ids, options.cascade);
        if (r != ORVA_ERROR_NONE) return r;
      }
    }
  }
  if (tasks & TASK_SYNC) mSyncTasksList.append(SYNCML);
  if (tasks & TASK_FILES_DOWNLOAD) mSyncTasksList.append(MEDIA_DOWNLOAD);

  switch (mSyncTasksList.count()) {
    case 1:
      m_progress.add_stage(0.01f);
      break;
    case 2:
      m_progress.add_stage(0.01f);
      m_progress.add_stage(0.5f);
      break;
    case 3:
      m_progress.add_stage(0.01f);
      m_progress.add_stage(0.25f);
      m_progress.add_stage(0.75f);
      break;
    default:
      trace("TaskManagerUmbo::startSynchronize: no task requested");
      return ORVA_ERROR_INVALID_PARAMETERS;
  }

  m_params = params;
  m_state = mSyncTasksList.first();
  ++m_run;
  m_task_completed = true;  // no task has begun yet
  m_step_timer.start(0);
  send_sync_event(RepositoryEvent::SYNC_START,
                  "TaskManagerUmbo::send_repository_events SYNC_START");
  report(ORVA_ERROR_KELDRA_IN_PROGRESS, m_progress.total_progress());
  return ORVA_ERROR_NONE;
}

orva::ErrorCode TaskManagerUmbo::openDatabase() {
  LogTrace t("TaskManagerUmbo::openDatabase");
  m_transfer.release();
  m_data_adapter.release();
  m_static = Static::instance();
  if (m_static.is_valid()) m_data_adapter = DatabaseManager::open("personal");
  DataAdapterUmbo* adapter = dynamic_cast<DataAdapterUmbo*>(m_data_adapter.get());
  if (!adapter || !adapter->database()) {
    trace("TaskManagerUmbo::openDatabase: the store is not available");
    return ORVA_ERROR_UNKNOWN;
  }
  // No store of this thread may have opened it: the sync needs it open either way.
  if (!adapter->database()->is_open()) {
    trace("TaskManagerUmbo::openDatabase: opening the database for the sync");
    adapter->database()->init(nullptr);
    if (!adapter->database()->is_open()) {
      trace("TaskManagerUmbo::openDatabase: the database cannot be opened");
      return ORVA_ERROR_UNKNOWN;
    }
  }
  orva::ErrorCode error = ORVA_ERROR_NONE;
  m_transfer = DirectTransferHandler::create(m_data_adapter, &error);
  LoggerUmbo::logf(kTrace, "TaskManagerUmbo::openDatabase: DirectTransferHandler create error %d",
                   error);
  return error;
}

void TaskManagerUmbo::prepareForSync() {
  m_state = IDLE;
  mSyncTasksList.clear();
  m_progress.reset();
  m_local_ids.clear();
  fetchImei();
  if (m_transfer.is_valid()) m_transfer->disable_all_tasks();
  m_data_transferred = 0;
}

void TaskManagerUmbo::fetchImei() {
  if (!m_device_id.isEmpty() && m_device_id != QLatin1String(kImeiPlaceholder)) return;
  m_device_id.clear();
  bool opened = false;
  const QString value = read_sysinfo_imei(opened);
  if (!value.isEmpty()) {
    m_device_id = QLatin1String(kImeiPrefix) + value;
    LoggerUmbo::log("IMEI: " + m_device_id.toStdString(), kTrace);
    return;
  }
  // A service without the value would give every device the same bare prefix: use
  // the stored identifier as when the service is missing.
  if (opened) trace("TaskManagerUmbo::fetchImei: SysInfo has no value for the IMEI key");
  trace("Failed getting IMEI from SysInfo.");
  QSettings settings(QStringLiteral("Ostra"), QStringLiteral("Keldra"));
  m_device_id = settings.value(QStringLiteral("imei")).toString();
  if (m_device_id.isEmpty()) {
    m_device_id = QUuid::createUuid().toString();
    settings.setValue(QStringLiteral("imei"), m_device_id);
    settings.sync();
  }
  LoggerUmbo::logf(kTrace, "Using virtual IMEI: %s", m_device_id.toUtf8().constData());
}

void TaskManagerUmbo::slotTimeout() {
  LogTrace t("TaskManagerUmbo::slotTimeout");
  QPointer<TaskManagerUmbo> alive(this);
  const uint32_t run = m_run;
  orva::ErrorCode failure = ORVA_ERROR_NONE;
  try {
    startNextSyncTask();
  } catch (const std::bad_alloc&) {
    failure = ORVA_ERROR_OUT_OF_MEMORY;
  } catch (...) {
    failure = ORVA_ERROR_UNKNOWN;
  }
  // Only a run that the exception left running ends here; one already reported stays so.
  if (failure != ORVA_ERROR_NONE && alive && m_run == run && isSyncActive()) {
    LoggerUmbo::logf(kTrace, "TaskManagerUmbo::slotTimeout: exception, error %d", failure);
    finishRun(failure, 1.0f);
  }
}

void TaskManagerUmbo::startNextSyncTask() {
  LoggerUmbo::logf(kTrace, "TaskManagerUmbo::startNextSyncTask() ++,  mSyncTasksList.count() = %d",
                   mSyncTasksList.count());
  if (m_state == IDLE) return;
  if (mSyncTasksList.isEmpty()) {
    finishRun(ORVA_ERROR_NONE, 1.0f);
    return;
  }
  m_progress.start_next_stage();
  const SyncTask task = mSyncTasksList.first();
  m_state = task;
  m_task_completed = false;
  const uint32_t run = m_run;
  QPointer<TaskManagerUmbo> alive(this);
  if (!report(ORVA_ERROR_KELDRA_IN_PROGRESS, m_progress.total_progress())) return;
  if (m_run != run || m_state == IDLE) return;  // stopped by the listener

  // Kept: a report during the start may stop this run and a new one replace the handler.
  orva::SharedPointer<DirectTransferHandler> transfer = m_transfer;
  orva::ErrorCode result = ORVA_ERROR_NONE;
  switch (task) {
    case TRANSFER:
      result = DoStartUpload();
      break;
    case SYNCML:
      result = DoStartSynchronize();
      break;
    case MEDIA_DOWNLOAD:
      result = DoStartDownload();
      break;
    default:
      break;
  }
  if (!alive) return;
  LoggerUmbo::logf(kTrace, "TaskManagerUmbo::startNextSyncTask() Operation status: %d", result);
  if (m_run != run || m_state == IDLE) {
    // The run was stopped while the task was starting, before the task could be
    // cancelled: cancel what it left running.
    if (transfer.is_valid() && transfer->is_active()) transfer->cancel();
    if (task == SYNCML && m_syncml && m_syncml->is_active()) m_syncml->cancel();
    return;
  }
  if (result == ORVA_ERROR_KELDRA_IN_PROGRESS) return;
  // Ended inside its start: when its listener has already heard the end, this is dropped.
  syncTaskCompleted(result);
}

void TaskManagerUmbo::syncTaskCompleted(orva::ErrorCode status) {
  LoggerUmbo::logf(kTrace, "TaskManagerUmbo::syncTaskCompleted ++, mSyncTasksList.count() = %d",
                   mSyncTasksList.count());
  if (m_stopping || m_state == IDLE || m_task_completed) {
    LoggerUmbo::logf(
        kTrace, "TaskManagerUmbo::syncTaskCompleted: task already completed, %d dropped", status);
    return;
  }
  if (status == ORVA_ERROR_NONE) {
    trace("TaskManagerUmbo::syncTaskCompleted Continue state machine");
    m_task_completed = true;
    LoggerUmbo::logf(kTrace, "TaskManagerUmbo::continueStateMachine: mSyncTasksList.count() %d ",
                     mSyncTasksList.count());
    if (!mSyncTasksList.isEmpty()) mSyncTasksList.removeFirst();
    m_step_timer.start(0);
  } else if (status == ORVA_ERROR_KELDRA_IN_PROGRESS) {
    trace("TaskManagerUmbo::syncTaskCompleted Keldra in-progress");
    report(ORVA_ERROR_KELDRA_IN_PROGRESS, m_progress.total_progress());
  } else {
    trace("TaskManagerUmbo::syncTaskCompleted Stop state machine");
    m_task_completed = true;
    const float progress = m_progress.total_progress();
    stopSynchronize();
    LoggerUmbo::logf(kTrace, "syncTaskCompleted progress %5.2f ", static_cast<double>(progress));
    report(status, progress);
  }
}

void TaskManagerUmbo::stopSynchronize() {
  LogTrace t("TaskManagerUmbo::stopSynchronize");
  m_stopping = true;
  m_step_timer.stop();
  mSyncTasksList.clear();
  m_progress.reset();
  // Their cancellation reports come back while m_stopping holds, and are dropped.
  if (m_transfer.is_valid() && m_transfer->is_active()) m_transfer->cancel();
  if (m_syncml && m_syncml->is_active()) m_syncml->cancel();
  m_state = IDLE;
  m_task_completed = true;
  m_stopping = false;
  send_sync_event(RepositoryEvent::SYNC_STOP, "TaskManagerUmbo::send_repository_events SYNC_STOP");
}

void TaskManagerUmbo::finishRun(orva::ErrorCode status, float progress) {
  stopSynchronize();
  report(status, progress);
}

void TaskManagerUmbo::cancel() {
  LogTrace t("TaskManagerUmbo::cancel");
  if (m_state == IDLE || m_stopping) return;
  const float progress = m_progress.total_progress();
  stopSynchronize();
  LoggerUmbo::logf(kTrace, "TaskManagerUmbo::cancel progress %5.2f ",
                   static_cast<double>(progress));
  report(ORVA_ERROR_KELDRA_CANCELLED, progress);
}

orva::ErrorCode TaskManagerUmbo::DoStartUpload() {
  LogTrace t("TaskManagerUmbo::DoStartUpload");
  if (!m_transfer.is_valid()) {
    trace("TaskManagerUmbo::DoStartUpload(): no direct transfer handler");
    return ORVA_ERROR_UNKNOWN;
  }
  if (!m_options.local_ids_given && (m_options.tasks & TASK_OBJECTS_UPLOAD)) {
    m_transfer->enable_objects_upload_without_ids();
  }
  if (m_options.local_ids_given) {
    LoggerUmbo::logf(kTrace, "TaskManagerUmbo::DoStartUpload() objects %d, cascading %d",
                     static_cast<int>(m_local_ids.size()), static_cast<int>(m_options.cascading));
    const orva::ErrorCode r =
        m_transfer->set_local_objects_filter(m_local_ids, m_options.cascading);
    if (r != ORVA_ERROR_NONE) return r;
  }
  return startTransferRun();
}

orva::ErrorCode TaskManagerUmbo::DoStartDownload() {
  LogTrace t("TaskManagerUmbo::DoStartDownload");
  if (!m_transfer.is_valid()) {
    trace("TaskManagerUmbo::DoStartDownload(): no direct transfer handler");
    return ORVA_ERROR_UNKNOWN;
  }
  const uint32_t tasks = m_options.tasks;
  // Taken before the new run clears them.
  std::vector<unsigned int> downloaded;
  if ((tasks & TASK_OBJECTS_DOWNLOAD) && (tasks & TASK_FILES_DOWNLOAD)) {
    for (const auto& entry : m_transfer->downloaded_objects()) {
      downloaded.push_back(entry.second.get_local_id());
    }
  }
  m_transfer->disable_all_tasks();
  if (tasks & TASK_FILES_DOWNLOAD) {
    m_transfer->enable_mmf_download();
    orva::ErrorCode r = ORVA_ERROR_NONE;
    if (tasks & TASK_OBJECTS_DOWNLOAD) {
      r = m_transfer->set_local_objects_filter(downloaded, 0);
    } else if (m_options.local_ids_given) {
      r = m_transfer->set_local_objects_filter(m_local_ids, m_options.cascading);
    }
    if (r != ORVA_ERROR_NONE) return r;
  }
  m_transfer->set_download_options(m_download_options);
  LoggerUmbo::logf(kTrace, "Download scaling parameter: %d",
                   m_download_options.image_scaling_longest_side);
  return startTransferRun();
}

orva::ErrorCode TaskManagerUmbo::startTransferRun() {
  return m_transfer->start(m_params, std::string(m_device_id.toLatin1().constData()), *this);
}

orva::ErrorCode TaskManagerUmbo::DoStartSynchronize() {
  LogTrace t("TaskManagerUmbo::DoStartSynchronize");
  if (!m_syncml) {
    try {
      m_syncml = SyncMlHandler::CreateInstance(*this);
    } catch (const UmboException& e) {
      LoggerUmbo::logf(kTrace, "TaskManagerUmbo::DoStartSynchronize(): %s", e.what());
      m_syncml = nullptr;
    }
    if (!m_syncml) {
      trace("TaskManagerUmbo::DoStartSynchronize(): FATAL: couldn't create SyncMlHanlder");
      return ORVA_ERROR_UNKNOWN;
    }
  }
  orva::SharedPointer<SyncAdapter> sync = m_data_adapter->sync_adapter();
  if (!sync.is_valid()) {
    trace("TaskManagerUmbo::DoStartSynchronize(): no sync adapter for the server address");
    return ORVA_ERROR_UNKNOWN;
  }
  const orva::ErrorCode err =
      m_syncml->synchronize(m_params, m_data_adapter->get_db_name(), sync->server_uri());
  LoggerUmbo::logf(kTrace, "TaskManagerUmbo::DoStartSynchronize() --, err %d", err);
  return err == ORVA_ERROR_NONE ? ORVA_ERROR_KELDRA_IN_PROGRESS : err;
}

bool TaskManagerUmbo::acceptsTaskReport(SyncTask task) const {
  return !m_stopping && !m_task_completed && m_state == task;
}

void TaskManagerUmbo::handle_transfer_progress(orva::ErrorCode status, float progress,
                                               DirectTransferHandler::Phase) {
  LoggerUmbo::logf(kTrace, "TaskManagerUmbo::handle_transfer_progress ++, error %d, progress %5.2f",
                   status, static_cast<double>(progress));
  // The final report may start a new sync, which replaces the handler that is calling.
  orva::SharedPointer<DirectTransferHandler> calling = m_transfer;
  const bool transfer_task = m_state == TRANSFER || m_state == MEDIA_DOWNLOAD;
  // The first end of the running transfer counts its bytes, also when a stop caused it.
  if (status != ORVA_ERROR_KELDRA_IN_PROGRESS && transfer_task && !m_task_completed &&
      m_transfer.is_valid()) {
    m_data_transferred += m_transfer->get_data_transfered();
    LoggerUmbo::logf(kTrace, "TaskManagerUmbo::handle_transfer_progress: m_data_transferred %lld ",
                     static_cast<long long>(m_data_transferred));
  }
  if (!acceptsTaskReport(m_state == MEDIA_DOWNLOAD ? MEDIA_DOWNLOAD : TRANSFER)) {
    trace("TaskManagerUmbo::handle_transfer_progress: no transfer task waits for it, dropped");
    return;
  }
  m_progress.set_stage_progress(progress);
  syncTaskCompleted(status);
}

void TaskManagerUmbo::sync_event(orva::ErrorCode status, float progress) {
  LoggerUmbo::logf(kTrace, "TaskManagerUmbo::sync_event ++, error %d, progress %5.2f", status,
                   static_cast<double>(progress));
  if (status != ORVA_ERROR_KELDRA_IN_PROGRESS) {
    SyncMlHandlerUmbo* handler = dynamic_cast<SyncMlHandlerUmbo*>(m_syncml);
    if (handler) handler->setActive(false);
  }
  if (!acceptsTaskReport(SYNCML)) {
    trace("TaskManagerUmbo::sync_event: no SyncML task waits for it, dropped");
    return;
  }
  m_progress.set_stage_progress(progress);
  syncTaskCompleted(status);
}

void TaskManagerUmbo::report_event(const RepositoryEvent*) {
  LogTrace t("TaskManagerUmbo::report_event");
}

void TaskManagerUmbo::set_observer(RepositoryObserver*) {
  LogTrace t("TaskManagerUmbo::set_observer");
}

void TaskManagerUmbo::send_sync_event(int32_t type, const char* message) {
  trace(message);
  const orva::ErrorCode sent = mDbusEventHandler->send_repository_event(RepositoryEvent(type, 0));
  if (sent != ORVA_ERROR_NONE) {
    LoggerUmbo::logf(kTrace, "TaskManagerUmbo::send_repository_events: failed, error %d", sent);
  }
}

bool TaskManagerUmbo::report(orva::ErrorCode status, float progress) {
  QPointer<TaskManagerUmbo> alive(this);
  emit reportSyncProgress(status, progress);
  return !alive.isNull();
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
