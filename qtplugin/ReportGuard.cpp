#include "ReportGuard.h"

namespace keldra {
namespace qtplugin {

ReportGuard::ReportGuard(orva::keldra::ProgressHandler& target)
    : m_target(&target), m_awaited(0), m_forwarding(false) {}

ReportGuard::~ReportGuard() = default;

void ReportGuard::expect(const orva::SharedPointer<orva::keldra::Store>& store,
                         const orva::SharedPointer<orva::keldra::Search>& search) {
  ++m_awaited;
  if (store.is_valid()) m_store = store;
  if (search.is_valid()) m_search = search;
}

void ReportGuard::release() {
  m_target = nullptr;
  if (!m_forwarding && m_awaited == 0) delete this;
}

void ReportGuard::handle_progress(float progress, orva::ErrorCode status) {
  if (status != ORVA_ERROR_KELDRA_IN_PROGRESS && m_awaited > 0) --m_awaited;
  if (m_target) {
    m_forwarding = true;
    m_target->handle_progress(progress, status);
    m_forwarding = false;
  }
  // The reporting library code touches neither handler nor itself after this call, so
  // the guard may end here; the objects it kept go with it.
  if (!m_target && m_awaited == 0) delete this;
}

}  // namespace qtplugin
}  // namespace keldra
