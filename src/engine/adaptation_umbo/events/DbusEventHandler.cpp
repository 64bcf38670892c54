#include "adaptation_umbo/events/DbusEventHandler.h"

#include "adaptation_umbo/events/ComOstraMapsKeldserviceInterface.h"
#include "adaptation_umbo/events/SyncDaemonProxy.h"
#include "adaptation_umbo/base/UmboException.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusPendingReply>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDataStream>
#include <QTimer>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>

namespace orva {
namespace keldra {
namespace internal {

namespace {

// The thread's hub; holds no count (the hub's destructor clears it).
thread_local DbusEventHandler* t_handler = nullptr;

const char* const kRelayService = "com.ostra.maps.keldservice";
const char* const kRelayPath = "/com/ostra/maps/keldservice";
const char* const kDaemonService = "com.meego.msyncd";
const char* const kDaemonPath = "/synchronizer";
const char* const kProfileName = "maps-keldra";

const char* const kNoRelay = "Keldservice interface is not available";
// Wait before calling again a relay that is on the bus but failed a call.
const int kRelayRetryMs = 500;
const char* const kNoDaemon = "Msyncd interface is not available";
const char* const kNoDaemonForListener = "Msyncd interface is not available!";

// The daemon's status values of syncStatus.
enum DaemonStatus {
  SYNC_QUEUED = 0,
  SYNC_STARTED = 1,
  SYNC_PROGRESSING = 2,
  SYNC_ERROR = 3,
  SYNC_DONE = 4,
  SYNC_ABORTED = 5
};

unsigned int address_word(const void* p) {
  return static_cast<unsigned int>(reinterpret_cast<uintptr_t>(p));
}

void trace(const char* text) { LoggerUmbo::log(text, LoggerUmbo::MSG_TRACE); }

// The batch of several events: N = twice their count, then type and local id of each, as
// big-endian 32-bit integers.
template <class Numbered>
QByteArray batch_of(const Numbered& events) {
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                   "DbusEventHandler::send_repository_events, size of the events vector = %d",
                   static_cast<int>(events.size()));
  QByteArray array;
  array.reserve(static_cast<int>(4 + 8 * events.size()));
  QDataStream out(&array, QIODevice::WriteOnly);
  const qint32 count = static_cast<qint32>(2 * events.size());
  out << count;
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                   "DbusEventHandler::send_repository_events, amount of objects to writen into "
                   "array = %d",
                   count);
  for (const auto& numbered : events) {
    out << static_cast<qint32>(numbered.second.type)
        << static_cast<qint32>(numbered.second.local_id);
  }
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                   "DbusEventHandler::send_repository_events, emiting db_messages, size = %d",
                   array.size());
  return array;
}

bool is_our_profile(const QString& name) {
  return name.compare(QLatin1String(kProfileName), Qt::CaseInsensitive) == 0;
}

}  // namespace

orva::SharedPointer<DbusEventHandler> DbusEventHandler::instance() {
  trace("DbusEventHandler::instance()");
  if (!t_handler) {
    trace("DbusEventHandler::instance() new");
    t_handler = new DbusEventHandler;
  }
  return orva::SharedPointer<DbusEventHandler>(t_handler);
}

DbusEventHandler::DbusEventHandler()
    : QObject(nullptr),
      m_logger(LoggerUmbo::instance()),
      m_relay(nullptr),
      m_daemon(nullptr),
      m_next_event(0),
      m_relay_away(false),
      m_relay_presence(0),
      m_dropped(0),
      m_relay_watcher(nullptr),
      m_sync_listener(nullptr),
      m_sync_listener_changes(0),
      m_daemon_signals_connected(false),
      m_progress(0.0f),
      m_holding(false) {
  trace("DbusEventHandler::DbusEventHandler()");
}

DbusEventHandler::~DbusEventHandler() {
  trace("DbusEventHandler::~DbusEventHandler()");
  QObject::disconnect(this, nullptr, nullptr, nullptr);
  // The proxies' signals end in this hub's slots; QObject's destructor drops those
  // connections, and deleting the proxies removes their match rules from the bus.
  delete m_relay;
  m_relay = nullptr;
  delete m_daemon;
  m_daemon = nullptr;
  if (t_handler == this) t_handler = nullptr;
  m_logger.release();
}

