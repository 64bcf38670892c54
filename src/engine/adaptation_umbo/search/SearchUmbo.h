// The search of the store: runs each search on its SearchThread and reports to the
// caller's ProgressHandler from the caller's event loop.
//
// Created once per repository and reused for every search of it. The poll (notify,
// called from the event loop each time the worker has news) takes the worker's status
// and the ids that arrived since the last poll, and tells the handler of every change:
// the first rows and each poll that finds new ones as (0.5, 0x6001), then the end.
// Refusals are reported later from the event loop through an AsyncErrorReporter.
//
// Every accepted start's end reaches its own handler: a start that comes after the
// previous search ended but before its end was reported takes that end over and
// reports it first, from the event loop, with get_results() holding that search's ids
// during the report; then the new search reports as usual.
//
// Thread: the creating thread only (it must run a Qt or GLib event loop); the worker
// is the SearchThread's business. The handler of an accepted start is not owned and
// must outlive its last report; it may destroy the search from inside a report.
#pragma once

#include "adaptation_umbo/base/Notifiable.h"

#include <keldra/ErrorCode.h>
#include <keldra/Search.h>

#include <deque>
#include <vector>

namespace orva {
namespace keldra {
namespace internal {

class AsyncErrorReporter;
class SearchThread;
class WakeNotifier;

class SearchUmbo : public orva::keldra::Search, public Notifiable {
 public:
  SearchUmbo();
  // Ends any poll, stops and joins the worker, drops a pending refusal report.
  ~SearchUmbo() override;

  void start(const orva::keldra::Criterion& criterion, const SortPref& sort,
             orva::keldra::ProgressHandler& handler) override;
  void cancel() override;
  const std::vector<unsigned int>& get_results() const override { return *m_shown; }
  bool is_active() const override;

  // The poll; true when an earlier search's end is still to be reported.
  bool notify() override;

  // Not supported: reports (0.0, 1) to |handler| at once, before it returns.
  void search_soft_deleted_objects(const orva::keldra::Criterion& criterion,
                                   orva::keldra::ProgressHandler& handler);

 private:
  // A search that ended before its end was reported.
  struct Ended {
    orva::keldra::ProgressHandler* handler;
    float progress;
    orva::ErrorCode status;
    std::vector<unsigned int> ids;
  };

  // Schedules the report (0.0, code) to |handler| from the event loop.
  void refuse(orva::keldra::ProgressHandler& handler, orva::ErrorCode code);

  orva::keldra::ProgressHandler* m_handler;
  SearchThread* m_thread;
  std::vector<unsigned int> m_results;
  const std::vector<unsigned int>* m_shown;  // what get_results gives: m_results, or
                                             // m_reporting.ids during its report
  float m_progress;
  orva::ErrorCode m_status;
  std::deque<Ended> m_ended;  // ends still to report, oldest first
  Ended m_reporting;          // the end being reported
  WakeNotifier* m_notifier;
  bool* m_destroyed;          // set by the destructor while a handler is called
  AsyncErrorReporter* m_error_reporter;
  orva::keldra::ProgressHandler* m_reporter_handler;  // the handler m_error_reporter serves
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
