#include "adaptation_umbo/base/AsyncErrorReporter.h"

#include "adaptation_umbo/base/IdleNotifier.h"

#include <keldra/LoggerUmbo.h>

namespace orva {
namespace keldra {
namespace internal {

const char* const ASYNC_ERROR_REPORTER = "Async Error reporter";

AsyncErrorReporter::AsyncErrorReporter(orva::keldra::ProgressHandler& handler)
    : m_handler(handler), m_error(ORVA_ERROR_NONE), m_progress(0.0f),
      m_notifier(new IdleNotifier(nullptr)) {
  LoggerUmbo::log("AsyncErrorReporter::AsyncErrorReporter", LoggerUmbo::MSG_TRACE);
}

AsyncErrorReporter::~AsyncErrorReporter() {
  LoggerUmbo::log("AsyncErrorReporter::~AsyncErrorReporter", LoggerUmbo::MSG_TRACE);
  delete m_notifier;
}

bool AsyncErrorReporter::start_async_report(float progress, orva::ErrorCode error) {
  LoggerUmbo::log("AsyncErrorReporter::start_async_report", LoggerUmbo::MSG_TRACE);
  if (error == ORVA_ERROR_NONE || error == ORVA_ERROR_KELDRA_IN_PROGRESS) {
    LoggerUmbo::log("AsyncErrorReporter::start_async_report could not be started.",
                    LoggerUmbo::MSG_TRACE);
    return false;
  }
  m_progress = progress;
  m_error = error;
  return m_notifier->start(this, ASYNC_ERROR_REPORTER);
}

void AsyncErrorReporter::cancel() {
  LoggerUmbo::log("AsyncErrorReporter::cancel", LoggerUmbo::MSG_TRACE);
  m_notifier->cancel();
  m_error = ORVA_ERROR_NONE;
  m_progress = 0.0f;
}

bool AsyncErrorReporter::notify() {
  LoggerUmbo::log("AsyncErrorReporter::notify", LoggerUmbo::MSG_TRACE);
  // The handler may destroy this reporter: take the report, clear it, call last.
  orva::keldra::ProgressHandler& handler = m_handler;
  const float progress = m_progress;
  const orva::ErrorCode error = m_error;
  m_progress = 0.0f;
  m_error = ORVA_ERROR_NONE;
  handler.handle_progress(progress, error);
  return false;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
