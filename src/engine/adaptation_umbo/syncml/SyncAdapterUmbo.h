// The sync adapter over a DataAdapterUmbo's Database: the storage plug-in lists and
// writes the server's objects through it, the sync task manager asks it for the server
// address.
//
// Writes are writes from sync (state SYNCED, no removed-id record). A successful write
// clears the object's modified marks and dispatches {1 created, 2 updated, 3 removed;
// local id} to the data adapter, which sends or holds it (transactions, sync mark); a
// failed write dispatches nothing. add_object with a global id already stored replaces
// that object (event 2); an object that brings a global id another object holds is
// refused with 3, nothing written. Removing by a global id that no object has succeeds
// and dispatches nothing; a lookup of the global id that fails (a failed transaction, a
// busy or unreadable file) is returned as it is, by add_object too, which then writes
// nothing. Database codes are returned unchanged; the operations the store does not
// support return 1. No exception leaves the adapter: out of memory before a write is 2
// with nothing written, and a write once committed keeps its 0.
//
// No server or daemon data sets, changes or clears a file of this device: add_object
// drops the "local_uri" attributes of the object it is given, at every level (an icon
// frame of a metadata section has one too), and replace_object puts the stored
// object's in their place: the object's own file, and the file of each part that the
// server's copy still has at the same place (same name and class, same rank among its
// siblings of that name and class, at every level); a part the copy no longer has
// takes its file with it. Only replace_object_with_local_file, for a file the device
// itself wrote (a media download), stores the local files of the object given.
//
// Made only by DataAdapterUmbo::sync_adapter(), a new one per call; holds its adapter,
// and so the database, alive. Thread: the adapter's thread only; no locks.
#pragma once

#include "syncengine/SyncMlHandler.h"

#include <keldra/SharedPointer.h>
#include <keldra/SyncAdapter.h>

#include <cstdint>
#include <string>
#include <vector>

namespace orva {
namespace keldra {
namespace internal {

class DataAdapterUmbo;
class Database;

class SyncAdapterUmbo : public SyncAdapter, public SyncMlHandler::SyncMlListener {
 public:
  // Hosts of the two sync endpoints (deployment settings).
  static const char* const kDefaultHost;
  static const char* const kChinaHost;

  explicit SyncAdapterUmbo(orva::SharedPointer<DataAdapterUmbo>& adapter);
  // Releases the data adapter.
  ~SyncAdapterUmbo() override;

  // "https://<host>:443/sync" of the adapter's backend, or the debug library's address
  // when it gives one. An unknown backend stops the process (select_backend refuses
  // them, so only a fault of the library can get there).
  std::string server_uri() const override;
  long long get_last_sync() const override;
  ErrorCode set_last_sync(long long time) override;

  ErrorCode all_objects(std::vector<Object>& out) const override;
  ErrorCode new_objects(std::vector<Object>& out) const override;
  ErrorCode new_objects(std::vector<Object>& out, const std::string& filter) const override;
  ErrorCode changed_objects(std::vector<Object>& out) const override;
  ErrorCode removed_objects(std::vector<Object>& out) const override;

  ErrorCode add_object(Object& object) override;
  ErrorCode replace_object(unsigned int local_id, Object& object) override;
  // As replace_object, but the object's local file is stored as given: for a file this
  // device downloaded, so that the object stays synchronised. Never for a received object.
  ErrorCode replace_object_with_local_file(unsigned int local_id, Object& object);
  ErrorCode delete_object(unsigned int local_id) override;
  ErrorCode delete_object(unsigned long long global_id) override;

  ErrorCode mark_object_synced(unsigned int local_id) override;
  ErrorCode mark_all_unsynced() override;
  ErrorCode update_queue_item(UploadQueueItem& item) override;

  // The daemon's reports need nothing from the store.
  void sync_event(orva::ErrorCode status, float progress) override;

  // The url of every local file a stored object records, at any level, whose text
  // holds |fragment| (empty: every one), appended to |out|: the database's result.
  ErrorCode get_local_files(const std::string& fragment, std::vector<std::string>& out);

  // Forgets every recorded removed id.
  virtual ErrorCode purge_removed_ids();
  // Forgets the recorded removals of these local ids only: the ones a finished sync
  // sent. Removals recorded since the list was taken stay for the next sync.
  virtual ErrorCode purge_removed_ids(const std::vector<unsigned int>& local_ids);

 private:
  SyncAdapterUmbo(const SyncAdapterUmbo&) = delete;
  SyncAdapterUmbo& operator=(const SyncAdapterUmbo&) = delete;

  std::string select_backend_impl() const;
  // The replacement of both replace operations; |own_file| keeps the object's local file.
  ErrorCode write_replacement(unsigned int local_id, Object& object, bool own_file);
  // Puts the stored object's local files in place of |object|'s, each where the object
  // still has its place: 0, or a read's failure.
  ErrorCode take_stored_local_files(unsigned int local_id, Object& object);
  void dispatch(int32_t type, unsigned int local_id);

  orva::SharedPointer<DataAdapterUmbo> m_adapter;
  Database* m_database;  // the adapter's, not owned
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
