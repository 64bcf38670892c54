// DataAdapter: the stored data of one service on one thread, handed out by the thread's
// DatabaseManager. It opens the service's database, makes repositories (and sync
// adapters) over it and registers the thread's one change-event observer of the service.
//
// Reference counted; every holder (stores, repositories, the sync engine) keeps it
// alive. Used only on the thread that opened it.
#pragma once

#include <keldra/ProgressHandler.h>
#include <keldra/RefCountable.h>
#include <keldra/Repository.h>
#include <keldra/RepositoryEvent.h>
#include <keldra/RepositoryObserver.h>
#include <keldra/SharedPointer.h>
#include <tervo/ustring.h>

namespace orva {
namespace keldra {

class SyncAdapter;

class DataAdapter : public orva::internal::RefCountable {
 public:
  // Implemented by the sync engine, which reports its own events; the adapter neither
  // holds nor calls one.
  class EventDispatcher {
   public:
    virtual void report_event(const RepositoryEvent* event) = 0;
    virtual void set_observer(RepositoryObserver* observer) = 0;

   protected:
    ~EventDispatcher() {}
  };

  ~DataAdapter() override;

  // Opens the database: a failure is reported to |handler| before init returns, success
  // later from the event loop.
  virtual void init(ProgressHandler& handler) = 0;
  // A new repository on every call; empty when none can be made.
  virtual orva::SharedPointer<Repository> repository();
  // A new sync adapter on every call; empty when none can be made.
  virtual orva::SharedPointer<SyncAdapter> sync_adapter();
  // No data source is kept: always empty.
  virtual orva::SharedPointer<orva::internal::RefCountable> data_source();
  // Makes |observer| (not owned) the one observer of the service on this thread,
  // replacing the one registered before.
  virtual void set_event_listener(RepositoryObserver& observer) = 0;
  virtual void unset_event_listener() = 0;
  // The registered observer, or null (the base keeps none).
  virtual RepositoryObserver* get_event_listener() const;
  // The name under which the sync engine knows the local database.
  virtual orva::ustring get_db_name() const = 0;
};

}  // namespace keldra
}  // namespace orva
