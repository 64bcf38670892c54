#include "adaptation_umbo/search/SearchThread.h"

#include "adaptation_umbo/base/UmboException.h"
#include "adaptation_umbo/base/Utils.h"
#include "adaptation_umbo/base/WakeNotifier.h"
#include "adaptation_umbo/database/DatabaseConnection.h"
#include "adaptation_umbo/database/Bindable.h"
#include "adaptation_umbo/database/Gettable.h"
#include "adaptation_umbo/database/Query.h"
#include "adaptation_umbo/database/QueryManager.h"
#include "adaptation_umbo/database/QueryName.h"
#include "adaptation_umbo/thread/Event.h"
#include "adaptation_umbo/thread/Mutex.h"
#include "adaptation_umbo/thread/Thread.h"

#include <keldra/LoggerUmbo.h>
#include <keldra/StringPool.h>

#include <sqlite3.h>

#include <chrono>
#include <exception>
#include <memory>
#include <new>

namespace orva {
namespace keldra {
namespace internal {

namespace {
// The progress handler looks at the cancel flag every this many virtual machine steps
// of SQLite: often enough to stop a scan within a millisecond, rarely enough to cost
// nothing measurable.
const int kProgressSteps = 1000;
// The worker hands rows to the poll this many at a time, or after this long.
const size_t kBatchRows = 256;
const std::chrono::milliseconds kBatchTime(5);
typedef std::chrono::steady_clock Clock;
// How long the destructor waits for a stopped worker to end before joining it anyway.
const unsigned int kReleaseMs = 100;
}  // namespace

SearchThread::SearchThread()
    : m_connection(nullptr),
      m_query_manager(nullptr),
      m_status{STOPPED, 0.0f, ORVA_ERROR_NONE},
      m_run_requested(false),
      m_stop(false),
      m_waker(nullptr),
      m_woken(false),
      m_cancel(false),
      m_work_thread(new Thread),
      m_state_machine(new Event),
      m_data_mutex(new Mutex) {
  m_job.sort = orva::keldra::Search::SortPref{0, 0};
  m_state_machine->set_state(STOPPED);
}

SearchThread::~SearchThread() {
  LoggerUmbo::log("SearchThread::~SearchThread ++", LoggerUmbo::MSG_TRACE);
  stop();
  // The worker is joined before the mutex and the event go: it may still be leaving
  // the event's lock after announcing that it stopped.
  LoggerUmbo::log("SearchThread::~SearchThread mWorkThread->release", LoggerUmbo::MSG_TRACE);
  m_work_thread->release(kReleaseMs);
  delete m_work_thread;
  m_work_thread = nullptr;
  LoggerUmbo::log("SearchThread::~SearchThread Delete mDataMutex", LoggerUmbo::MSG_TRACE);
  delete m_data_mutex;
  LoggerUmbo::log("SearchThread::~SearchThread Delete mStateMachine", LoggerUmbo::MSG_TRACE);
  delete m_state_machine;
  LoggerUmbo::log("SearchThread::~SearchThread --", LoggerUmbo::MSG_TRACE);
}

orva::ErrorCode SearchThread::run(const orva::keldra::Criterion& criterion,
                                  const orva::keldra::Search::SortPref& sort) {
  LogTrace trace("SearchThread::run");
  MutexLocker lock(*m_data_mutex);
  if (m_state_machine->state() == RUNNING) {
    LoggerUmbo::log("ERROR: SearchThread::run: already running!", LoggerUmbo::MSG_TRACE);
    return ORVA_ERROR_NOT_READY;
  }
  SearchStatement statement;
  const orva::ErrorCode rc = SearchQueryBuilder::create_query(criterion, statement);
  if (rc != ORVA_ERROR_NONE) {
    LoggerUmbo::log("ERROR: SearchThread::run: failed to create query!", LoggerUmbo::MSG_TRACE);
    return rc;
  }
  const bool start_worker = m_state_machine->state() == STOPPED;
  if (start_worker) {
    // A worker that stopped earlier is joined before the next one starts.
    m_work_thread->release(kReleaseMs);
    m_stop = false;
  }
  m_job.statement.sql.swap(statement.sql);
  m_job.statement.parameters.swap(statement.parameters);
  m_job.sort = sort;
  m_results.set_sorting(sort);
  m_cancel = false;
  m_run_requested = true;
  m_state_machine->set_state(RUNNING);
  progress_event(ORVA_ERROR_KELDRA_IN_PROGRESS, 0.0f, false);
  if (start_worker) {
    m_work_thread->create(&SearchThread::start_search_thread, this, Thread::RUN_ONCE);
    if (m_work_thread->thread_id() == 0) {
      m_run_requested = false;
      m_state_machine->set_state(STOPPED);
      progress_event(ORVA_ERROR_UNKNOWN, 0.0f, false);
      return ORVA_ERROR_UNKNOWN;
    }
  } else {
    // The event keeps the signal when the worker is not yet waiting.
    m_state_machine->signal();
  }
  return ORVA_ERROR_NONE;
}

void SearchThread::cancel() {
  LogTrace trace("SearchThread::cancel");
  {
    MutexLocker lock(*m_data_mutex);
    if (m_state_machine->state() != RUNNING) return;
    m_cancel = true;
  }
  wait_for_finish();
}

void SearchThread::stop() {
  LoggerUmbo::log("SearchThread::stop()++", LoggerUmbo::MSG_TRACE);
  {
    MutexLocker lock(*m_data_mutex);
    m_cancel = true;
    m_stop = true;
  }
  if (m_state_machine->state() != STOPPED) {
    m_state_machine->signal();
    wait_for_stop();
  }
  LoggerUmbo::log("SearchThread::stop()--", LoggerUmbo::MSG_TRACE);
}

void SearchThread::wait_for_finish() {
  LoggerUmbo::log("SearchThread::wait_for_finish++", LoggerUmbo::MSG_TRACE);
  m_state_machine->wait_for_state(WAITING);
  LoggerUmbo::log("SearchThread::wait_for_finish--", LoggerUmbo::MSG_TRACE);
}

void SearchThread::wait_for_stop() {
  LogTrace trace("SearchThread::wait_for_stop");
  m_state_machine->wait_for_state(STOPPED);
}

void SearchThread::set_waker(WakeNotifier* waker) {
  MutexLocker lock(*m_data_mutex);
  m_waker = waker;
  m_woken = false;
}

void SearchThread::news() {
  if (!m_waker || m_woken) return;
  m_woken = true;
  m_waker->wake();
}

void SearchThread::get_status(Status& status, std::vector<unsigned int>& ids) {
  LoggerUmbo::log("SearchThread::get_status++", LoggerUmbo::MSG_TRACE);
  {
    MutexLocker lock(*m_data_mutex);
    m_woken = false;
    status = m_status;
    if (m_results.finished() && m_results.sorts_by_name()) {
      m_results.get_results(ids);
    } else {
      m_results.append_new(ids);
    }
  }
  LoggerUmbo::log("SearchThread::get_status--", LoggerUmbo::MSG_TRACE);
}

int32_t SearchThread::state() {
  LoggerUmbo::log("SearchThread::state()", LoggerUmbo::MSG_TRACE);
  return m_state_machine->state();
}

bool SearchThread::cancel_called() {
  MutexLocker lock(*m_data_mutex);
  return m_cancel;
}

bool SearchThread::stop_called() {
  MutexLocker lock(*m_data_mutex);
  return m_stop;
}

void SearchThread::progress_event(orva::ErrorCode error, float progress, bool lock) {
  if (lock) m_data_mutex->enter();
  m_status.state = m_state_machine->state();
  m_status.progress = progress;
  m_status.error = error;
  if (lock) m_data_mutex->exit();
}

// ---- worker ----

void SearchThread::start_search_thread(void* search_thread) {
  orva::SharedPointer<StringPool> pool;
  try {
    pool = StringPool::create();
  } catch (const std::bad_alloc&) {
    // The worker reads no names; it can do without a pool of its own.
    LoggerUmbo::log("ERROR: SearchThread: no string pool for the worker", LoggerUmbo::MSG_TRACE);
  }
  static_cast<SearchThread*>(search_thread)->thread_run();
}

int SearchThread::progress_callback(void* search_thread) {
  return static_cast<SearchThread*>(search_thread)->m_cancel.load() ? 1 : 0;
}

void SearchThread::thread_run() {
  LogTrace trace("SearchThread::search");
  Job job;
  while (wait_for_job(job)) {
    try {
      if (!m_connection && !open_connection()) continue;
      state_running(job);
    } catch (const std::exception& e) {
      // Nothing may leave the worker; the run ends as failed and the worker waits.
      LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "ERROR: SearchThread: search failed: %s", e.what());
      const orva::ErrorCode code =
          dynamic_cast<const std::bad_alloc*>(&e) ? ORVA_ERROR_OUT_OF_MEMORY : ORVA_ERROR_UNKNOWN;
      std::vector<unsigned int> none;
      MutexLocker lock(*m_data_mutex);
      end_run(code, 0.0f, none);
    }
  }
  state_stopping();
}

// Waits (state 1) until a run is requested or the worker is to stop; false for stop.
bool SearchThread::wait_for_job(Job& job) {
  MutexLocker lock(*m_data_mutex);
  while (!m_run_requested && !m_stop) {
    // Under the data mutex: a run or stop cannot come between this check and the
    // move to 1, and its signal stays pending until the wait below takes it.
    m_state_machine->signal_state_change(WAITING);
    m_data_mutex->exit();
    m_state_machine->wait(EventBase::WAIT_INFINITE);
    m_data_mutex->enter();
  }
  if (m_stop) return false;
  m_run_requested = false;
  job.statement.sql.swap(m_job.statement.sql);
  job.statement.parameters.swap(m_job.statement.parameters);
  job.sort = m_job.sort;
  return true;
}

bool SearchThread::open_connection() {
  std::unique_ptr<DatabaseConnection> connection(new DatabaseConnection());
  orva::ErrorCode code = ORVA_ERROR_UNKNOWN;
  bool opened = false;
  try {
    opened = connection->open(get_home_dir() + ".cities/OstraMaps.db");
  } catch (const UmboException& e) {
    LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                     "ERROR: SearchThread::thread_run: catched exception (%d, %s)", e.get_reason(),
                     e.what());
    code = e.get_reason();
  }
  if (opened) {
    m_query_manager = connection->get_query_manager();
    m_connection = connection.release();
    return true;
  }
  LoggerUmbo::log("ERROR: SearchThread::thread_run: failed to open database connection!",
                  LoggerUmbo::MSG_TRACE);
  connection.reset();
  LoggerUmbo::log("ERROR: SearchThread::thread_run: failed to open database!",
                  LoggerUmbo::MSG_TRACE);
  // The next run tries again on this worker.
  MutexLocker lock(*m_data_mutex);
  std::vector<unsigned int> none;
  end_run(code, 0.0f, none);
  return false;
}

void SearchThread::state_running(Job& job) {
  const bool sort_by_name = ResultSet::sorts_by_name(job.sort);
  std::vector<ResultSet::Keyed> keyed;
  std::vector<unsigned int> pending;  // found, not yet handed to the poll
  Clock::time_point published = Clock::now() - kBatchTime;
  orva::ErrorCode code = ORVA_ERROR_NONE;
  float progress = 1.0f;
  QueryIndex index = -1;
  bool began = false;
  sqlite3* db = nullptr;
  try {
    // The statement's values are bound, never part of its text.
    // One placeholder per value, bound by position; the one result column is the id.
    // The second column, when sorting by name, is the name's sort key.
    if (sort_by_name) SearchQueryBuilder::add_name_key(job.statement);
    const std::vector<QueryParameter> params(job.statement.parameters.size(), VALUE_TEXT);
    const QueryParameter results[] = {LOCAL_ID, COLLATE_KEY};
    index = m_query_manager->new_query(static_cast<int>(params.size()), params.data(),
                                       sort_by_name ? 2 : 1, results, job.statement.sql);
    Query* query = m_query_manager->get_query(index);
    Gettable* row = dynamic_cast<Gettable*>(query);
    if (!row) throw UmboException(ORVA_ERROR_UNKNOWN, "search statement without result column");
    Bindable* binder = dynamic_cast<Bindable*>(query);
    for (size_t i = 0; binder && i < job.statement.parameters.size(); ++i) {
      const SearchParameter& p = job.statement.parameters[i];
      if (p.kind == SearchParameter::TEXT) {
        binder->bind(static_cast<int>(i), p.text);
      } else {
        binder->bind(static_cast<int>(i), p.real);
      }
    }
    m_connection->begin_transaction(false, 0);
    began = true;
    db = sqlite3_db_handle(query->get_statement());
    sqlite3_progress_handler(db, kProgressSteps, &SearchThread::progress_callback, this);
    for (;;) {
      if (m_cancel) {
        LoggerUmbo::log("SearchThread::run: cancel called, exiting loop", LoggerUmbo::MSG_TRACE);
        code = ORVA_ERROR_KELDRA_CANCELLED;
        break;
      }
      if (query->execute(0) != Query::ROW) break;
      int local_id = 0;
      row->get_result(LOCAL_ID, local_id);
      if (sort_by_name) {
        keyed.push_back(ResultSet::Keyed{std::string(), static_cast<unsigned int>(local_id)});
        row->get_result(COLLATE_KEY, keyed.back().key);
      }
      pending.push_back(static_cast<unsigned int>(local_id));
      // Rows are handed to the poll in batches, or at once when they come slowly.
      const Clock::time_point now = Clock::now();
      if (pending.size() >= kBatchRows || now - published >= kBatchTime) {
        published = now;
        MutexLocker lock(*m_data_mutex);
        m_results.insert(pending);
        m_status.state = RUNNING;
        m_status.progress = 0.5f;
        m_status.error = ORVA_ERROR_KELDRA_IN_PROGRESS;
        news();
      }
    }
    sqlite3_progress_handler(db, 0, nullptr, nullptr);
    m_query_manager->release_query(index);
    index = -1;
    m_connection->commit_transaction();
  } catch (const std::exception& e) {
    if (db) sqlite3_progress_handler(db, 0, nullptr, nullptr);
    if (index >= 0) m_query_manager->release_query(index);
    const UmboException* umbo = dynamic_cast<const UmboException*>(&e);
    if (m_cancel) {
      // The progress handler interrupted the statement.
      LoggerUmbo::log("SearchThread::run: cancel called, statement interrupted",
                      LoggerUmbo::MSG_TRACE);
      code = ORVA_ERROR_KELDRA_CANCELLED;
    } else {
      code = umbo ? umbo->get_reason()
                  : (dynamic_cast<const std::bad_alloc*>(&e) ? ORVA_ERROR_OUT_OF_MEMORY
                                                             : ORVA_ERROR_UNKNOWN);
      if (code == ORVA_ERROR_NONE) code = ORVA_ERROR_UNKNOWN;
      LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                       "ERROR SearchThread::search: Search failed, err %d: %s", code, e.what());
      progress = 0.5f;
    }
    if (began) m_connection->rollback_transaction();
  }
  std::vector<unsigned int> ordered;
  // A cancel waits for this run to end: the sort of a cancelled run, or one that a
  // cancel overtakes, is left to the caller's next poll.
  bool sort_later = sort_by_name && code == ORVA_ERROR_KELDRA_CANCELLED;
  if (sort_by_name && !sort_later) {
    sort_later = !ResultSet::sort_ids(keyed, job.sort.order, &m_cancel, ordered);
  }
  MutexLocker lock(*m_data_mutex);
  m_results.insert(pending);
  if (sort_later) m_results.finish_unsorted(keyed);
  end_run(code, progress, ordered);
}

// Under the data mutex: the final status and the move to 1 are seen together, so a
// handler that hears the end may start the next search at once.
void SearchThread::end_run(orva::ErrorCode code, float progress,
                           std::vector<unsigned int>& ordered) {
  m_results.finish(ordered);
  if (!m_run_requested && !m_stop) m_state_machine->signal_state_change(WAITING);
  progress_event(code, progress, false);
  news();
}

void SearchThread::state_stopping() {
  {
    MutexLocker lock(*m_data_mutex);
    LoggerUmbo::log("SearchThread::state_stopping 1", LoggerUmbo::MSG_TRACE);
    delete m_connection;
    m_connection = nullptr;
    m_query_manager = nullptr;
    LoggerUmbo::log("SearchThread::state_stopping 2", LoggerUmbo::MSG_TRACE);
  }
  m_state_machine->signal_state_change(STOPPED);
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
