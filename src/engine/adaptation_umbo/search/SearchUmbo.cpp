#include "adaptation_umbo/search/SearchUmbo.h"

#include "adaptation_umbo/base/AsyncErrorReporter.h"
#include "adaptation_umbo/base/WakeNotifier.h"
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
      m_shown(&m_results),
      m_progress(0.0f),
      m_status(ORVA_ERROR_NONE),
      m_reporting{nullptr, 0.0f, ORVA_ERROR_NONE, {}},
      m_notifier(new WakeNotifier),
      m_destroyed(nullptr),
      m_error_reporter(nullptr),
      m_reporter_handler(nullptr) {
  LoggerUmbo::log("SearchUmbo::SearchUmbo", LoggerUmbo::MSG_TRACE);
}

SearchUmbo::~SearchUmbo() {
  LoggerUmbo::log("SearchUmbo::~SearchUmbo() ++", LoggerUmbo::MSG_TRACE);
  if (m_destroyed) *m_destroyed = true;
  // The worker lets go of the notifier first: it may be waking it right now.
  m_thread->set_waker(nullptr);
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
  if (!m_notifier->start(this)) {
    refuse(handler, ORVA_ERROR_UNKNOWN);
    return;
  }
  m_thread->set_waker(m_notifier);
  if (m_handler && m_status == ORVA_ERROR_KELDRA_IN_PROGRESS) {
    // The previous search has ended (it is not active) but no poll has told its handler
    // yet: its end and ids are kept for that handler before the worker takes the next.
    SearchThread::Status status;
    m_thread->get_status(status, m_results);
    m_ended.push_back(Ended{m_handler, status.progress, status.error, std::vector<unsigned int>()});
    m_ended.back().ids.swap(m_results);
    m_results.clear();
    m_status = status.error;
    m_progress = status.progress;
    m_handler = nullptr;
    m_notifier->wake();
  }
  const orva::ErrorCode rc = m_thread->run(criterion, sort);
  if (rc != ORVA_ERROR_NONE) {
    LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "SearchUmbo::start: Thread run error: %d", rc);
    refuse(handler, rc);
    return;
  }
  m_status = ORVA_ERROR_KELDRA_IN_PROGRESS;
  m_results.clear();
  m_progress = 0.0f;
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
  if (!m_ended.empty()) {
    m_reporting = std::move(m_ended.front());
    m_ended.pop_front();
    m_shown = &m_reporting.ids;
    bool destroyed = false;
    bool* outer = m_destroyed;
    m_destroyed = &destroyed;
    m_reporting.handler->handle_progress(m_reporting.progress, m_reporting.status);
    if (destroyed) {
      if (outer) *outer = true;
      return false;
    }
    m_destroyed = outer;
    m_shown = &m_results;
    std::vector<unsigned int>().swap(m_reporting.ids);
    // Then the current search's news, if any, on the next call.
    return true;
  }
  const size_t count = m_results.size();
  SearchThread::Status status;
  m_thread->get_status(status, m_results);
  if (status.progress == m_progress && status.error == m_status && m_results.size() == count) {
    return false;
  }
  m_progress = status.progress;
  m_status = status.error;
  // Last: the handler may start another search or destroy this one. The worker wakes
  // the next poll when it has news.
  if (m_handler) m_handler->handle_progress(status.progress, status.error);
  return false;
}

void SearchUmbo::search_soft_deleted_objects(const orva::keldra::Criterion&,
                                             orva::keldra::ProgressHandler& handler) {
  LoggerUmbo::log("SearchUmbo::search_soft_deleted_objects", LoggerUmbo::MSG_TRACE);
  handler.handle_progress(0.0f, ORVA_ERROR_UNKNOWN);
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
