#include "adaptation_umbo/storage/RepositoryUmbo.h"

#include "adaptation_umbo/storage/DataAdapterUmbo.h"
#include "adaptation_umbo/storage/ObjectCacheUmbo.h"
#include "adaptation_umbo/search/SearchUmbo.h"
#include "adaptation_umbo/database/Database.h"
#include "store/Guarded.h"

#include <keldra/LoggerUmbo.h>
#include <keldra/RepositoryEvent.h>

namespace orva {
namespace keldra {
namespace internal {

namespace {
const LoggerUmbo::MsgType kTrace = LoggerUmbo::MSG_TRACE;
void trace(const char* text) { LoggerUmbo::log(text, kTrace); }
unsigned long id_word(unsigned int id) { return static_cast<unsigned long>(id); }
}  // namespace

RepositoryUmbo::RepositoryUmbo(const orva::SharedPointer<DataAdapterUmbo>& adapter)
    : m_adapter(adapter), m_database(adapter.is_valid() ? adapter->database() : nullptr) {
  trace("RepositoryUmbo::RepositoryUmbo");
}

RepositoryUmbo::~RepositoryUmbo() {
  trace("RepositoryUmbo::~RepositoryUmbo");
  m_adapter.release();
  m_searcher.release();
}

void RepositoryUmbo::dispatch(int32_t type, unsigned int local_id) {
  m_adapter->dispatch(RepositoryEvent(type, static_cast<int32_t>(local_id)));
}

// Every operation runs guarded: no exception leaves the repository. The room for a
// write's event is taken before the write, so that once the database has committed it
// nothing can report the write as failed.

ErrorCode RepositoryUmbo::insert_object(Object& object) {
  return guarded([&] {
    trace("RepositoryUmbo::insert_object");
    m_adapter->reserve_event();
    ErrorCode code = m_database->insert_object(object, false);
    if (code == ORVA_ERROR_NONE) {
      object.set_modified(false);
      dispatch(RepositoryEvent::OBJECT_CREATED, object.get_local_id());
    }
    return code;
  });
}

ErrorCode RepositoryUmbo::update_object(Object& object) {
  return guarded([&] {
    LoggerUmbo::logf(kTrace, "RepositoryUmbo::update_object, lid %lu",
                     id_word(object.get_local_id()));
    m_adapter->reserve_event();
    ErrorCode code = m_database->update_object(object, false);
    if (code == ORVA_ERROR_NONE) {
      object.set_modified(false);
      dispatch(RepositoryEvent::OBJECT_UPDATED, object.get_local_id());
    }
    return code;
  });
}

ErrorCode RepositoryUmbo::remove_object(unsigned int local_id) {
  return guarded([&] {
    LoggerUmbo::logf(kTrace, "RepositoryUmbo::remove_object, lid %lu", id_word(local_id));
    m_adapter->reserve_event();
    ErrorCode code = m_database->remove_object(local_id, false);
    if (code == ORVA_ERROR_NONE) dispatch(RepositoryEvent::OBJECT_REMOVED, local_id);
    return code;
  });
}

ErrorCode RepositoryUmbo::set_object_sharing(unsigned int local_id, SharingModel model,
                                             bool retain_state) {
  return guarded([&] {
    LoggerUmbo::logf(kTrace,
                     "RepositoryUmbo::set_object_sharing(id( %d ), model( %d ), retain_state( %d )",
                     static_cast<int>(local_id), static_cast<int>(model), retain_state ? 1 : 0);
    m_adapter->reserve_event();
    ErrorCode code = m_database->set_object_sharing(local_id, model, retain_state);
    if (code == ORVA_ERROR_NONE) dispatch(RepositoryEvent::OBJECT_UPDATED, local_id);
    return code;
  });
}

ErrorCode RepositoryUmbo::get_object(unsigned int local_id, Object& object) const {
  return guarded([&] {
    LoggerUmbo::logf(kTrace, "RepositoryUmbo::get_object, lid %lu", id_word(local_id));
    return m_database->get_object(local_id, object);
  });
}

ErrorCode RepositoryUmbo::get_object_header(unsigned int local_id, Object& object) const {
  return guarded([&] {
    LoggerUmbo::logf(kTrace, "RepositoryUmbo::get_object_header, lid %lu", id_word(local_id));
    return m_database->get_object_header(local_id, object);
  });
}

ErrorCode RepositoryUmbo::get_global_object(unsigned long long global_id, Object& object) const {
  return guarded([&] {
    LoggerUmbo::logf(kTrace, "RepositoryUmbo::get_global_object, gid %llu", global_id);
    return m_database->get_global_object(global_id, object);
  });
}

unsigned int RepositoryUmbo::get_object_local_id(unsigned long long global_id) const {
  return guarded_value(0u, [&] {
    LoggerUmbo::logf(kTrace, "RepositoryUmbo::get_object_local_id, gid %llu", global_id);
    return m_database->get_object_local_id(global_id);
  });
}

unsigned long long RepositoryUmbo::get_object_global_id(unsigned int local_id) const {
  return guarded_value(0ull, [&] {
    LoggerUmbo::logf(kTrace, "RepositoryUmbo::get_object_global_id, lid %lu", id_word(local_id));
    return m_database->get_object_global_id(local_id);
  });
}

ErrorCode RepositoryUmbo::get_object_children(unsigned int local_id,
                                              std::vector<Link>& links) const {
  return guarded([&] {
    LoggerUmbo::logf(kTrace, "RepositoryUmbo::get_object_children, parent lid %lu",
                     id_word(local_id));
    return m_database->get_object_children(local_id, links);
  });
}

ErrorCode RepositoryUmbo::get_object_headers(std::vector<Object>& objects) {
  return guarded([&] {
    trace("RepositoryUmbo::get_object_headers");
    return m_database->get_object_headers(objects);
  });
}

ErrorCode RepositoryUmbo::begin_transaction(bool exclusive) {
  return guarded([&] {
    trace("RepositoryUmbo::begin_transaction");
    if (!m_database->is_in_transaction()) m_adapter->mark_transaction_start();
    return m_database->begin_transaction(exclusive);
  });
}

ErrorCode RepositoryUmbo::commit_transaction() {
  // The commit and what follows it need no memory of their own: the events were given
  // room by their writes, and sending them never throws.
  return guarded([&] {
    ErrorCode code = m_database->commit_transaction();
    if (code != ORVA_ERROR_NONE) {
      // A failed commit rolled its writes back: their events must not go out.
      if (!m_database->is_in_transaction()) m_adapter->discard_transaction_events();
      return code;
    }
    if (!m_database->is_in_transaction()) m_adapter->flush(false);
    return ORVA_ERROR_NONE;
  });
}

void RepositoryUmbo::rollback_transaction() {
  trace("RepositoryUmbo::rollback_transaction");
  m_database->rollback_transaction();
  // Only the writes of the caller's transaction are undone; events held earlier for the
  // sync mark belong to committed writes and stay.
  m_adapter->discard_transaction_events();
}

bool RepositoryUmbo::is_in_transaction() const { return m_database->is_in_transaction(); }

unsigned int RepositoryUmbo::get_default_object_id() const { return 0; }

ErrorCode RepositoryUmbo::set_default_object_id(unsigned int) { return ORVA_ERROR_NOT_SUPPORTED; }

orva::SharedPointer<orva::internal::RefCountable> RepositoryUmbo::get_upload_queue() {
  return orva::SharedPointer<orva::internal::RefCountable>();
}

ErrorCode RepositoryUmbo::set_object_no_sync(unsigned int, bool) {
  trace("WARNING RepositoryUmbo::set_object_no_sync called: not implemented!");
  return ORVA_ERROR_UNKNOWN;
}

orva::SharedPointer<Search> RepositoryUmbo::get_searcher() {
  if (m_searcher.is_valid()) return m_searcher;
  try {
    m_searcher = orva::SharedPointer<Search>(new SearchUmbo());
  } catch (...) {
    // Nothing is kept: a later call tries again.
    m_searcher.release();
  }
  return m_searcher;
}

orva::SharedPointer<ObjectCache> RepositoryUmbo::get_object_cache() const {
  try {
    return orva::SharedPointer<ObjectCache>(new ObjectCacheUmbo(m_adapter));
  } catch (...) {
    // The cache throws when it gets no repository of its own; callers get no cache.
    return orva::SharedPointer<ObjectCache>();
  }
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
