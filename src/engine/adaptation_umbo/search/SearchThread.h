// The worker of one search object: runs each search's statement on its own thread,
// with its own connection to the store's file and its own string pool, and keeps the
// status and the ids found for the caller's poll.
//
// Threads: every public operation is called on the caller's thread (the one that owns
// the SearchUmbo); the worker is started by the first run and then waits between
// searches until stop(). The two share only the fields under the data mutex (the
// statement, sort preference, result set, status, the flags) and the worker state,
// which the event keeps under its own lock. The connection, its statements and the
// string pool belong to the worker alone.
//
// Worker state: 2 stopped (no worker, or it has stopped), 0 running (from an accepted
// run until the worker has ended that search), 1 waiting. A run request and the move
// to 0 happen together under the data mutex, and the worker moves to 1 only under that
// mutex after finding no request, so neither a start nor a stop can slip past a worker
// that is about to wait.
//
// Cancel: the flag is read between rows and, while SQLite computes a row, by a
// progress handler on the worker's connection, which interrupts the statement; so
// cancel() returns within milliseconds even inside a full scan. A cancelled run that
// sorts by name leaves the sort to the first get_status after it.
//
// News: when the worker records a new status or new ids, it wakes the caller's waker
// (set_waker) once; the next get_status re-arms that, so the caller is woken once per
// poll at most and never while nothing changed.
#pragma once

#include "adaptation_umbo/search/ResultSet.h"
#include "adaptation_umbo/search/SearchQueryBuilder.h"

#include <keldra/ErrorCode.h>
#include <keldra/Search.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace orva {
namespace keldra {

class Criterion;

namespace internal {

class DatabaseConnection;
class Event;
class Mutex;
class QueryManager;
class Thread;
class WakeNotifier;

class SearchThread {
 public:
  enum WorkerState : int32_t { RUNNING = 0, WAITING = 1, STOPPED = 2 };

  struct Status {
    int32_t state;          // the worker state when the status was recorded
    float progress;         // 0.0 started, 0.5 rows arriving (or failed), 1.0 ended
    orva::ErrorCode error;  // 0x6001 while running, then the final code
  };

  SearchThread();
  // Stops the worker (cancelling a running search) and joins it.
  ~SearchThread();
  SearchThread(const SearchThread&) = delete;
  SearchThread& operator=(const SearchThread&) = delete;

  // Hands a search to the worker (starting it on first use): 0; 7 while a search is
  // running; the query builder's 3 when the criterion gives no statement; 1 when no
  // thread could be started. A refusal changes nothing.
  orva::ErrorCode run(const orva::keldra::Criterion& criterion,
                      const orva::keldra::Search::SortPref& sort);
  // Ends the running search and returns once the worker waits again; returns at once
  // when no search runs.
  void cancel();
  // Cancels and ends the worker; returns once it has stopped. A later run starts a
  // new worker.
  void stop();
  // Block until the worker state is 1 (waiting), or 2 (stopped).
  void wait_for_finish();
  void wait_for_stop();

  // The notifier to wake when the worker has news (not owned; null for none). After
  // set_waker(nullptr) returns the worker no longer touches the old one.
  void set_waker(WakeNotifier* waker);

  // |status| := the recorded status. |ids| must hold what earlier calls gave since the
  // run began (empty at first): the ids that arrived since are appended, and once the
  // run has ended the list becomes the final result order.
  void get_status(Status& status, std::vector<unsigned int>& ids);
  int32_t state();
  bool cancel_called();
  bool stop_called();

 private:
  struct Job {
    SearchStatement statement;
    orva::keldra::Search::SortPref sort;
  };

  static void start_search_thread(void* search_thread);
  static int progress_callback(void* search_thread);
  void thread_run();
  bool wait_for_job(Job& job);
  bool open_connection();
  void state_running(Job& job);
  void end_run(orva::ErrorCode code, float progress, std::vector<unsigned int>& ordered);
  void state_stopping();
  // Under the data mutex: wakes the caller unless it was woken since its last poll.
  void news();
  // Records the status; takes the data mutex when |lock|.
  void progress_event(orva::ErrorCode error, float progress, bool lock);

  // Worker only.
  DatabaseConnection* m_connection;
  QueryManager* m_query_manager;

  // Under m_data_mutex.
  Job m_job;
  ResultSet m_results;
  Status m_status;
  bool m_run_requested;
  bool m_stop;
  WakeNotifier* m_waker;
  bool m_woken;  // the waker was woken and no poll has come since
  // Written under m_data_mutex; also read by the worker's progress handler.
  std::atomic<bool> m_cancel;

  Thread* m_work_thread;
  Event* m_state_machine;
  Mutex* m_data_mutex;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