void DbusEventHandler::init() {
  trace("DbusEventHandler::init()");
  if (m_relay || m_daemon) {
    trace("DbusEventHandler::init(): already initiated!");
    return;
  }
  const QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    // Nothing else would tell: calls to the relay fail unanswered and its signals
    // never come, so no observer hears a change, not even of this process's writes.
    LoggerUmbo::logf(LoggerUmbo::MSG_WARNING,
                     "DbusEventHandler::init(): keldservice cannot be reached, no session bus "
                     "(%s): observers will hear no change events",
                     bus.lastError().message().toUtf8().constData());
  }
  try {
    m_relay = new ComOstraMapsKeldserviceInterface(QLatin1String(kRelayService),
                                                   QLatin1String(kRelayPath), bus);
  } catch (const std::bad_alloc&) {
    m_relay = nullptr;
  }
  if (!m_relay) {
    trace("Failed to connect to keldservice DBUS interface!");
    throw UmboException(ORVA_ERROR_UNKNOWN, "new ComOstraMapsKeldserviceInterface failed");
  }
  try {
    m_daemon = new SyncDaemonProxy(QLatin1String(kDaemonService), QLatin1String(kDaemonPath), bus);
  } catch (const std::bad_alloc&) {
    m_daemon = nullptr;
  }
  if (!m_daemon) {
    trace("Failed to connect to msyncd DBUS interface!");
    throw UmboException(ORVA_ERROR_UNKNOWN, "new SyncDaemonProxy failed");
  }
  connect(this, &DbusEventHandler::abort_sync, m_daemon, &SyncDaemonProxy::abortSync);
  connect(this, &DbusEventHandler::profile_changed, m_daemon, &SyncDaemonProxy::updateProfile);
  // The relay's name leaving and coming back: events are kept meanwhile and sent on
  // its return. Watching needs no answer from the bus.
  try {
    m_relay_watcher = new QDBusServiceWatcher(
        QLatin1String(kRelayService), bus,
        QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration,
        this);
    connect(m_relay_watcher, &QDBusServiceWatcher::serviceRegistered, this,
            [this](const QString&) { relay_registered(); });
    connect(m_relay_watcher, &QDBusServiceWatcher::serviceUnregistered, this,
            [this](const QString&) { relay_unregistered(); });
  } catch (const std::bad_alloc&) {
    // Without the watcher, failed calls still keep their events; they go again while the
    // relay's name has an owner, but a relay that left is not noticed coming back.
    trace("DbusEventHandler::init(): the relay's name is not watched");
  }
}

// ---- Relay side ----

void DbusEventHandler::connect_relay_signals() {
  connect(m_relay, &ComOstraMapsKeldserviceInterface::DbChanged, this,
          &DbusEventHandler::handle_db_changed_event);
  connect(m_relay, &ComOstraMapsKeldserviceInterface::DbChanges, this,
          &DbusEventHandler::handle_db_changed_events);
}

void DbusEventHandler::disconnect_relay_signals() {
  disconnect(m_relay, &ComOstraMapsKeldserviceInterface::DbChanged, this,
             &DbusEventHandler::handle_db_changed_event);
  disconnect(m_relay, &ComOstraMapsKeldserviceInterface::DbChanges, this,
             &DbusEventHandler::handle_db_changed_events);
}

void DbusEventHandler::add_repository_event_observer(RepositoryObserver* observer) {
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "DbusEventHandler::add_repository_event_observer: 0x%08X",
                   address_word(observer));
  if (!observer) {
    trace("DbusEventHandler::add_repository_event_observer: WARNING: observer is null!");
    return;
  }
  if (!m_relay) {
    trace(
        "DbusEventHandler::add_repository_event_observer: WARNING: Keldservice interface is "
        "not available!");
    return;
  }
  if (m_observers.empty()) {
    trace("DbusEventHandler::add_repository_event_observer: connect to keldra service interface!");
    connect_relay_signals();
  }
  if (std::find(m_observers.begin(), m_observers.end(), observer) != m_observers.end()) {
    LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                     "DbusEventHandler::add_repository_event_observer: observer 0x%08X has "
                     "already been set",
                     address_word(observer));
    return;
  }
  m_observers.push_back(observer);
}

