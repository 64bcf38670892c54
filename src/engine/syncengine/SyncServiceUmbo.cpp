#include "syncengine/SyncServiceUmbo.h"

#include "syncengine/SyncTaskRunner.h"

#include <keldra/LoggerUmbo.h>

#include <QPointer>

#include <atomic>
#include <new>

namespace orva {
namespace keldra {
namespace internal {

namespace {

// The service whose sync runs in this process, null when none. Services of any thread
// compete for it, so it is atomic; only its owner clears it.
std::atomic<const SyncServiceUmbo*> g_running_sync{nullptr};

void trace(const char* text) { LoggerUmbo::log(text, LoggerUmbo::MSG_TRACE); }

}  // namespace

SyncServiceUmbo::SyncServiceUmbo(SyncTaskRunner* runner) : m_runner(runner), mListener(nullptr) {
  trace("SyncServiceUmbo::SyncServiceUmbo ++");
  if (m_runner &&
      !connect(m_runner, SIGNAL(reportSyncProgress(qint32, float)), this,
               SLOT(slotReportSyncProgress(qint32, float)))) {
    trace("SyncServiceUmbo::SyncServiceUmbo ERROR, reportSyncprogress signal failed");
  }
  trace("SyncServiceUmbo::SyncServiceUmbo --");
}

SyncServiceUmbo::~SyncServiceUmbo() {
  LogTrace t("SyncServiceUmbo::~SyncServiceUmbo");
  if (m_runner) {
    m_runner->cancel();
    m_runner->disconnect();
    delete m_runner;
    m_runner = nullptr;
  }
  releaseProcessSync();
}

orva::ErrorCode SyncServiceUmbo::synchronize(const SyncParams& params, unsigned int tasks) {
  LogTrace t("SyncServiceUmbo::synchronize");
  const orva::ErrorCode check = checkParams(params, true);
  if (check != ORVA_ERROR_NONE) return check;
  KeldSyncOptions options;
  options.tasks = tasks;
  return doSynchronize(params, options, std::vector<unsigned int>(),
                       std::vector<unsigned long long>());
}

orva::ErrorCode SyncServiceUmbo::synchronize(const SyncParams& params, unsigned int tasks,
                                             const std::vector<unsigned int>& local_ids,
                                             unsigned int cascading) {
  LogTrace t("SyncServiceUmbo::synchronize");
  const orva::ErrorCode check = checkParams(params, false);
  if (check != ORVA_ERROR_NONE) return check;
  KeldSyncOptions options;
  options.tasks = tasks;
  options.local_ids_given = !local_ids.empty();
  options.cascading = cascading;
  return doSynchronize(params, options, local_ids, std::vector<unsigned long long>());
}

orva::ErrorCode SyncServiceUmbo::synchronize(const SyncParams& params, unsigned int tasks,
                                             const std::vector<unsigned long long>& global_ids,
                                             bool cascade) {
  LogTrace t("SyncServiceUmbo::synchronize");
  const orva::ErrorCode check = checkParams(params, true);
  if (check != ORVA_ERROR_NONE) return check;
  KeldSyncOptions options;
  options.tasks = tasks;
  options.global_ids_given = true;
  options.cascade = cascade;
  return doSynchronize(params, options, std::vector<unsigned int>(), global_ids);
}

orva::ErrorCode SyncServiceUmbo::checkParams(const SyncParams& params, bool log_refusal) {
  const orva::ErrorCode check = check_sync_params(params);
  if (check != ORVA_ERROR_NONE && log_refusal)
    trace("SyncServiceUmbo::synchronize() Invalid parameters");
  return check;
}

orva::ErrorCode SyncServiceUmbo::doSynchronize(const SyncParams& params,
                                               const KeldSyncOptions& options,
                                               const std::vector<unsigned int>& local_ids,
                                               const std::vector<unsigned long long>& global_ids) {
  if (!m_runner) {
    trace("SyncServiceUmbo::synchronize: no sync task manager in this build");
    return ORVA_ERROR_NOT_SUPPORTED;
  }
  if (!claimProcessSync()) {
    trace("SyncServiceUmbo::synchronize: a sync is already running in this process");
    return ORVA_ERROR_NOT_READY;
  }
  // The listener hears the first report before the runner returns, and may cancel the
  // sync and release this service (and the runner) from its reports.
  QPointer<SyncServiceUmbo> alive(this);
  orva::ErrorCode result;
  try {
    FileSyncOptions upload;
    FileSyncOptions download;
    get_file_transfer_options(upload, download);
    SyncBackends backend = DEFAULT;
    get_backend(backend);
    result = m_runner->startSynchronize(params, options, local_ids, global_ids, upload, download,
                                        backend);
  } catch (const std::bad_alloc&) {
    trace("SyncServiceUmbo::synchronize Out-Of-memory error ");
    result = ORVA_ERROR_OUT_OF_MEMORY;
  } catch (...) {
    trace("SyncServiceUmbo::synchronize Unknown exception caught error ");
    result = ORVA_ERROR_UNKNOWN;
  }
  // Released during the start: its destructor gave up the claim.
  if (!alive) return result;
  // A refused start sent no report; a start whose run already ended has released it.
  if (result != ORVA_ERROR_NONE || !m_runner->isSyncActive()) releaseProcessSync();
  return result;
}

bool SyncServiceUmbo::claimProcessSync() {
  const SyncServiceUmbo* expected = nullptr;
  if (g_running_sync.compare_exchange_strong(expected, this)) return true;
  if (expected != this) return false;
  // Our own earlier sync: the runner knows whether it still runs (its final report may
  // have been lost when the signal could not be connected).
  return !m_runner->isSyncActive();
}

void SyncServiceUmbo::releaseProcessSync() {
  const SyncServiceUmbo* expected = this;
  g_running_sync.compare_exchange_strong(expected, nullptr);
}

void SyncServiceUmbo::set_listener(ProgressHandler* listener) {
  LogTrace t("SyncServiceUmbo::set_listener");
  if (listener) mListener = listener;
}

void SyncServiceUmbo::unset_listener(ProgressHandler* listener) {
  LogTrace t("SyncServiceUmbo::unset_listener");
  if (listener && mListener == listener) mListener = nullptr;
}

orva::ErrorCode SyncServiceUmbo::cancel() {
  LogTrace t("SyncServiceUmbo::cancel");
  if (m_runner) m_runner->cancel();
  return ORVA_ERROR_NONE;
}

bool SyncServiceUmbo::sync_ongoing() const {
  trace("SyncServiceUmbo::sync_ongoing()");
  return m_runner && m_runner->isSyncActive();
}

uint64_t SyncServiceUmbo::get_sync_data_transferred() const {
  return m_runner ? m_runner->getDataTransferred() : 0;
}

void SyncServiceUmbo::slotReportSyncProgress(qint32 errorCode, float progress) {
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                   "SyncServiceUmbo::slotReportSyncProgress ++, status %d, progress %5.2f",
                   static_cast<int>(errorCode), static_cast<double>(progress));
  // Settled before the listener runs: it may start the next sync or destroy this service.
  if (errorCode != ORVA_ERROR_KELDRA_IN_PROGRESS) releaseProcessSync();
  if (!mListener) return;
  trace("mListener->handle_progress, reported back to the client");
  mListener->handle_progress(progress, errorCode);
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
