// How every keeper of a reserved system object reads and writes it: read by the global
// id of its view (a fresh object made by the view, not stored, when there is none), and
// written through the sync adapter with the no-sync flag set, over the stored object with
// its local id, or by its global id (inserted when none has it) when it carries no stored
// local id (0 or the view's reserved one).
//
// Results: 0; 2 without repository (reads) or sync adapter (writes), or when no fresh
// object can be made; otherwise the repository's and the sync adapter's codes.
//
// Thread: the thread that owns the data adapter.
#pragma once

#include <keldra/ErrorCode.h>
#include <keldra/Object.h>
#include <keldra/Repository.h>
#include <keldra/SharedPointer.h>
#include <keldra/SyncAdapter.h>

#include <new>

namespace orva {
namespace keldra {
namespace internal {

// View: a system-object view with GLOBAL_ID and init_self().
template <class View>
ErrorCode load_system_object(const orva::SharedPointer<Repository>& repository, Object& object) {
  if (!repository.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  ErrorCode code = repository->get_global_object(View::GLOBAL_ID, object);
  if (code != ORVA_ERROR_NOT_FOUND) return code;
  try {
    View fresh;
    if (!fresh.init_self()) return ORVA_ERROR_OUT_OF_MEMORY;
    object = *fresh.object();
  } catch (const std::bad_alloc&) {
    return ORVA_ERROR_OUT_OF_MEMORY;
  }
  return ORVA_ERROR_NONE;
}

// |reserved_local_id|: the local id the view gives a fresh object.
inline ErrorCode store_system_object(const orva::SharedPointer<SyncAdapter>& sync_adapter,
                                     Object& object, unsigned int reserved_local_id) {
  if (!sync_adapter.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  object.set_no_sync(true);
  const unsigned int local_id = object.get_local_id();
  if (local_id != 0 && local_id != reserved_local_id) {
    return sync_adapter->replace_object(local_id, object);
  }
  return sync_adapter->add_object(object);
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