void DbusEventHandler::remove_repository_event_observer(RepositoryObserver* observer) {
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                   "DbusEventHandler::remove_repository_event_observer: 0x%08X",
                   address_word(observer));
  auto it = std::find(m_observers.begin(), m_observers.end(), observer);
  if (!observer || it == m_observers.end()) return;
  m_observers.erase(it);
  if (m_observers.empty()) {
    if (m_relay) disconnect_relay_signals();
    // Without an observer the relay's signals no longer arrive, so the SYNC_STOP that
    // would end holding never comes: end it here, as a SYNC_STOP would. What is pending
    // stays for the next delivery, as with any delivery that finds no observer.
    m_holding = false;
  }
}

orva::ErrorCode DbusEventHandler::send_repository_event(const RepositoryEvent& event) {
  trace("DbusEventHandler::send_repository_event ++");
  if (!m_relay) {
    trace(kNoRelay);
    trace("DbusEventHandler::send_repository_event --");
    return ORVA_ERROR_UNKNOWN;
  }
  trace("DbusEventHandler::send_repository_event, emiting db_message signal");
  const orva::ErrorCode result = send_repository_events(std::vector<RepositoryEvent>(1, event));
  trace("DbusEventHandler::send_repository_event --");
  return result;
}

orva::ErrorCode DbusEventHandler::send_repository_events(
    const std::vector<RepositoryEvent>& events) {
  trace("DbusEventHandler::send_repository_events");
  if (!m_relay) {
    trace(kNoRelay);
    return ORVA_ERROR_UNKNOWN;
  }
  if (events.empty()) return ORVA_ERROR_NONE;
  // N is a signed 32-bit count and the array's length an int.
  if (events.size() > static_cast<size_t>((std::numeric_limits<int>::max() - 4) / 8)) {
    return ORVA_ERROR_INVALID_PARAMETERS;
  }
  try {
    NumberedEvents numbered;
    numbered.reserve(events.size());
    for (const RepositoryEvent& event : events) numbered.emplace_back(m_next_event++, event);
    if (m_relay_away || !m_kept.empty()) {
      // Behind what already waits, so that the relay hears everything in order.
      keep_for_relay(numbered);
      resend_kept();
    } else {
      call_relay(numbered);
    }
  } catch (const std::bad_alloc&) {
    return ORVA_ERROR_OUT_OF_MEMORY;
  }
  return ORVA_ERROR_NONE;
}

void DbusEventHandler::call_relay(const NumberedEvents& events) {
  QDBusPendingCall call =
      events.size() == 1
          ? QDBusPendingCall(m_relay->SendMessage(events[0].second.type, events[0].second.local_id))
          : QDBusPendingCall(m_relay->SendMessages(batch_of(events)));
  // The reply (also one that came at once, such as for a lost bus connection) arrives
  // from the event loop; the sender never waits for it.
  const uint64_t presence = m_relay_presence;
  QDBusPendingCallWatcher* watcher = new QDBusPendingCallWatcher(call, this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this, events, presence](QDBusPendingCallWatcher* finished) {
            finished->deleteLater();
            if (!finished->isError()) return;
            try {
              relay_call_failed(events, presence, finished->error().name());
            } catch (...) {
              trace("DbusEventHandler: events of a failed relay call lost (no memory)");
            }
          });
}

void DbusEventHandler::keep_for_relay(const NumberedEvents& events) {
  for (const auto& numbered : events) m_kept.insert(numbered);
  size_t dropped = 0;
  while (m_kept.size() > kMaxKeptEvents) {
    m_kept.erase(m_kept.begin());
    ++dropped;
  }
  if (dropped) {
    m_dropped += dropped;
    LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                     "WARNING: DbusEventHandler: relay away, %llu oldest events dropped so far",
                     static_cast<unsigned long long>(m_dropped));
  }
}

