// The server's "S" lines: the returned objects written into the store, each in its own
// transaction, and every item booked in the run's results. A reply to OBJECTS or
// SUBSCRIBE first goes in one enclosing transaction (a commit per object would cost more
// than the writes); when any of its writes is refused, that transaction is rolled back
// and the reply handled again object by object, so that a refused object is rolled back
// alone and the others stay stored.
//
// A line is taken only for an item key of the package posted last. When the reply is
// closed (at the adapter's READY that follows it), every ordinary object item and every
// file of the request that no line answered is booked as failed with 1, and a package's
// reply without an "R" line fails the run as a failed "R" line does; system objects
// left unanswered keep their state with the extension.
//
// An object whose stored state changed since its package was built is never replaced
// by the reply: it keeps the edit and stays unsynchronised (a new object still learns
// its global id). This holds for an upload's own line and for every object a download
// brings: the package records each object that had local changes then; one that had
// none and has some now was edited since. Likewise an object removed since the package
// was built stays removed: a download's package records the global ids stored then (and
// an upload's line adds the id the server gave), and an object of such an id that is no
// longer stored is not added again; it is logged and not booked, and its recorded
// removal goes with the next sync. A received object never brings a local file,
// and one whose global id another object holds is refused (3): both are rules of the
// sync adapter's writes, which every received object goes through.
#include "transfer/DirectTransferHandlerImpl.h"
#include "transfer/DirectTransferLog.h"

#include <keldra/LoggerUmbo.h>

#include <algorithm>
#include <cassert>
#include <new>

