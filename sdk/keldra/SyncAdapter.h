// SyncAdapter: the store as the synchronisation side sees it. The storage plug-in lists
// the objects to send and writes the objects received through it; the task manager asks
// it for the server address.
//
// Every write through it is a write from sync: the stored object is marked synchronised,
// a removal leaves no removed-id record, and a successful write reports its change event
// to the data adapter (held there while a transaction or the sync mark is open).
//
// Results: 0; the database's codes unchanged; 1 for the operations the store does not
// support (set_last_sync, new_objects with a filter, mark_object_synced,
// mark_all_unsynced, update_queue_item).
//
// Made by DataAdapter::sync_adapter() (a new one per call), reference counted, used only
// on the thread that owns the data adapter.
#pragma once

#include <keldra/ErrorCode.h>
#include <keldra/Object.h>
#include <keldra/RefCountable.h>

#include <string>
#include <vector>

namespace orva {
namespace keldra {

// Upload queue record of the direct transfer; update_queue_item does not read it.
class UploadQueueItem;

class SyncAdapter : public orva::internal::RefCountable {
 public:
  ~SyncAdapter() override {}

  // The sync server's address: the backend's endpoint, or the debug redirect when set.
  virtual std::string server_uri() const = 0;
  // The last sync time is not kept: always 0; setting it gives 1.
  virtual long long get_last_sync() const = 0;
  virtual ErrorCode set_last_sync(long long time) = 0;

  // Object headers: all syncable objects, those never uploaded, those changed since, and
  // one object per recorded removed local id.
  virtual ErrorCode all_objects(std::vector<Object>& out) const = 0;
  virtual ErrorCode new_objects(std::vector<Object>& out) const = 0;
  virtual ErrorCode new_objects(std::vector<Object>& out, const std::string& filter) const = 0;
  virtual ErrorCode changed_objects(std::vector<Object>& out) const = 0;
  virtual ErrorCode removed_objects(std::vector<Object>& out) const = 0;

  // Writes of the server's objects. add_object replaces the object that already has the
  // global id, else inserts it with a new local id (set on |object|). Neither takes a
  // local file ("local_uri") from the object: a replaced object keeps the one stored. An
  // object whose global id another object holds is refused with 3, nothing written.
  virtual ErrorCode add_object(Object& object) = 0;
  virtual ErrorCode replace_object(unsigned int local_id, Object& object) = 0;
  // Removing an object that does not exist succeeds; by a global id that no object has,
  // nothing is removed and no event is reported.
  virtual ErrorCode delete_object(unsigned int local_id) = 0;
  virtual ErrorCode delete_object(unsigned long long global_id) = 0;

  virtual ErrorCode mark_object_synced(unsigned int local_id) = 0;
  virtual ErrorCode mark_all_unsynced() = 0;
  virtual ErrorCode update_queue_item(UploadQueueItem& item) = 0;
};

}  // namespace keldra
}  // namespace orva
