// The data adapter of the service "personal": owns the service's Database, hands out
// repositories and sync adapters over it and collects their change events.
//
// Events: every successful write dispatches one RepositoryEvent. It is sent to the
// thread's D-Bus hub at once unless something holds it: a transaction open at any
// depth, or the sync mark (setInSync(true)) that the storage plug-in sets while a
// synchronisation runs. Held events go out together, in the order of the writes, from
// the next dispatch or flush(false) that finds nothing holding them. A rollback of a
// caller's transaction drops only the events dispatched since its outermost begin
// (mark_transaction_start), never those held earlier for the sync mark. When the hub
// fails to send, the events stay held for the next send; the write that caused the send
// keeps its own result.
//
// Construction never throws out: when the database cannot be made the adapter stays
// without one and repository() gives empty pointers.
//
// Thread: one thread, the one whose database manager made it; no locks.
#pragma once

#include <keldra/DataAdapter.h>
#include <keldra/LoggerUmbo.h>
#include <keldra/RepositoryEvent.h>
#include <keldra/SharedPointer.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orva {
namespace keldra {
namespace internal {

class Database;
class DbusEventHandler;
class Settings;

class DataAdapterUmbo : public DataAdapter {
 public:
  // Values of the sync backend, as the sync service names them.
  enum SyncBackends : int32_t { DEFAULT = 0, CHINA = 1 };

  DataAdapterUmbo();
  // Unregisters the observer and deletes the database; held events are dropped unsent.
  ~DataAdapterUmbo() override;

  // Opens the database; an exception from the opening is reported as (0.0, 1) at once.
  void init(ProgressHandler& handler) override;
  orva::SharedPointer<Repository> repository() override;
  // A new SyncAdapterUmbo over the database; empty when there is no database.
  orva::SharedPointer<SyncAdapter> sync_adapter() override;
  void set_event_listener(RepositoryObserver& observer) override;
  void unset_event_listener() override;
  RepositoryObserver* get_event_listener() const override { return m_listener; }
  // ".KeldraDb_" and the database's unique id.
  orva::ustring get_db_name() const override;

  // The owned database (null when it could not be made); the caller does not own it.
  Database* database() const { return m_database; }

  // Makes room for one more held event; throws std::bad_alloc. Writers call it before
  // their write, so that the dispatch of a committed write never needs memory.
  void reserve_event() { m_events.reserve(m_events.size() + 1); }
  // Holds or sends |event| (see above); a type-0 event only sends what is held. Never
  // throws: an event that finds no room (no reserve_event before) is logged and lost.
  void dispatch(const RepositoryEvent& event);
  // false: sends what is held when nothing holds it; true: drops every held event.
  void flush(bool discard);
  // Sets or clears the sync mark; sends and drops nothing by itself.
  void setInSync(bool in_sync) { m_in_sync = in_sync; }
  bool in_sync() const { return m_in_sync; }

  // Called by a repository just before it opens an outermost transaction: events
  // dispatched from here on belong to that transaction.
  void mark_transaction_start() { m_transaction_start = m_events.size(); }
  // Drops the events dispatched since the last mark_transaction_start.
  void discard_transaction_events();

  // 0 DEFAULT or 1 CHINA: stored, 0 returned; any other value: 3, nothing changes.
  orva::ErrorCode select_backend(int32_t backend);
  int32_t get_backend() const { return m_backend; }

  // The events held now, in dispatch order.
  const std::vector<RepositoryEvent>& held_events() const { return m_events; }

 private:
  DataAdapterUmbo(const DataAdapterUmbo&) = delete;
  DataAdapterUmbo& operator=(const DataAdapterUmbo&) = delete;

  bool in_transaction() const;

  Database* m_database;
  std::vector<RepositoryEvent> m_events;
  orva::SharedPointer<DbusEventHandler> m_dbus;
  orva::SharedPointer<Settings> m_settings;
  RepositoryObserver* m_listener;
  int32_t m_backend;
  bool m_in_sync;
  // Index in m_events of the first event of the caller's open transaction.
  size_t m_transaction_start;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
