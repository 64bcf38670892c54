// Calls through the public store interface, which no exception may leave: callers such
// as the QML plug-in cannot catch one.
//
// Thread: the caller's; nothing is kept.
#pragma once

#include <keldra/ErrorCode.h>

#include "adaptation_umbo/base/UmboException.h"

#include <new>

namespace orva {
namespace keldra {
namespace internal {

// Runs |work|; what it throws becomes a code: an UmboException its own (1 for 0), out of
// memory 2, anything else 1.
template <class Work>
ErrorCode guarded(Work work) {
  try {
    return work();
  } catch (const UmboException& e) {
    return e.get_reason() == ORVA_ERROR_NONE ? ORVA_ERROR_UNKNOWN : e.get_reason();
  } catch (const std::bad_alloc&) {
    return ORVA_ERROR_OUT_OF_MEMORY;
  } catch (...) {
    return ORVA_ERROR_UNKNOWN;
  }
}

// The same for operations whose answer is a value: |failed| when |work| throws.
template <class T, class Work>
T guarded_value(T failed, Work work) {
  try {
    return work();
  } catch (...) {
    return failed;
  }
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
