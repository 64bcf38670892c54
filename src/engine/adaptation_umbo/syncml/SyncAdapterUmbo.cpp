#include "adaptation_umbo/syncml/SyncAdapterUmbo.h"

#include "adaptation_umbo/storage/DataAdapterUmbo.h"
#include "adaptation_umbo/base/Settings.h"
#include "adaptation_umbo/database/Database.h"
#include "store/Guarded.h"

#include <keldra/Attribute.h>
#include <keldra/AttributeList.h>
#include <keldra/Invariant.h>
#include <keldra/LoggerUmbo.h>
#include <keldra/RepositoryEvent.h>

namespace orva {
namespace keldra {
namespace internal {

namespace {
const LoggerUmbo::MsgType kTrace = LoggerUmbo::MSG_TRACE;
void trace(const char* text) { LoggerUmbo::log(text, kTrace); }

// The log shows a global id through a 32-bit long, as on the handset.
unsigned long gid_word(unsigned long long global_id) {
  return static_cast<unsigned long>(static_cast<uint32_t>(global_id));
}

ErrorCode not_implemented(const char* text) {
  trace(text);
  return ORVA_ERROR_UNKNOWN;
}

// The attribute that names a file on this device: the object's own, or a part's (the
// icon frames of a metadata section have one).
const char kLocalUri[] = "local_uri";

bool same_place(const Attribute& a, const Attribute& b) {
  return a.get_name_handle() == b.get_name_handle() &&
         a.get_class_name_handle() == b.get_class_name_handle();
}

// Whether |attribute| holds a local file below it.
bool holds_local_file(const Attribute& attribute) {
  for (const SharedPointer<Attribute>& child : attribute.get_attributes()) {
    if (!child.is_valid()) continue;
    if (child->get_name() == kLocalUri || holds_local_file(*child)) return true;
  }
  return false;
}

// Removes every local file named in |list|, at any depth.
void drop_local_files(AttributeList& list) {
  list.remove(kLocalUri, std::string());
  for (SharedPointer<Attribute>& child : list) {
    // Only lists that are there: the const look creates none.
    if (child.is_valid() && !static_cast<const Attribute&>(*child).get_attributes().empty()) {
      drop_local_files(child->get_attributes());
    }
  }
}

// Gives |incoming| (whose local files are gone) the local files of |stored|: each goes
// to the attribute at the same place, that is the one with the same name and class
// and the same rank among its siblings of that name and class, at every level. A file
// whose place |incoming| no longer has goes with it.
void take_local_files(AttributeList& incoming, const AttributeList& stored) {
  for (unsigned int i = 0; i < stored.size(); ++i) {
    const SharedPointer<Attribute>& own = stored[i];
    if (!own.is_valid()) continue;
    if (own->get_name() == kLocalUri) {
      incoming.push_back(SharedPointer<Attribute>(new Attribute(*own)));
      continue;
    }
    if (!holds_local_file(*own)) continue;
    unsigned int rank = 0;
    for (unsigned int j = 0; j < i; ++j) {
      if (stored[j].is_valid() && same_place(*stored[j], *own)) ++rank;
    }
    for (SharedPointer<Attribute>& there : incoming) {
      if (!there.is_valid() || !same_place(*there, *own)) continue;
      if (rank-- == 0) {
        take_local_files(there->get_attributes(), own->get_attributes());
        break;
      }
    }
  }
}

// |incoming| loses every local file it names, at any depth, and takes those of
// |stored| (may be null) that are still in place.
void keep_local_files(Object& incoming, const Object* stored) {
  drop_local_files(incoming.get_attributes());
  if (stored != nullptr) take_local_files(incoming.get_attributes(), stored->get_attributes());
}
}  // namespace

const char* const SyncAdapterUmbo::kDefaultHost = "sync.keldra.ostra.com";
const char* const SyncAdapterUmbo::kChinaHost = "sync.keldra.ostra.cn";

SyncAdapterUmbo::SyncAdapterUmbo(orva::SharedPointer<DataAdapterUmbo>& adapter)
    : m_adapter(adapter), m_database(adapter.is_valid() ? adapter->database() : nullptr) {
  trace("SyncAdapterUmbo::SyncAdapterUmbo");
}

SyncAdapterUmbo::~SyncAdapterUmbo() {
  trace("SyncAdapterUmbo::~SyncAdapterUmbo");
  m_adapter.release();
}

std::string SyncAdapterUmbo::select_backend_impl() const {
  switch (m_adapter->get_backend()) {
    case DataAdapterUmbo::DEFAULT:
      trace(
          "SyncAdapterUmbo::select_backend_impl SyncService::DEFAULT use KELD_DEFAULT_URI "
          "(default).");
      return std::string("https://") + kDefaultHost + ":443/sync";
    case DataAdapterUmbo::CHINA:
      trace("SyncAdapterUmbo::select_backend_impl SyncService::CHINA use chinese backend server.");
      return std::string("https://") + kChinaHost + ":443/sync";
    default:
      trace("Assert due to unknown SyncService::BackEnds value");
      KELDRA_INVARIANT(false, "0", "src/engine/adaptation_umbo/SyncAdapter_Umbo", 219);
  }
  return std::string();
}

std::string SyncAdapterUmbo::server_uri() const {
  return guarded_value(std::string(), [&] {
    trace("SyncAdapterUmbo::server_uri ++");
    // The backend is checked first so that a broken one stops the process even when a
    // redirection would hide it.
    std::string uri = select_backend_impl();
    const std::string redirect = Settings::instance()->sync_redirect_uri();
    if (!redirect.empty()) {
      LoggerUmbo::logf(kTrace, "SyncAdapterUmbo::server_uri: server_uri = %s", redirect.c_str());
      uri = redirect;
    }
    trace("SyncAdapterUmbo::server_uri --");
    return uri;
  });
}

long long SyncAdapterUmbo::get_last_sync() const { return 0; }

ErrorCode SyncAdapterUmbo::set_last_sync(long long) { return ORVA_ERROR_UNKNOWN; }

ErrorCode SyncAdapterUmbo::all_objects(std::vector<Object>& out) const {
  return guarded([&] {
    trace("SyncAdapterUmbo::all_objects");
    return m_database->get_object_headers(out);
  });
}

ErrorCode SyncAdapterUmbo::new_objects(std::vector<Object>& out) const {
  return guarded([&] {
    trace("SyncAdapterUmbo::new_objects");
    return m_database->get_new_objects(out);
  });
}

ErrorCode SyncAdapterUmbo::new_objects(std::vector<Object>&, const std::string&) const {
  return ORVA_ERROR_UNKNOWN;
}

ErrorCode SyncAdapterUmbo::changed_objects(std::vector<Object>& out) const {
  return guarded([&] {
    trace("SyncAdapterUmbo::changed_objects");
    return m_database->get_modified_objects(out);
  });
}

ErrorCode SyncAdapterUmbo::removed_objects(std::vector<Object>& out) const {
  return guarded([&] {
    trace("SyncAdapterUmbo::removed_objects");
    return m_database->get_removed_objects(out);
  });
}

ErrorCode SyncAdapterUmbo::get_local_files(const std::string& fragment,
                                           std::vector<std::string>& out) {
  return guarded([&] { return m_database->get_local_files(fragment, out); });
}

ErrorCode SyncAdapterUmbo::purge_removed_ids() {
  return guarded([&] {
    trace("SyncAdapterUmbo::purge_removed_ids");
    return m_database->purge_removed_ids();
  });
}

ErrorCode SyncAdapterUmbo::purge_removed_ids(const std::vector<unsigned int>& local_ids) {
  return guarded([&] {
    LoggerUmbo::logf(kTrace, "SyncAdapterUmbo::purge_removed_ids: %u listed",
                     static_cast<unsigned int>(local_ids.size()));
    return m_database->purge_removed_ids(local_ids);
  });
}

void SyncAdapterUmbo::dispatch(int32_t type, unsigned int local_id) {
  m_adapter->dispatch(RepositoryEvent(type, static_cast<int32_t>(local_id)));
}

ErrorCode SyncAdapterUmbo::add_object(Object& object) {
  return guarded([&]() -> ErrorCode {
    const unsigned long long global_id = object.get_global_id();
    LoggerUmbo::logf(kTrace, "SyncAdapterUmbo::add_object: lid %u, gid %lu", object.get_local_id(),
                     gid_word(global_id));
    if (global_id == 0) {
      trace("WARNING SyncAdapterUmbo::add_object, null gid!");
    } else {
      // A lookup that failed says nothing about the id: inserting anyway could store the
      // server's object twice.
      unsigned int existing = 0;
      const ErrorCode found = m_database->find_object_local_id(global_id, existing);
      if (found != ORVA_ERROR_NONE) {
        LoggerUmbo::logf(kTrace, "SyncAdapterUmbo::add_object: lookup failed (%d)", found);
        return found;
      }
      if (existing != 0) {
        LoggerUmbo::logf(kTrace,
                         "SyncAdapterUmbo::add_object called for existing object(%d), using "
                         "replace!",
                         static_cast<int>(existing));
        return replace_object(existing, object);
      }
    }
    // Room for the event is taken before the write: once the write is committed,
    // announcing it cannot fail for want of memory.
    m_adapter->reserve_event();
    keep_local_files(object, nullptr);
    object.set_local_id(0);
    const ErrorCode code = m_database->insert_object(object, true);
    if (code == ORVA_ERROR_NONE) {
      object.set_modified(false);
      dispatch(RepositoryEvent::OBJECT_CREATED, object.get_local_id());
    }
    return code;
  });
}

ErrorCode SyncAdapterUmbo::replace_object(unsigned int local_id, Object& object) {
  return guarded([&] {
    LoggerUmbo::logf(kTrace, "SyncAdapterUmbo::replace_object(%d)", static_cast<int>(local_id));
    return write_replacement(local_id, object, false);
  });
}

ErrorCode SyncAdapterUmbo::replace_object_with_local_file(unsigned int local_id, Object& object) {
  return guarded([&] {
    LoggerUmbo::logf(kTrace, "SyncAdapterUmbo::replace_object_with_local_file(%d)",
                     static_cast<int>(local_id));
    return write_replacement(local_id, object, true);
  });
}

ErrorCode SyncAdapterUmbo::write_replacement(unsigned int local_id, Object& object, bool own_file) {
  m_adapter->reserve_event();
  object.set_local_id(local_id);
  // The stored local file is read and written back in one transaction level, so that a
  // file the application sets meanwhile is not overwritten with the one read before.
  ErrorCode code = m_database->begin_transaction(true);
  if (code != ORVA_ERROR_NONE) return code;
  try {
    // A header-only object rewrites no content: the stored files stay as they are.
    if (!own_file && !object.is_partial()) code = take_stored_local_files(local_id, object);
    if (code == ORVA_ERROR_NONE) code = m_database->update_object(object, true);
  } catch (...) {
    m_database->rollback_transaction();
    throw;
  }
  // A refusal (3, 8) wrote nothing and leaves the caller's transaction usable; any other
  // failure has spoilt the level already.
  if (code == ORVA_ERROR_NONE || code == ORVA_ERROR_INVALID_PARAMETERS ||
      code == ORVA_ERROR_NOT_FOUND) {
    const ErrorCode committed = m_database->commit_transaction();
    if (code == ORVA_ERROR_NONE) code = committed;
  } else {
    m_database->rollback_transaction();
  }
  if (code == ORVA_ERROR_NONE) {
    object.set_modified(false);
    dispatch(RepositoryEvent::OBJECT_UPDATED, local_id);
  }
  return code;
}

ErrorCode SyncAdapterUmbo::take_stored_local_files(unsigned int local_id, Object& object) {
  Object stored;
  ErrorCode read = ORVA_ERROR_NOT_FOUND;
  if (local_id != 0) {
    read = m_database->get_object(local_id, stored);
  } else if (object.get_global_id() != 0) {
    read = m_database->get_global_object(object.get_global_id(), stored);
  }
  // Nothing stored: the write itself finds no object (8). Any other failed read says
  // nothing about the stored file, which must not be lost: the write is not made.
  if (read != ORVA_ERROR_NONE && read != ORVA_ERROR_NOT_FOUND) return read;
  keep_local_files(object, read == ORVA_ERROR_NONE ? &stored : nullptr);
  return ORVA_ERROR_NONE;
}

ErrorCode SyncAdapterUmbo::delete_object(unsigned int local_id) {
  return guarded([&] {
    LoggerUmbo::logf(kTrace, "SyncAdapterUmbo::delete_object(%d)", static_cast<int>(local_id));
    m_adapter->reserve_event();
    const ErrorCode code = m_database->remove_object(local_id, true);
    if (code == ORVA_ERROR_NONE) dispatch(RepositoryEvent::OBJECT_REMOVED, local_id);
    return code;
  });
}

ErrorCode SyncAdapterUmbo::delete_object(unsigned long long global_id) {
  return guarded([&]() -> ErrorCode {
    LoggerUmbo::logf(kTrace, "SyncAdapterUmbo::delete_object(gid: %d)",
                     static_cast<int>(static_cast<uint32_t>(global_id)));
    unsigned int local_id = 0;
    const ErrorCode found = m_database->find_object_local_id(global_id, local_id);
    if (found != ORVA_ERROR_NONE) {
      // Not knowing whether the object exists is no removal: the server must hear of it.
      LoggerUmbo::logf(kTrace, "SyncAdapterUmbo::delete_object: lookup failed (%d)", found);
      return found;
    }
    // Nothing has this global id, so there is nothing to remove and nothing to announce:
    // an event for local id 0 names no object.
    if (local_id == 0) return ORVA_ERROR_NONE;
    return delete_object(local_id);
  });
}

ErrorCode SyncAdapterUmbo::mark_object_synced(unsigned int) {
  return guarded([] {
    return not_implemented("WARNING: SyncAdapterUmbo::mark_object_synced called: not implemented!");
  });
}

ErrorCode SyncAdapterUmbo::mark_all_unsynced() {
  return guarded([] {
    return not_implemented("WARNING: SyncAdapterUmbo::mark_all_unsynced called: not implemented!");
  });
}

ErrorCode SyncAdapterUmbo::update_queue_item(UploadQueueItem&) {
  return guarded([] {
    return not_implemented("WARNING: SyncAdapterUmbo::update_queue_item called: not implemented!");
  });
}

void SyncAdapterUmbo::sync_event(orva::ErrorCode, float) {}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
