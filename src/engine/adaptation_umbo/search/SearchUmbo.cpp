#include "adaptation_umbo/search/SearchUmbo.h"

#include "adaptation_umbo/base/AsyncErrorReporter.h"
#include "adaptation_umbo/base/IdleNotifier.h"
#include "adaptation_umbo/search/SearchThread.h"

#include <keldra/Criterion.h>
#include <keldra/LoggerUmbo.h>

#include <new>

namespace orva {
namespace keldra {
namespace internal {

namespace {
const char kPersonal[] = "personal";
}

SearchUmbo::SearchUmbo()
    : m_handler(nullptr),
      m_thread(new SearchThread),
      m_progress(0.0f),
      m_status(ORVA_ERROR_NONE),
      m_notifier(new IdleNotifier(nullptr)),
      m_error_reporter(nullptr),
      m_reporter_handler(nullptr) {
  LoggerUmbo::log("SearchUmbo::SearchUmbo", LoggerUmbo::MSG_TRACE);
}

SearchUmbo::~SearchUmbo() {
  LoggerUmbo::log("SearchUmbo::~SearchUmbo() ++", LoggerUmbo::MSG_TRACE);
  delete m_notifier;
  m_notifier = nullptr;
  m_thread->stop();
  delete m_thread;
  m_thread = nullptr;
  delete m_error_reporter;
  m_error_reporter = nullptr;
  LoggerUmbo::log("SearchUmbo::~SearchUmbo() --", LoggerUmbo::MSG_TRACE);
}

void SearchUmbo::start(const orva::keldra::Criterion& criterion, const SortPref& sort,
                       orva::keldra::ProgressHandler& handler) {
  LoggerUmbo::log("SearchUmbo::start", LoggerUmbo::MSG_TRACE);
  if (criterion.get_service_id() != kPersonal) {
    LoggerUmbo::log("Error: service_id in Criterion is not KELD_SERVICE_PERSONAL.",
                    LoggerUmbo::MSG_TRACE);
    refuse(handler, ORVA_ERROR_INVALID_PARAMETERS);
    return;
  }
  if (is_active()) {
    LoggerUmbo::log("SearchUmbo::start: already running", LoggerUmbo::MSG_TRACE);
    refuse(handler, ORVA_ERROR_NOT_READY);
    return;
  }
  if (!m_notifier->start(this, "search")) {
    refuse(handler, ORVA_ERROR_UNKNOWN);
    return;
  }
  m_status = ORVA_ERROR_KELDRA_IN_PROGRESS;
  m_results.clear();
  m_progress = 0.0f;
  const orva::ErrorCode rc = m_thread->run(criterion, sort);
  if (rc != ORVA_ERROR_NONE) {
    LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "SearchUmbo::start: Thread run error: %d", rc);
    // The poll started above has nothing to report.
    m_notifier->cancel();
    refuse(handler, rc);
    return;
  }
  m_handler = &handler;
}

void SearchUmbo::refuse(orva::keldra::ProgressHandler& handler, orva::ErrorCode code) {
  LoggerUmbo::log("SearchUmbo::startAsyncErrorReporting", LoggerUmbo::MSG_TRACE);
  bool scheduled = false;
  try {
    if (!m_error_reporter || m_reporter_handler != &handler) {
      AsyncErrorReporter* reporter = new AsyncErrorReporter(handler);
      delete m_error_reporter;
      m_error_reporter = reporter;
      m_reporter_handler = &handler;
    }
    scheduled = m_error_reporter->start_async_report(0.0f, code);
  } catch (const std::bad_alloc&) {
    handler.handle_progress(0.0f, ORVA_ERROR_OUT_OF_MEMORY);
    return;
  }
  // Without an event loop the report would be lost: better now than never.
  if (!scheduled) handler.handle_progress(0.0f, code);
}

void SearchUmbo::cancel() {
  LoggerUmbo::log("SearchUmbo::cancel", LoggerUmbo::MSG_TRACE);
  m_thread->cancel();
}

bool SearchUmbo::is_active() const { return m_thread->state() == SearchThread::RUNNING; }

bool SearchUmbo::notify() {
  const size_t count = m_results.size();
  SearchThread::Status status;
  m_thread->get_status(status, m_results);
  if (status.progress == m_progress && status.error == m_status && m_results.size() == count) {
    return m_status == ORVA_ERROR_KELDRA_IN_PROGRESS;
  }
  m_progress = status.progress;
  m_status = status.error;
  const bool again = status.error == ORVA_ERROR_KELDRA_IN_PROGRESS;
  // Last: the handler may start another search or destroy this one.
  if (m_handler) m_handler->handle_progress(status.progress, status.error);
  return again;
}

void SearchUmbo::search_soft_deleted_objects(const orva::keldra::Criterion&,
                                             orva::keldra::ProgressHandler& handler) {
  LoggerUmbo::log("SearchUmbo::search_soft_deleted_objects", LoggerUmbo::MSG_TRACE);
  handler.handle_progress(0.0f, ORVA_ERROR_UNKNOWN);
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