void DbusEventHandler::relay_call_failed(const NumberedEvents& events, uint64_t presence,
                                         const QString& error) {
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                   "DbusEventHandler: relay call failed (%s), %d events kept for its return",
                   error.toUtf8().constData(), static_cast<int>(events.size()));
  keep_for_relay(events);
  if (presence == m_relay_presence) {
    // The relay the call went to is gone, there never was one, or it failed this call
    // (a timeout, say) while still on the bus. Hold what comes meanwhile and ask the bus
    // whether its name has an owner: if it has, send again; if not, wait for its name.
    m_relay_away = true;
    ask_whether_relay_present(presence);
  } else {
    // Its name changed hands since the call was made: send to the new owner.
    resend_kept();
  }
}

void DbusEventHandler::ask_whether_relay_present(uint64_t presence) {
  QDBusConnectionInterface* bus = m_relay->connection().interface();
  if (!bus) return;
  QDBusPendingCall call = bus->asyncCall(QStringLiteral("NameHasOwner"),
                                         QString::fromLatin1(kRelayService));
  QDBusPendingCallWatcher* watcher = new QDBusPendingCallWatcher(call, this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this, presence](QDBusPendingCallWatcher* finished) {
            finished->deleteLater();
            QDBusPendingReply<bool> owned = *finished;
            // A change of hands meanwhile is handled by the name watcher.
            if (owned.isError() || !owned.value() || presence != m_relay_presence) return;
            // Present but failing: try again a little later, so that a relay that
            // refuses every call is not called in a tight loop.
            QTimer::singleShot(kRelayRetryMs, this, [this, presence] {
              if (presence != m_relay_presence) return;
              m_relay_away = false;
              try {
                resend_kept();
              } catch (...) {
                trace("DbusEventHandler: kept events not sent yet (no memory)");
              }
            });
          });
}

void DbusEventHandler::relay_registered() {
  trace("DbusEventHandler: the relay is on the bus");
  ++m_relay_presence;
  m_relay_away = false;
  try {
    resend_kept();
  } catch (...) {
    trace("DbusEventHandler: kept events not sent yet (no memory)");
  }
}

void DbusEventHandler::relay_unregistered() {
  trace("DbusEventHandler: the relay left the bus");
  ++m_relay_presence;
  m_relay_away = true;
}

void DbusEventHandler::resend_kept() {
  if (m_relay_away || m_kept.empty() || !m_relay) return;
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "DbusEventHandler: sending %d kept events",
                   static_cast<int>(m_kept.size()));
  const NumberedEvents events(m_kept.begin(), m_kept.end());
  call_relay(events);
  m_kept.clear();
}

void DbusEventHandler::send_events_to_observers(std::vector<RepositoryEvent>& events) {
  trace("DbusEventHandler::send_events_to_observers ++");
  if (m_observers.empty()) {
    trace("DbusEventHandler::send_events_to_observers: no listener");
    trace("DbusEventHandler::send_events_to_observers --");
    return;
  }
  if (!events.empty()) {
    // The observers get a list of their own: one that runs the event loop in its call
    // may bring more events into |events|, which must neither change what the others
    // see nor be cleared with this delivery.
    std::vector<RepositoryEvent> batch;
    batch.swap(events);
    // An observer may drop the last hold of this hub from its call.
    orva::SharedPointer<DbusEventHandler> self(this);
    // Observers may unregister themselves or others from their calls: each observer
    // registered now is called once unless it was unregistered before its turn (it may
    // be gone), and removing one never makes the next one miss the batch.
    const std::vector<RepositoryObserver*> observers = m_observers;
    for (RepositoryObserver* observer : observers) {
      if (std::find(m_observers.begin(), m_observers.end(), observer) == m_observers.end()) {
        continue;
      }
      observer->handle_repository_event(batch);
    }
  }
  trace("DbusEventHandler::send_events_to_observers --");
}

void DbusEventHandler::handle_db_changed_event(int type, int id) {
  trace("DbusEventHandler::handle_db_changed_event ++");
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                   "DbusEventHandler::handle_db_changed_event, type %d, id %d", type, id);
  orva::SharedPointer<DbusEventHandler> self(this);
  // Type 0 is no event; anyone on the bus can send it through the relay.
  if (type != RepositoryEvent::NONE) m_pending.push_back(RepositoryEvent(type, id));
  if (type == RepositoryEvent::SYNC_STOP) {
    trace("DbusEventHandler::handle_db_changed_event, sync stopped");
    m_holding = false;
    send_events_to_observers(m_pending);
  } else if (!m_holding) {
    if (type == RepositoryEvent::SYNC_START) {
      trace("DbusEventHandler::handle_db_changed_event, sync started");
      m_holding = true;
    }
    send_events_to_observers(m_pending);
  }
  trace("DbusEventHandler::handle_db_changed_event --");
}