namespace orva {
namespace keldra {
namespace internal {

namespace {

using namespace transfer_log;

const unsigned int kFirstSystemLid = 0x7FFFFFFB;
const unsigned int kLastSystemLid = 0x7FFFFFFF;
const unsigned long long kFirstSystemGid = 995;
const unsigned long long kLastSystemGid = 999;
const unsigned int kStatusStop = 10;

bool is_system_lid(unsigned long long id) { return id >= kFirstSystemLid && id <= kLastSystemLid; }
bool is_system_gid(unsigned long long id) { return id >= kFirstSystemGid && id <= kLastSystemGid; }
bool is_upload(DirectTransferHandler::RequestType type) {
  return type == DirectTransferHandler::REQUEST_OBJECT_ADD ||
         type == DirectTransferHandler::REQUEST_OBJECT_REPLACE;
}
// An upload or a download of an object that is not a system object.
bool is_ordinary_item(const DirectTransferHandler::Request& request) {
  if (is_upload(request.type)) return !is_system_lid(request.id);
  return request.type == DirectTransferHandler::REQUEST_OBJECT_DOWNLOAD &&
         !is_system_gid(request.id);
}

}  // namespace

orva::ErrorCode DirectTransferHandlerImpl::handle_reply(const unsigned char* data, int length) {
  const bool batch = (m_phase == OBJECTS || m_phase == SUBSCRIBE) &&
                     !m_repository->is_in_transaction() &&
                     m_repository->begin_transaction(false) == ORVA_ERROR_NONE;
  if (!batch) {
    const orva::ErrorCode result = m_parser.parse_response_message(data, length, this);
    flush_pending_mappings();
    return result;
  }
  // What the reply changes besides the store, to be put back when it is handled again.
  const size_t failed = m_failed_objects.size();
  const size_t uploaded = m_uploaded_objects.size();
  const DownloadedObjects downloaded = m_downloaded_objects;
  const uint32_t items_done = m_items_done;
  const std::multiset<std::string> awaited = m_awaited_keys;
  const std::unordered_map<unsigned int, std::string> sent_states = m_sent_states;
  const bool response_failed = m_response_failed;
  const bool response_line_seen = m_response_line_seen;

  m_reply_batched = true;
  m_batch_refused = false;
  orva::ErrorCode result = m_parser.parse_response_message(data, length, this);
  flush_pending_mappings();
  m_reply_batched = false;
  if (!m_batch_refused && m_repository->end_transaction(ORVA_ERROR_NONE) == ORVA_ERROR_NONE) {
    return result;
  }
  if (m_batch_refused) m_repository->end_transaction(ORVA_ERROR_UNKNOWN);
  LoggerUmbo::log("DirectTransferHandler: reply refused in one transaction, object by object",
                  kTrace);
  m_failed_objects.resize(failed);
  m_uploaded_objects.resize(uploaded);
  m_downloaded_objects = downloaded;
  m_items_done = items_done;
  m_awaited_keys = awaited;
  m_sent_states = sent_states;
  m_pending_mappings.clear();
  m_response_failed = response_failed;
  m_response_line_seen = response_line_seen;
  m_replaying = true;
  result = m_parser.parse_response_message(data, length, this);
  flush_pending_mappings();
  m_replaying = false;
  report_progress();
  return result;
}

orva::ErrorCode DirectTransferHandlerImpl::handle_object_status(
    const SyncParser::ObjectStatus& status) {
  LoggerUmbo::logf(kTrace, "DirectTransferHandler: got reply %d for object request %s",
                   static_cast<int>(status.code), status.key.c_str());
  const Request request = parse_item_key(status.key);
  if (status.code == kStatusStop) return ORVA_ERROR_KELDRA_OBJECT_STATUS_10;
  const auto awaited = m_awaited_keys.find(status.key);
  if (awaited == m_awaited_keys.end()) {
    LoggerUmbo::logf(kTrace, "DirectTransferHandler: reply for %s that was not asked, ignored",
                     status.key.c_str());
    return ORVA_ERROR_NONE;
  }
  m_awaited_keys.erase(awaited);
  const orva::ErrorCode code = status.code == 0 ? ORVA_ERROR_NONE : ORVA_ERROR_UNKNOWN;
  if (is_upload(request.type) && is_system_lid(request.id)) {
    TransferExtension* ext = extension();
    if (ext == nullptr) return ORVA_ERROR_OUT_OF_MEMORY;
    const orva::ErrorCode sent =
        ext->handle_cached_extension_object_sent(static_cast<uint32_t>(request.id), code);
    if (sent != ORVA_ERROR_NONE && m_reply_batched) m_batch_refused = true;
    return sent;
  }
  if (code == ORVA_ERROR_NONE) {
    handle_incoming_objects(request, status.objects);
  } else {
    save_object_result(request, code, ObjectPtr());
  }
  ++m_items_done;
  if (!m_replaying) report_progress();
  return ORVA_ERROR_NONE;
}

void DirectTransferHandlerImpl::handle_incoming_objects(const Request& request,
                                                        const std::vector<ObjectPtr>& objects) {
  LoggerUmbo::logf(kTrace,
                   "DirectTransferHandler::handle_incoming_objects: req.type %d, req.id %lu, "
                   "count %d",
                   static_cast<int>(request.type), static_cast<unsigned long>(request.id),
                   static_cast<int>(objects.size()));
  if (objects.empty()) {
    if (request.type == REQUEST_OBJECT_DOWNLOAD) {
      LoggerUmbo::log("DirectTransferHandler: no objects in the download result", kTrace);
      save_object_result(request, ORVA_ERROR_NOT_SUPPORTED, ObjectPtr());
    }
    // The snapshot of an upload answered without an object is of no more use.
    if (is_upload(request.type)) m_sent_states.erase(static_cast<unsigned int>(request.id));
    return;
  }
  for (size_t i = 0; i < objects.size(); ++i) {
    const ObjectPtr& object = objects[i];
    assert(object.is_valid());
    if (is_system_gid(object->get_global_id())) {
      LoggerUmbo::logf(kTrace, "DirectTransferHandler: item %d is extension object, gid %lu",
                       static_cast<int>(i), static_cast<unsigned long>(object->get_global_id()));
      TransferExtension* ext = extension();
      uint32_t local_id = 0;
      const orva::ErrorCode result = ext == nullptr
                                         ? ORVA_ERROR_OUT_OF_MEMORY
                                         : ext->handle_extension_object_received(object, local_id);
      if (result != ORVA_ERROR_NONE && m_reply_batched) m_batch_refused = true;
      save_object_result(request, result, object);
      continue;
    }
    bool removed = false;
    orva::ErrorCode code = m_repository->begin_transaction(false);
    if (code == ORVA_ERROR_NONE) {
      if (is_upload(request.type) && i == 0) {
        code = replace_uploaded(static_cast<unsigned int>(request.id), *object);
      } else if (request.type == REQUEST_OBJECT_DOWNLOAD) {
        code = store_downloaded(*object, removed);
      } else {
        // A second object for one upload, or a kind that brings no objects.
        code = ORVA_ERROR_NOT_SUPPORTED;
      }
      code = m_repository->end_transaction(code);
    }
    // A refused write inside the reply's transaction spoils all of it.
    if (code != ORVA_ERROR_NONE && m_reply_batched) m_batch_refused = true;
    // The server did answer; the object is just no longer wanted here.
    if (removed && code == ORVA_ERROR_NONE) continue;
    save_object_result(request, code, object);
    LoggerUmbo::logf(kTrace, "DirectTransferHandler: object %lu, err %d",
                     static_cast<unsigned long>(object->get_global_id()), code);
  }
}

void DirectTransferHandlerImpl::save_object_result(const Request& request, orva::ErrorCode code,
                                                   const ObjectPtr& object) {
  LoggerUmbo::logf(kTrace, "DirectTransferHandler::save_object_result: req %d, id %lu, err %d",
                   static_cast<int>(request.type), static_cast<unsigned long>(request.id), code);
  switch (request.type) {
    case REQUEST_OBJECT_ADD:
    case REQUEST_OBJECT_REPLACE:
      if (code == ORVA_ERROR_NONE) {
        m_uploaded_objects.push_back(
            object.is_valid() ? ObjectBase(object->get_local_id(), object->get_global_id())
                              : ObjectBase(static_cast<unsigned int>(request.id), 0));
      } else {
        m_failed_objects.push_back({ObjectBase(static_cast<unsigned int>(request.id), 0), code});
      }
      break;
    case REQUEST_OBJECT_DOWNLOAD:
      if (code == ORVA_ERROR_NONE && object.is_valid()) {
        m_downloaded_objects.insert(std::make_pair(
            request.id, ObjectBase(object->get_local_id(), object->get_global_id())));
      } else {
        m_failed_objects.push_back(
            {ObjectBase(0, request.id), code == ORVA_ERROR_NONE ? ORVA_ERROR_UNKNOWN : code});
      }
      break;
    default:
      LoggerUmbo::log("DirectTransferHandler::save_object_result: nothing to do", kTrace);
      break;
  }
}

orva::ErrorCode DirectTransferHandlerImpl::replace_uploaded(unsigned int local_id,
                                                            Object& incoming) {
  // The object was stored when its package was built, under the id the server gives it
  // now: a download line of the same reply must not bring it back once removed.
  note_stored_when_built(incoming.get_global_id());
  Object stored;
  const orva::ErrorCode read = m_repository->get_object(local_id, stored);
  const auto sent = m_sent_states.find(local_id);
  bool edited = false;
  if (sent != m_sent_states.end()) {
    std::string now;
    edited = read != ORVA_ERROR_NONE || !stored_record(stored, now) || now != sent->second;
    // Either way the object's state from now on is what this line leaves: kept, it
    // has local changes; replaced, it has none.
    m_sent_states.erase(sent);
  }
  if (edited) {
    LoggerUmbo::logf(kTrace, "DirectTransferHandler: object %u changed while it was sent, kept",
                     local_id);
    // Gone meanwhile: nothing to keep. Still new: it learns the global id the server
    // gave, and goes as an update next time.
    if (read != ORVA_ERROR_NONE || stored.get_global_id() != 0 || incoming.get_global_id() == 0) {
      incoming.set_local_id(local_id);
      return ORVA_ERROR_NONE;
    }
    // Only a write from sync takes a global id; the local write after it marks the
    // edit as a local change again (both in the caller's transaction).
    stored.set_global_id(incoming.get_global_id());
    orva::ErrorCode code = m_sync_adapter->replace_object(local_id, stored);
    if (code == ORVA_ERROR_NONE) {
      stored.set_modified(true);
      code = m_repository->update_object(stored);
    }
    incoming.set_local_id(local_id);
    return code;
  }
  return m_sync_adapter->replace_object(local_id, incoming);
}

bool DirectTransferHandlerImpl::edited_since_built(unsigned int local_id) {
  Object stored;
  const auto sent = m_sent_states.find(local_id);
  if (sent == m_sent_states.end()) {
    // No local changes when the package was built (or written by this reply since).
    return m_repository->get_object_header(local_id, stored) != ORVA_ERROR_NONE ||
           stored.has_local_changes();
  }
  std::string now;
  return m_repository->get_object(local_id, stored) != ORVA_ERROR_NONE ||
         !stored_record(stored, now) || now != sent->second;
}

bool DirectTransferHandlerImpl::stored_when_built(unsigned long long global_id) {
  // Sorted on the first look after ids were noted, not at each note: a reply may
  // confirm many uploads against a large store.
  if (!m_built_global_ids_sorted) {
    std::sort(m_built_global_ids.begin(), m_built_global_ids.end());
    m_built_global_ids_sorted = true;
  }
  return std::binary_search(m_built_global_ids.begin(), m_built_global_ids.end(), global_id);
}

void DirectTransferHandlerImpl::note_stored_when_built(unsigned long long global_id) {
  if (global_id == 0) return;
  m_built_global_ids.push_back(global_id);
  m_built_global_ids_sorted = false;
}

orva::ErrorCode DirectTransferHandlerImpl::store_downloaded(Object& incoming, bool& removed) {
  removed = false;
  unsigned int known = m_repository->get_object_local_id(incoming.get_global_id());
  if (known == 0 && stored_when_built(incoming.get_global_id())) {
    // The look-up gives 0 for a failed read as well: only an object that is surely gone
    // is taken as removed.
    Object now;
    const orva::ErrorCode read = m_repository->get_global_object(incoming.get_global_id(), now);
    if (read == ORVA_ERROR_NOT_FOUND) {
      LoggerUmbo::logf(kTrace,
                       "DirectTransferHandler: object %lu removed while the download was on "
                       "its way, not stored",
                       static_cast<unsigned long>(incoming.get_global_id()));
      removed = true;
      return ORVA_ERROR_NONE;
    }
    if (read != ORVA_ERROR_NONE) return read;
    known = now.get_local_id();
  }
  if (known != 0) {
    if (edited_since_built(known)) {
      LoggerUmbo::logf(kTrace,
                       "DirectTransferHandler: object %u changed while the download was on its "
                       "way, kept",
                       known);
      incoming.set_local_id(known);
      return ORVA_ERROR_NONE;
    }
    const orva::ErrorCode code = m_sync_adapter->replace_object(known, incoming);
    // Written from sync: later lines compare with this state.
    if (code == ORVA_ERROR_NONE) m_sent_states.erase(known);
    return code;
  }
  const orva::ErrorCode code = m_sync_adapter->add_object(incoming);
  if (code == ORVA_ERROR_NONE) {
    m_pending_mappings.push_back(ObjectBase(incoming.get_local_id(), incoming.get_global_id()));
  }
  return code;
}

void DirectTransferHandlerImpl::close_reply() {
  m_reply_awaited = false;
  bool failed = false;
  if (m_response_line_awaited && !m_response_line_seen) {
    LoggerUmbo::log("DirectTransferHandler: reply without response status line, the run fails",
                    kTrace);
    failed = true;
  }
  for (const std::string& key : m_awaited_keys) {
    const Request request = parse_item_key(key);
    if (!is_ordinary_item(request)) continue;
    LoggerUmbo::logf(kTrace, "DirectTransferHandler: no reply for %s, booked as failed",
                     key.c_str());
    save_object_result(request, ORVA_ERROR_UNKNOWN, ObjectPtr());
    ++m_items_done;
    failed = true;
  }
  for (const unsigned int local_id : m_awaited_files) {
    LoggerUmbo::logf(kTrace, "DirectTransferHandler: no reply for mu%u, booked as failed",
                     local_id);
    m_failed_files.push_back(
        {ObjectBase(local_id, m_repository->get_object_global_id(local_id)), ORVA_ERROR_UNKNOWN});
    ++m_items_done;
    failed = true;
  }
  m_awaited_keys.clear();
  m_awaited_files.clear();
  m_sent_states.clear();
  m_built_global_ids.clear();
  m_built_global_ids.shrink_to_fit();
  m_response_line_awaited = false;
  m_response_line_seen = false;
  // Like a failed "R" line: the run ends with 1 at this state change.
  if (failed) m_response_failed = true;
}

void DirectTransferHandlerImpl::flush_pending_mappings() {
  if (m_pending_mappings.empty()) return;
  std::vector<ObjectBase> pairs;
  pairs.swap(m_pending_mappings);
  TransferExtension* ext = extension();
  const orva::ErrorCode code =
      ext == nullptr ? ORVA_ERROR_OUT_OF_MEMORY : ext->save_mappings(pairs);
  if (code == ORVA_ERROR_NONE) return;
  if (m_reply_batched) {
    m_batch_refused = true;
    return;
  }
  LoggerUmbo::logf(kTrace, "DirectTransferHandler: mapping of %d objects not saved, err %d",
                   static_cast<int>(pairs.size()), code);
  for (const ObjectBase& pair : pairs) m_failed_objects.push_back({pair, code});
  m_response_failed = true;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
