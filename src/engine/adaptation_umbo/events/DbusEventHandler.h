// The thread's D-Bus hub: the library's one contact with the session bus, towards the
// change-relay service keldservice and the platform's sync daemon.
//
// Each thread has at most one hub, remembered in a thread-local word that holds no
// count; instance() creates it on the thread's first call, and the destructor clears
// the word, so the hub lives while counted holders (the thread's database manager, data
// adapters, the sync engine) keep it and the next instance() after the last release
// creates a new one, which needs init() again. Holds the process logger for its whole
// life.
//
// Relay side: the process's change events go out as SendMessage(type, id) (one event)
// or SendMessages(batch) (several; the batch is a big-endian QDataStream: N = twice the
// event count, then type and local id of each event). The relay broadcasts them back as
// DbChanged / DbChanges to every process, this one included; the hub receives them only
// while at least one RepositoryObserver is registered and hands them to the observers.
// A received SYNC_START is delivered at once with what is pending and starts holding;
// events received while holding are delivered together with the SYNC_STOP that ends it.
// Inside one batch every SYNC_START delivers what is pending. Removing the last
// observer ends holding too, since no SYNC_STOP can reach the hub without one.
//
// Delivery to the relay: every call's reply is watched. A call that fails (the relay is
// not on the bus, or went away with the call unanswered) keeps its events, and so does
// every send while the relay's name has no owner; when the name is taken again, the
// kept events go out first, in the order they were sent, as one message. At most
// kMaxKeptEvents are kept: beyond them the oldest are dropped (and counted in the log).
// Sending never waits for the relay.
//
// Daemon side: send_sync_message() asks the daemon to start, abort or reload the
// profile "maps-keldra" without waiting for a reply; while a sync listener is set, the
// daemon's reports for that profile become sync_event() calls on it. The reply of
// startSync is watched: a start the daemon cannot take (its name has no owner, the call
// fails) or refuses (it answers false) ends the sync with a final error report. The
// listener is unset by every final report (finished, error, aborted, start failed or
// refused) and never called once it is destroyed.
//
// Thread: created, used and destroyed on one thread; the bus's signals arrive through
// that thread's Qt event loop. Counts are not atomic.
#pragma once

#include <keldra/ErrorCode.h>
#include <keldra/LoggerUmbo.h>
#include <keldra/RepositoryEvent.h>
#include <keldra/RepositoryObserver.h>
#include <keldra/SharedPointer.h>

#include "syncengine/SyncMlHandler.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

class ComOstraMapsKeldserviceInterface;
class QDBusServiceWatcher;
class SyncDaemonProxy;

namespace orva {
namespace keldra {
namespace internal {

class DbusEventHandler : public QObject, public orva::internal::RefCountable {
  Q_OBJECT

 public:
  enum SyncMessageType { START_SYNC = 0, CANCEL_SYNC = 1, PROFILE_CHANGED = 2 };

  // The calling thread's hub with one more count; created (without a parent object) on
  // the thread's first call. Throws std::bad_alloc.
  static orva::SharedPointer<DbusEventHandler> instance();

  ~DbusEventHandler() override;

  // Makes the relay and daemon proxies on the session bus (once; later calls only log)
  // and wires the hub's request signals to them. Does not need the bus, the relay or the
  // daemon to be there. Throws UmboException 1 when a proxy cannot be made.
  void init();

  // Registers |observer| (not owned; unregister it before destroying it). The first
  // observer connects the relay's signals. A null observer, one already registered, or
  // a hub without init() changes nothing.
  void add_repository_event_observer(RepositoryObserver* observer);
  // Unregisters |observer|, keeping the order of the others; removing the last one
  // disconnects the relay's signals and ends holding.
  void remove_repository_event_observer(RepositoryObserver* observer);

  // Events kept for the relay while it is away, at most this many.
  static constexpr size_t kMaxKeptEvents = 32768;

  // Send the process's events to the relay without waiting; an empty list sends nothing.
  // Never throw: they return 0, ORVA_ERROR_UNKNOWN when init() never ran ("Keldservice
  // interface is not available", also for an empty list), ORVA_ERROR_INVALID_PARAMETERS
  // for a list too long for one batch, ORVA_ERROR_OUT_OF_MEMORY. |events| is not changed.
  orva::ErrorCode send_repository_event(const RepositoryEvent& event);
  orva::ErrorCode send_repository_events(const std::vector<RepositoryEvent>& events);

  // How many events wait for the relay to come back (see above).
  size_t kept_relay_events() const { return m_kept.size(); }

  // Hands |events| to every observer in order of registration and empties it; an
  // observer unregistered by an earlier one's call is skipped. Without an observer the
  // list is left as it is; an empty list calls nobody.
  void send_events_to_observers(std::vector<RepositoryEvent>& events);

