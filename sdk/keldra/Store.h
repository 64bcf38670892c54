// Store: the open local store of one service, through which applications and the
// storable views read and write objects.
//
// A store is made only by Store::open. It holds the service's data adapter (shared by
// every store of the thread and service, with its database and held change events),
// one repository from it and the thread's Static (string pool and database manager),
// and keeps them alive while it lives. The database is opened by init(); every
// operation that reaches the repository needs init() to have reported success.
//
// Checks: an object to insert or update must have a sharing model that callers may
// set (check_input_object_sharing) and a class name; an object to update must not be
// partial (header only). Before inserting, the store gives the object global id 0,
// version 0, no partial flag and no owner: these belong to the server. Refusals are
// logged at type 32.
//
// Results: 0; 3 refused input (nothing is written, no event); 8 local or global id 0
// to a read; otherwise the repository's result. No exception leaves a store: a failure
// inside becomes its code (2 out of memory, 1 otherwise); a write that was committed
// returns its own result even when its change event could not be sent (the event goes
// out with the next send).
//
// Observers: one per thread and service. set_event_listener replaces the observer that
// any store of the thread and service registered; the destructor removes the observer
// only while it is still the one this store registered.
//
// Thread: used on the thread that opened it, which runs an event loop for the reports
// of init, the cache and the search (see ProgressHandler.h for what serves) and a Qt
// event loop for the change events; nothing here is locked. Change events reach
// observers only through the relay keldservice on the session bus, this process's own
// included: without it no observer hears of any change.
#pragma once

#include <keldra/DataAdapter.h>
#include <keldra/ErrorCode.h>
#include <keldra/Link.h>
#include <keldra/Object.h>
#include <keldra/ObjectCache.h>
#include <keldra/ProgressHandler.h>
#include <keldra/RefCountable.h>
#include <keldra/Repository.h>
#include <keldra/RepositoryObserver.h>
#include <keldra/Search.h>
#include <keldra/SharedPointer.h>
#include <keldra/Static.h>
#include <keldra/UserManager.h>

#include <vector>

// The one service that has a store.
#define KELD_SERVICE_PERSONAL "personal"

namespace orva {
namespace keldra {

// Whether callers may give an object this sharing model: private (0), public
// read-only (1), public read-write (2) and restricted (5).
bool check_input_object_sharing(SharingModel model);

class Store : public orva::internal::RefCountable {
 public:
  // Opens a new store of |service| into |out|: 0; 1 when the service has no data
  // adapter (only "personal" has one) or the adapter gives no repository; 2 when the
  // thread's Static cannot be made. On failure |out| keeps what it held. Does not touch
  // the database file.
  static ErrorCode open(orva::SharedPointer<Store>& out, const char* service);
  // The same for "personal".
  static ErrorCode open(orva::SharedPointer<Store>& out);

  // Removes the observer this store registered, if it is still the registered one.
  ~Store() override;

  // Opens the service's database (~/.cities/OstraMaps.db; the folder is made when
  // missing). |handler| (not owned, must outlive the report) hears (1.0, 0) from this
  // thread's event loop once it is open, or (0.0, code) before init returns when it
  // cannot be opened: the thread must run its event loop to hear of success.
  void init(ProgressHandler& handler);

  // Checks |object| (sharing model, then class name), clears its global id, version,
  // partial flag and owner, and stores it as a new object: on success it carries its
  // new local id and no modified marks. The cleared values stay cleared also when the
  // repository fails.
  ErrorCode insert_object(Object& object);
  // A missing object gives 0.
  ErrorCode remove_object(unsigned int local_id);
  // Checks |object| (partial, then sharing model, then class name) and writes it over
  // the stored object with its local id; on success its modified marks are cleared.
  ErrorCode update_object(Object& object);
  // Reset |object|, then read the stored object (whole, or only its header) into it.
  // 8 for local id 0.
  ErrorCode get_object(unsigned int local_id, Object& object) const;
  ErrorCode get_object_header(unsigned int local_id, Object& object) const;
  // The same by global id; 8 for global id 0.
  ErrorCode get_global_object(unsigned long long global_id, Object& object) const;
  // The other id of a stored object; 0 for id 0 and when there is none.
  unsigned int get_object_local_id(unsigned long long global_id) const;
  unsigned long long get_object_global_id(unsigned int local_id) const;
  // No default object is kept: 0, and setting one gives 4.
  unsigned int get_default_object_id() const;
  ErrorCode set_default_object_id(unsigned int local_id);
  // The store's one searcher (the same on every call); empty when none can be made.
  orva::SharedPointer<Search> get_searcher();
  // Always empty: no upload queue is kept.
  orva::SharedPointer<orva::internal::RefCountable> get_upload_queue();
  // A new object cache on every call; empty when none can be made.
  orva::SharedPointer<ObjectCache> get_object_cache() const;
  // A new user manager over the store's adapter on every call (a store without adapter
  // gives one whose operations fail with 2); empty only when none can be made.
  orva::SharedPointer<UserManager> get_user_manager();

  // Transactions of the caller, shared by every store of the thread and service: the
  // outermost begin starts the database transaction; change events wait for the
  // outermost commit; a rollback drops the events of the transaction and fails the
  // enclosing levels (their operations and commit then give 0x6006).
  ErrorCode begin_transaction(bool exclusive);
  ErrorCode commit_transaction();
  void rollback_transaction();
  bool is_in_transaction() const;

  // Sets the sharing model (refused with 3 as for insert); announced as an update.
  ErrorCode set_object_sharing(unsigned int local_id, SharingModel model);
  // Not supported: 1.
  ErrorCode set_object_no_sync(unsigned int local_id, bool no_sync);
  // Appends the links of the object and of all its attributes to |links|.
  ErrorCode get_object_children(unsigned int local_id, std::vector<Link>& links) const;

  // Removes the object on the synchronisation's behalf; when it has a global id, that
  // id is recorded for the server, which then deletes its copy, and the object's id pair
  // leaves the mapping. One transaction: a failed step, the removal included, rolls all
  // of it back and is returned. A missing object gives 0.
  ErrorCode soft_delete_object(unsigned int local_id);
  // Subscribes to the server's objects with these global ids (|flag|: with the objects
  // they link to), kept in the stored subscription object until the server has them.
  ErrorCode add_to_subscription(const std::vector<unsigned long long>& global_ids, bool flag);

  // Makes |observer| (not owned) the one observer of the thread and service.
  void set_event_listener(RepositoryObserver& observer);
  // Removes the observer of the thread and service, whichever store registered it.
  void unset_event_listener();
  // Removes |observer| only while it is the registered one, so that an observer about
  // to be destroyed never takes away one registered after it.
  void unset_event_listener(RepositoryObserver& observer);

 private:
  Store(const orva::SharedPointer<DataAdapter>& adapter,
        const orva::SharedPointer<Repository>& repository,
        const orva::SharedPointer<Static>& statics);
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  orva::SharedPointer<DataAdapter> m_adapter;
  orva::SharedPointer<Repository> m_repository;
  orva::SharedPointer<Static> m_statics;
  // The observer this store registered, while it may still be the registered one.
  RepositoryObserver* m_observer;
};

}  // namespace keldra
}  // namespace orva
