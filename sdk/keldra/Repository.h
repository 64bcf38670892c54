// Repository: the store's access to the stored objects of one service.
//
// A repository writes and reads whole objects by local id, maps local and global ids,
// opens and ends transactions, changes sharing models and lists an object's children.
// On a successful write it clears the object's modified marks and announces the change
// ("created", "updated" or "removed" with the object's local id) to the listeners of the
// store; a failed write leaves the object's marks as they were and announces nothing.
//
// Transactions: begin_transaction opens a level (the outermost one starts the storage's
// transaction, inner ones only count). Announcements of writes inside a transaction wait
// for the commit of the outermost level; a rollback at any level drops the announcements
// of writes made since the outermost begin and fails the enclosing levels, whose later
// operations and commit then return 0x6006.
//
// Results: 0; 3 refused input; 8 no object with that local id; 4 not supported;
// other codes as the storage gives them.
//
// Thread: used on the thread that made it; nothing here is locked.
#pragma once

#include <keldra/ErrorCode.h>
#include <keldra/Link.h>
#include <keldra/Object.h>
#include <keldra/RefCountable.h>
#include <keldra/SharedPointer.h>

#include <vector>

namespace orva {
namespace keldra {

class ObjectCache;
class Search;

class Repository : public orva::internal::RefCountable {
 public:
  ~Repository() override;

  // Stores |object| as a new object. On success |object| carries the local id it was
  // stored under and its state as stored.
  virtual ErrorCode insert_object(Object& object) = 0;
  // Deletes the stored object with that local id; a missing object gives 0.
  virtual ErrorCode remove_object(unsigned int local_id) = 0;
  // Writes |object| over the stored object with the same local id.
  virtual ErrorCode update_object(Object& object) = 0;
  // Reads the stored object with that local id, header and content, into |object|
  // (not partial).
  virtual ErrorCode get_object(unsigned int local_id, Object& object) const = 0;
  // Reads only the header (marked partial).
  virtual ErrorCode get_object_header(unsigned int local_id, Object& object) const = 0;
  // Reads the stored object with that global id.
  virtual ErrorCode get_global_object(unsigned long long global_id, Object& object) const = 0;
  // The other id of a stored object; 0 when there is none.
  virtual unsigned int get_object_local_id(unsigned long long global_id) const = 0;
  virtual unsigned long long get_object_global_id(unsigned int local_id) const = 0;
  // No default object is kept: 0, and setting one gives 4.
  virtual unsigned int get_default_object_id() const = 0;
  virtual ErrorCode set_default_object_id(unsigned int local_id) = 0;
  // The repository's one searcher, made on first use; empty when none can be made.
  virtual orva::SharedPointer<Search> get_searcher() = 0;
  // No upload queue is kept: always empty.
  virtual orva::SharedPointer<orva::internal::RefCountable> get_upload_queue() = 0;
  // A new object cache on every call; empty when none can be made.
  virtual orva::SharedPointer<ObjectCache> get_object_cache() const = 0;

  virtual ErrorCode begin_transaction(bool exclusive) = 0;
  virtual ErrorCode commit_transaction() = 0;
  virtual void rollback_transaction() = 0;
  virtual bool is_in_transaction() const = 0;
  // 0 commits (and returns the commit's result); any other code rolls back and is
  // returned unchanged.
  virtual ErrorCode end_transaction(ErrorCode code);

  // Sets the object's sharing model; a synchronised object becomes "sharing changed"
  // unless |retain_state|. Announced as an update.
  virtual ErrorCode set_object_sharing(unsigned int local_id, SharingModel model,
                                       bool retain_state) = 0;
  virtual ErrorCode set_object_no_sync(unsigned int local_id, bool no_sync) = 0;
  // Appends the links of the object and of all its attributes to |links|.
  virtual ErrorCode get_object_children(unsigned int local_id, std::vector<Link>& links) const = 0;
};

}  // namespace keldra
}  // namespace orva