void DbusEventHandler::handle_db_changed_events(QByteArray messages) {
  trace("DbusEventHandler::handle_db_changed_events ++");
  orva::SharedPointer<DbusEventHandler> self(this);
  QDataStream in(messages);
  qint32 announced = 0;
  if (messages.size() >= 4) in >> announced;
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                   "DbusEventHandler::handle_db_changed_events, amount of int variables in byte "
                   "array: %d",
                   announced);
  // The count comes from whoever sent the batch through the relay: read no more
  // integers than the array holds, and take nothing from the count but a bound.
  const qint64 available = messages.size() >= 4 ? (messages.size() - 4) / 4 : 0;
  const qint64 count = announced > 0 ? std::min<qint64>(announced, available) : 0;
  // The events take no more room than the data that carries them.
  m_pending.reserve(m_pending.size() + static_cast<size_t>(count / 2));
  const bool tracing = m_logger->isTypeAllowed(LoggerUmbo::MSG_TRACE);
  qint64 read = 0;
  while (read < count) {
    qint32 type = 0;
    in >> type;
    ++read;
    if (read == count) {
      trace("DbusEventHandler::handle_db_changed_events, could not get id, WRONG PARAMETER!");
      return;
    }
    qint32 id = 0;
    in >> id;
    ++read;
    if (tracing) {
      LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                       "DbusEventHandler::handle_db_changed_events, type %d, id %d", type, id);
    }
    if (type == RepositoryEvent::NONE) continue;
    m_pending.push_back(RepositoryEvent(type, id));
    if (type == RepositoryEvent::SYNC_START) {
      trace("DbusEventHandler::handle_db_changed_events, sync started");
      std::vector<RepositoryEvent> taken;
      taken.swap(m_pending);
      send_events_to_observers(taken);
      m_holding = true;
    } else if (type == RepositoryEvent::SYNC_STOP) {
      trace("DbusEventHandler::handle_db_changed_events, sync stopped");
      m_holding = false;
    }
  }
  if (!m_holding) send_events_to_observers(m_pending);
  trace("DbusEventHandler::handle_db_changed_events --");
}

// ---- Daemon side ----

void DbusEventHandler::send_sync_message(SyncMessageType type) {
  trace("DbusEventSender::send_sync_message");
  if (!m_daemon) {
    trace(kNoDaemon);
    throw UmboException(ORVA_ERROR_UNKNOWN, kNoDaemon);
  }
  const QString profile = QLatin1String(kProfileName);
  switch (type) {
    case START_SYNC: {
      trace("DbusEventHandler::START_SYNC");
      // The listener may drop the last hold of this hub from its call.
      orva::SharedPointer<DbusEventHandler> self(this);
      if (SyncMlHandler::SyncMlListener* listener = live_sync_listener()) {
        const uint64_t changes = m_sync_listener_changes;
        m_progress = 0.05f;
        listener->sync_event(ORVA_ERROR_KELDRA_IN_PROGRESS, m_progress);
        if (m_sync_listener_changes != changes || live_sync_listener() != listener) {
          trace("DbusEventHandler::START_SYNC: cancelled from its first report, not sent");
          break;
        }
      }
      start_daemon_sync(profile);
      break;
    }
    case CANCEL_SYNC:
      trace("DbusEventHandler::CANCEL_SYNC");
      emit abort_sync(profile);
      break;
    case PROFILE_CHANGED:
      trace("DbusEventHandler::PROFILE_CHANGED");
      emit profile_changed(profile);
      break;
    default:
      trace("DbusEventSender::send_sync_message: unknown message type");
      break;
  }
}

