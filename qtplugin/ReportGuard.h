// A stand-in progress handler for library operations whose report may come after the
// element that started them is gone: the store's initialisation and the store's search,
// which keep a raw handler until their one final report and cannot be told to forget
// it.
//
// The element hands the library the guard instead of itself. The guard forwards every
// report to the element while the element lives. When the element goes it calls
// release(): from then on reports are dropped, and the guard deletes itself once the
// final report of every operation it awaits has come (at once when none is awaited).
// It keeps the objects that will report alive until then, so that their reports, and
// with them the guard's end, always come.
//
// Thread: the thread of the element, whose event loop delivers the reports.
#pragma once

#include <keldra/ErrorCode.h>
#include <keldra/ProgressHandler.h>
#include <keldra/Search.h>
#include <keldra/SharedPointer.h>
#include <keldra/Store.h>

namespace keldra {
namespace qtplugin {

class ReportGuard final : public orva::keldra::ProgressHandler {
 public:
  // |target| (not owned) hears the reports until release().
  explicit ReportGuard(orva::keldra::ProgressHandler& target);

  // Call just before starting an operation that reports to this guard once finally
  // (status other than 0x6001). |store| / |search| (either may be empty) are kept alive
  // with the guard.
  void expect(const orva::SharedPointer<orva::keldra::Store>& store,
              const orva::SharedPointer<orva::keldra::Search>& search);

  // The target goes; the guard is deleted now or after the last awaited report. The
  // caller must not use the guard afterwards.
  void release();

  // Operations whose final report has not come yet.
  int awaited() const { return m_awaited; }

  void handle_progress(float progress, orva::ErrorCode status) override;

 private:
  ~ReportGuard();
  ReportGuard(const ReportGuard&) = delete;
  ReportGuard& operator=(const ReportGuard&) = delete;

  orva::keldra::ProgressHandler* m_target;
  int m_awaited;
  bool m_forwarding;  // inside the target's call: the target may release us there
  orva::SharedPointer<orva::keldra::Store> m_store;
  orva::SharedPointer<orva::keldra::Search> m_search;
};

}  // namespace qtplugin
}  // namespace keldra
