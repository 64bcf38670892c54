// Store: the open local store of one service, through which applications and the
// storable views read and write objects.
//
// The store checks what callers give it and forwards the work to its repository,
// which does the writing, clears the modified marks and announces the change.
//
// Checks: an object to insert or update must have a sharing model that callers may
// set (check_input_object_sharing) and a class name; an object to update must not be
// partial (header only). Before inserting, the store gives the object global id 0,
// version 0, no partial flag and no owner: these belong to the server. Refusals are
// logged at type 32.
//
// Results: 0; 3 refused input (nothing is written); 8 local id 0; 1 the store has no
// repository (after the checks); otherwise the repository's result.
//
// Thread: used on the thread that made it; nothing here is locked.
#pragma once

#include <keldra/ErrorCode.h>
#include <keldra/Object.h>
#include <keldra/RefCountable.h>
#include <keldra/Repository.h>
#include <keldra/SharedPointer.h>

namespace orva {
namespace keldra {

// Whether callers may give an object this sharing model: private (0), public
// read-only (1), public read-write (2) and restricted (5).
bool check_input_object_sharing(SharingModel model);

class Store : public orva::internal::RefCountable {
 public:
  // A store that forwards to |repository|. An empty pointer gives a store without
  // repository, whose reads and writes make their checks and then return 1.
  explicit Store(const orva::SharedPointer<Repository>& repository);
  ~Store() override;

  // Checks |object| (sharing model, then class name), clears its global id, version,
  // partial flag and owner, and stores it as a new object: on success it carries its
  // new local id and no modified marks. The cleared values stay cleared also when the
  // repository fails.
  ErrorCode insert_object(Object& object);
  // Checks |object| (partial, then sharing model, then class name) and writes it over
  // the stored object with its local id; on success its modified marks are cleared.
  ErrorCode update_object(Object& object);
  // Resets |object|, then reads the stored object with that local id into it. 8 for
  // local id 0.
  ErrorCode get_object(unsigned int local_id, Object& object) const;

 private:
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  orva::SharedPointer<Repository> m_repository;
};

}  // namespace keldra
}  // namespace orva