void DbusEventHandler::start_daemon_sync(const QString& profile) {
  // Called directly, so that the reply can be watched: a daemon that cannot be reached,
  // or refuses the start, sends no status report, and the sync would wait for one for
  // ever.
  QDBusPendingCall call = m_daemon->startSync(profile);
  SyncMlHandler::SyncMlListener* const listener = m_sync_listener;
  const uint64_t changes = m_sync_listener_changes;
  QDBusPendingCallWatcher* watcher = new QDBusPendingCallWatcher(call, this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this, listener, changes](QDBusPendingCallWatcher* finished) {
            finished->deleteLater();
            if (finished->isError()) {
              const QDBusError error = finished->error();
              LoggerUmbo::logf(
                  LoggerUmbo::MSG_TRACE,
                  "DbusEventHandler::START_SYNC: the sync daemon cannot be reached (%s: %s)",
                  error.name().toUtf8().constData(), error.message().toUtf8().constData());
              daemon_start_failed(listener, changes);
              return;
            }
            // A reply that is not one boolean tells nothing: the sync goes on as before.
            const QDBusPendingReply<bool> reply = *finished;
            if (reply.isValid() && !reply.value()) {
              trace("DbusEventHandler::START_SYNC: the sync daemon refused the start");
              daemon_start_failed(listener, changes);
            }
          });
}

void DbusEventHandler::daemon_start_failed(SyncMlHandler::SyncMlListener* listener,
                                           uint64_t changes) {
  // Only the sync this start was for ends: a listener set or unset since then follows
  // another sync, or none.
  if (!listener || m_sync_listener_changes != changes || live_sync_listener() != listener) {
    return;
  }
  report_final(listener, ORVA_ERROR_UNKNOWN, m_progress);
}

void DbusEventHandler::set_sync_event_listener(SyncMlHandler::SyncMlListener* listener) {
  if (listener == m_sync_listener && (!listener || !m_sync_listener_alive.expired())) return;
  unset_sync_event_listener();
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "DbusEventHandler::set_sync_event_listener: 0x%08X",
                   address_word(listener));
  if (!m_daemon) {
    trace(kNoDaemonForListener);
    throw UmboException(ORVA_ERROR_UNKNOWN, kNoDaemonForListener);
  }
  // Connected once, whatever listener (also none) was set before: a second connection
  // would report everything twice.
  if (!m_daemon_signals_connected) {
    connect(m_daemon, &SyncDaemonProxy::syncStatus, this, &DbusEventHandler::handle_sync_status);
    connect(m_daemon, &SyncDaemonProxy::transferProgress, this,
            &DbusEventHandler::slotTransferProgress);
    connect(m_daemon, &SyncDaemonProxy::resultsAvailable, this,
            &DbusEventHandler::slotResultsAvailable);
    m_daemon_signals_connected = true;
  }
  m_sync_listener = listener;
  m_sync_listener_alive = listener ? listener->alive() : std::weak_ptr<const void>();
  ++m_sync_listener_changes;
}

void DbusEventHandler::unset_sync_event_listener(const SyncMlHandler::SyncMlListener* listener) {
  if (listener && listener == m_sync_listener) unset_sync_event_listener();
}

void DbusEventHandler::unset_sync_event_listener() {
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "DbusEventHandler::unset_sync_event_listener: 0x%08X",
                   address_word(m_sync_listener));
  if (m_daemon_signals_connected && m_daemon) {
    disconnect(m_daemon, &SyncDaemonProxy::syncStatus, this, &DbusEventHandler::handle_sync_status);
    disconnect(m_daemon, &SyncDaemonProxy::transferProgress, this,
               &DbusEventHandler::slotTransferProgress);
    disconnect(m_daemon, &SyncDaemonProxy::resultsAvailable, this,
               &DbusEventHandler::slotResultsAvailable);
  }
  m_daemon_signals_connected = false;
  if (m_sync_listener) ++m_sync_listener_changes;
  m_sync_listener = nullptr;
  m_sync_listener_alive.reset();
}

SyncMlHandler::SyncMlListener* DbusEventHandler::live_sync_listener() {
  if (!m_sync_listener) return nullptr;
  if (m_sync_listener_alive.expired()) {
    unset_sync_event_listener();
    return nullptr;
  }
  return m_sync_listener;
}