  // START_SYNC (reports 0x6001 with progress 0.05 to the listener first, then calls
  // startSync; when that call fails, because the daemon's name has no owner or the daemon
  // does not answer, or the daemon answers false, the listener still set for that start
  // gets the final report (ORVA_ERROR_UNKNOWN, last progress) from the event loop, since
  // no status report will come), CANCEL_SYNC (abortSync) or PROFILE_CHANGED
  // (updateProfile), each with the profile name "maps-keldra"; other values are logged
  // and ignored. Throws UmboException 1 "Msyncd interface is not available" when init()
  // never ran.
  // A start whose listener is unset, replaced or destroyed during that first report
  // (the sync was cancelled from it) does not call startSync: no one would follow or
  // abort that sync.
  void send_sync_message(SyncMessageType type);

  // Makes |listener| (not owned; may be null: reports are then only logged) the receiver
  // of the daemon's reports; the same live listener again changes nothing. Throws
  // UmboException 1 "Msyncd interface is not available!" when init() never ran; the
  // listener then stays unset.
  void set_sync_event_listener(SyncMlHandler::SyncMlListener* listener);
  // Stops the daemon's reports; no effect when none is set.
  void unset_sync_event_listener();
  // The same, only when |listener| is the one set (its owner is going away).
  void unset_sync_event_listener(const SyncMlHandler::SyncMlListener* listener);

  // The daemon's detail code of a failed sync as the library's result: 402 login
  // failed, 501..506 network problem, 301 success, anything else 1.
  orva::ErrorCode convertSyncMLErrorCodeToKeldraError(int details) const;

 Q_SIGNALS:
  // The relay is called directly, so that the reply can be watched; these two are not
  // connected to it and not emitted.
  void db_message(int type, int id);
  void db_messages(QByteArray messages);
  // Each only issues a D-Bus call: init() connects it to the proxy method.
  void abort_sync(QString aProfileName);
  void profile_changed(QString aProfileName);
  // The daemon's startSync is called directly, so that its reply can be watched; this
  // one is not connected to it and not emitted.
  void start_sync(QString aProfileName);

 public Q_SLOTS:
  // The daemon's syncStatus, transferProgress and resultsAvailable.
  void handle_sync_status(QString profileName, int status, QString message, int errorCode);
  // The relay's DbChanged and DbChanges.
  void handle_db_changed_event(int type, int id);
  void handle_db_changed_events(QByteArray messages);
  void slotTransferProgress(QString aProfileName, int aTransferDatabase, int aTransferType,
                            QString aMimeType, int aCommittedItems);
  void slotResultsAvailable(QString aProfileName, QString aResultsAsXml);

 private:
  DbusEventHandler();
  DbusEventHandler(const DbusEventHandler&) = delete;
  DbusEventHandler& operator=(const DbusEventHandler&) = delete;

  void connect_relay_signals();
  void disconnect_relay_signals();
  // Sends |events| (each with its sending number, in order) in one call and watches its
  // reply. Throws std::bad_alloc.
  typedef std::vector<std::pair<uint64_t, RepositoryEvent>> NumberedEvents;
  void call_relay(const NumberedEvents& events);
  // Keeps events for the relay's return, ordered by their sending numbers.
  void keep_for_relay(const NumberedEvents& events);
  void relay_call_failed(const NumberedEvents& events, uint64_t presence, const QString& error);
  // After a failed call: sends the kept events again when the relay's name still has an
  // owner and has not changed hands since |presence| (asks the bus without waiting).
  void ask_whether_relay_present(uint64_t presence);
  // The relay's name was taken or given up.
  void relay_registered();
  void relay_unregistered();
  // Sends the kept events, when there are any and the relay is not known to be away.
  void resend_kept();
  // The sync listener when it is set and still exists; a listener found destroyed is
  // unset on the way. Null otherwise.
  SyncMlHandler::SyncMlListener* live_sync_listener();
  // Calls the daemon's startSync and watches its reply.
  void start_daemon_sync(const QString& profile);
  // The startSync call made for |listener| (at listener change count |changes|) failed
  // or was refused.
  void daemon_start_failed(SyncMlHandler::SyncMlListener* listener, uint64_t changes);
  // Reports a final status: unsets the listener first, so that the listener may set
  // itself (or another) again from the call.
  void report_final(SyncMlHandler::SyncMlListener* listener, orva::ErrorCode status,
                    float progress);

  orva::SharedPointer<LoggerUmbo> m_logger;
  ComOstraMapsKeldserviceInterface* m_relay;
  SyncDaemonProxy* m_daemon;
  std::vector<RepositoryObserver*> m_observers;
  std::vector<RepositoryEvent> m_pending;
  // Relay delivery: the events kept for the relay by their sending number, the next
  // number, whether the relay is known to be away, how often its name changed hands.
  std::map<uint64_t, RepositoryEvent> m_kept;
  uint64_t m_next_event;
  bool m_relay_away;
  uint64_t m_relay_presence;
  uint64_t m_dropped;
  QDBusServiceWatcher* m_relay_watcher;
  SyncMlHandler::SyncMlListener* m_sync_listener;
  std::weak_ptr<const void> m_sync_listener_alive;
  // Counts the settings and unsettings of the sync listener.
  uint64_t m_sync_listener_changes;
  bool m_daemon_signals_connected;
  float m_progress;
  bool m_holding;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
