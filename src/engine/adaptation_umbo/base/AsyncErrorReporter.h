// Delivers one final error to a ProgressHandler from the event loop, after the call
// that started the failing operation has returned.
//
// Lives on one thread, the one that runs the event loop; one report is pending at a
// time and the reporter can be reused for later errors. The handler may destroy the
// reporter (or its owner) from inside handle_progress.
#pragma once

#include "adaptation_umbo/base/Notifiable.h"

#include <keldra/ErrorCode.h>
#include <keldra/ProgressHandler.h>

namespace orva {
namespace keldra {
namespace internal {

class IdleNotifier;

// The name under which the reporter starts its notifier.
extern const char* const ASYNC_ERROR_REPORTER;

class AsyncErrorReporter final : public Notifiable {
 public:
  // |handler| is not owned and must outlive every pending report.
  explicit AsyncErrorReporter(orva::keldra::ProgressHandler& handler);
  // A pending report is dropped.
  ~AsyncErrorReporter();
  AsyncErrorReporter(const AsyncErrorReporter&) = delete;
  AsyncErrorReporter& operator=(const AsyncErrorReporter&) = delete;

  // Schedules handle_progress(progress, error) for a later idle pass; a report still
  // pending is replaced. False without scheduling for 0 and
  // ORVA_ERROR_KELDRA_IN_PROGRESS, which are not final errors, and when the event
  // loop could not be reached (the report is then lost).
  bool start_async_report(float progress, orva::ErrorCode error);

  // Drops a pending report.
  void cancel();

  // Delivers the pending report; always false (one call per report).
  bool notify() override;

 private:
  orva::keldra::ProgressHandler& m_handler;
  orva::ErrorCode m_error;
  float m_progress;
  IdleNotifier* m_notifier;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