void DbusEventHandler::report_final(SyncMlHandler::SyncMlListener* listener, orva::ErrorCode status,
                                    float progress) {
  unset_sync_event_listener();
  listener->sync_event(status, progress);
}

void DbusEventHandler::handle_sync_status(QString profileName, int status, QString message,
                                          int errorCode) {
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                   "DbusEventHandler::handle_sync_status in: status %d, details %d, profile '%s'",
                   status, errorCode, profileName.toUtf8().constData());
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "DbusEventHandler::handle_sync_status in: message '%s'",
                   message.toUtf8().constData());
  SyncMlHandler::SyncMlListener* listener = live_sync_listener();
  if (!listener || !is_our_profile(profileName)) {
    trace("DbusEventHandler::handle sync status, listener not present or wrong profile");
    return;
  }
  switch (status) {
    case SYNC_QUEUED:
      trace("DbusEventHandler::handle_sync_event: Sync Queued");
      m_progress = 0.1f;
      listener->sync_event(ORVA_ERROR_KELDRA_IN_PROGRESS, m_progress);
      break;
    case SYNC_STARTED:
      trace("DbusEventHandler::handle_sync_event: Sync Started");
      m_progress = 0.2f;
      listener->sync_event(ORVA_ERROR_KELDRA_IN_PROGRESS, m_progress);
      break;
    case SYNC_PROGRESSING:
      trace("DbusEventHandler::handle_sync_event: Sync Progressing");
      break;
    case SYNC_ERROR:
      trace("DbusEventHandler::handle_sync_event: Sync Error");
      report_final(listener, convertSyncMLErrorCodeToKeldraError(errorCode), m_progress);
      break;
    case SYNC_DONE:
      trace("DbusEventHandler::handle_sync_event: Sync Finished");
      m_progress = 1.0f;
      report_final(listener, ORVA_ERROR_NONE, m_progress);
      break;
    case SYNC_ABORTED: {
      trace("DbusEventHandler::handle_sync_event: Sync Aborted");
      const float last = m_progress;
      m_progress = 0.0f;
      report_final(listener, ORVA_ERROR_KELDRA_CANCELLED, last);
      break;
    }
    default:
      trace("DbusEventHandler::handle_sync_event: unknown event type!");
      break;
  }
}

void DbusEventHandler::slotTransferProgress(QString aProfileName, int aTransferDatabase,
                                            int aTransferType, QString aMimeType,
                                            int aCommittedItems) {
  trace("DbusEventHandler::slotTransferProgress ++");
  LoggerUmbo::log("ProfileName: " + aProfileName.toStdString(), LoggerUmbo::MSG_TRACE);
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "TransferDatabase: %d", aTransferDatabase);
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "TransferType: %d", aTransferType);
  LoggerUmbo::log("MimeType: " + aMimeType.toStdString(), LoggerUmbo::MSG_TRACE);
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "CommittedItems: %d", aCommittedItems);
  SyncMlHandler::SyncMlListener* listener = live_sync_listener();
  if (listener && is_our_profile(aProfileName)) {
    if (aTransferDatabase == 0) {
      m_progress = 0.8f;
    } else if (aTransferDatabase == 1) {
      m_progress = 0.5f;
    }
    listener->sync_event(ORVA_ERROR_KELDRA_IN_PROGRESS, m_progress);
  }
  trace("DbusEventHandler::slotTransferProgress --");
}

void DbusEventHandler::slotResultsAvailable(QString aProfileName, QString aResultsAsXml) {
  trace("DbusEventHandler::slotResultsAvailable");
  LoggerUmbo::log("ProfileName: " + aProfileName.toStdString(), LoggerUmbo::MSG_TRACE);
  LoggerUmbo::log("aResultsAsXml: " + aResultsAsXml.toStdString(), LoggerUmbo::MSG_TRACE);
}

orva::ErrorCode DbusEventHandler::convertSyncMLErrorCodeToKeldraError(int details) const {
  if (details == 402) return ORVA_ERROR_KELDRA_LOGIN_FAILED;
  if (details >= 501 && details <= 506) return ORVA_ERROR_KELDRA_NETWORK_PROBLEM;
  if (details == 301) return ORVA_ERROR_NONE;
  return ORVA_ERROR_UNKNOWN;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
