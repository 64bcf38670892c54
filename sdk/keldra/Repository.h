// Repository: the store's access to the stored objects of one service.
//
// A repository writes and reads whole objects by local id. On a successful write it
// clears the object's modified marks and announces the change ("inserted" or
// "updated" with the object's local id) to the listeners of the store; a failed write
// leaves the object's marks as they were and announces nothing.
//
// Only the operations that Store forwards today are declared here; the removal,
// header reads, id lookups, transactions, sharing changes and children come with the
// SQLite store, in that order after these.
//
// Results: 0; 8 no object with that local id; other codes as the storage gives them.
//
// Thread: used on the thread that made it; nothing here is locked.
#pragma once

#include <keldra/ErrorCode.h>
#include <keldra/RefCountable.h>

namespace orva {
namespace keldra {

class Object;

class Repository : public orva::internal::RefCountable {
 public:
  ~Repository() override;

  // Stores |object| as a new object. On success |object| carries the local id it was
  // stored under and its state as stored.
  virtual ErrorCode insert_object(Object& object) = 0;
  // Writes |object| over the stored object with the same local id.
  virtual ErrorCode update_object(Object& object) = 0;
  // Reads the stored object with that local id, header and content, into |object|
  // (not partial).
  virtual ErrorCode get_object(unsigned int local_id, Object& object) const = 0;
};

}  // namespace keldra
}  // namespace orva
