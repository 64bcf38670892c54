#include "adaptation_umbo/storage/DataAdapterUmbo.h"

#include "adaptation_umbo/events/DbusEventHandler.h"
#include "adaptation_umbo/storage/RepositoryUmbo.h"
#include "adaptation_umbo/base/Settings.h"
#include "adaptation_umbo/syncml/SyncAdapterUmbo.h"
#include "adaptation_umbo/database/Database.h"

#include <keldra/Invariant.h>

#include <new>
#include <string>

namespace orva {
namespace keldra {
namespace internal {

namespace {
const LoggerUmbo::MsgType kTrace = LoggerUmbo::MSG_TRACE;
void trace(const char* text) { LoggerUmbo::log(text, kTrace); }
// A log line that may not fail the caller (a line that finds no memory is not written).
template <class... Args>
void log_quietly(const char* format, Args... args) {
  try {
    LoggerUmbo::logf(kTrace, format, args...);
  } catch (...) {
  }
}
}  // namespace

DataAdapterUmbo::DataAdapterUmbo()
    : m_database(nullptr),
      m_listener(nullptr),
      m_backend(DEFAULT),
      m_in_sync(false),
      m_transaction_start(0) {
  trace("DataAdapterUmbo::DataAdapterUmbo");
  try {
    Database* database = new Database();
    m_database = database;
    m_dbus = DbusEventHandler::instance();
    m_dbus->init();
    m_settings = Settings::instance();
  } catch (...) {
    trace("DataAdapterUmbo::DataAdapterUmbo: failed to allocate memory for database");
  }
}

DataAdapterUmbo::~DataAdapterUmbo() {
  trace("DataAdapterUmbo::~DataAdapterUmbo()");
  unset_event_listener();
  delete m_database;
  m_database = nullptr;
  m_settings.release();
  m_dbus.release();
}

void DataAdapterUmbo::init(ProgressHandler& handler) {
  trace("DataAdapterUmbo::Init");
  if (!m_database) {
    handler.handle_progress(0.0f, ORVA_ERROR_UNKNOWN);
    return;
  }
  try {
    m_database->init(&handler);
  } catch (...) {
    handler.handle_progress(0.0f, ORVA_ERROR_UNKNOWN);
  }
}

orva::SharedPointer<Repository> DataAdapterUmbo::repository() {
  if (!m_database) return orva::SharedPointer<Repository>();
  try {
    return orva::SharedPointer<Repository>(
        new RepositoryUmbo(orva::SharedPointer<DataAdapterUmbo>(this)));
  } catch (...) {
    trace("DataAdapterUmbo::repository: failed");
    return orva::SharedPointer<Repository>();
  }
}

orva::SharedPointer<SyncAdapter> DataAdapterUmbo::sync_adapter() {
  if (!m_database) return orva::SharedPointer<SyncAdapter>();
  try {
    orva::SharedPointer<DataAdapterUmbo> self(this);
    return orva::SharedPointer<SyncAdapter>(new SyncAdapterUmbo(self));
  } catch (...) {
    trace("DataAdapterUmbo::sync_adapter: failed");
    return orva::SharedPointer<SyncAdapter>();
  }
}

void DataAdapterUmbo::set_event_listener(RepositoryObserver& observer) {
  unset_event_listener();
  KELDRA_INVARIANT(m_dbus.is_valid(), "mDBus.is_valid()",
                   "src/engine/adaptation_umbo/DataAdapter_Umbo", 105);
  m_dbus->add_repository_event_observer(&observer);
  m_listener = &observer;
}

void DataAdapterUmbo::unset_event_listener() {
  if (m_dbus.is_valid()) m_dbus->remove_repository_event_observer(m_listener);
  m_listener = nullptr;
}

orva::ustring DataAdapterUmbo::get_db_name() const {
  std::string name(".KeldraDb_");
  if (m_database) name += m_database->uid();
  return orva::ustring(name);
}

bool DataAdapterUmbo::in_transaction() const {
  return m_database && m_database->is_in_transaction();
}

void DataAdapterUmbo::dispatch(const RepositoryEvent& event) {
  // Called after a committed write: nothing here may turn that write into a failure.
  log_quietly("DataAdapterUmbo::dispatch ++, mInSync=%d", m_in_sync ? 1 : 0);
  if (event.type != RepositoryEvent::NONE) {
    try {
      m_events.push_back(event);
    } catch (...) {
      log_quietly("ERROR: DataAdapterUmbo::dispatch: no room, event %d of %d lost", event.type,
                  event.local_id);
    }
  }
  if (!in_transaction() && !m_events.empty() && !m_in_sync) {
    log_quietly("DataAdapterUmbo::dispatch: Sending all repository events, mEvents.size()=%d",
                static_cast<int>(m_events.size()));
    orva::ErrorCode sent = ORVA_ERROR_UNKNOWN;
    try {
      if (m_dbus.is_valid()) sent = m_dbus->send_repository_events(m_events);
    } catch (const std::bad_alloc&) {
      sent = ORVA_ERROR_OUT_OF_MEMORY;
    } catch (...) {
      sent = ORVA_ERROR_UNKNOWN;
    }
    if (sent == ORVA_ERROR_NONE) {
      m_events.clear();
      m_transaction_start = 0;
    } else {
      // The write itself is done; its announcement waits for the next send.
      log_quietly("DataAdapterUmbo::dispatch: sending failed (%d), events kept", sent);
    }
  }
  log_quietly("DataAdapterUmbo::dispatch --");
}

void DataAdapterUmbo::flush(bool discard) {
  if (!discard) {
    dispatch(RepositoryEvent());
    return;
  }
  m_events.clear();
  m_transaction_start = 0;
}

void DataAdapterUmbo::discard_transaction_events() {
  if (m_transaction_start < m_events.size()) {
    m_events.erase(m_events.begin() + static_cast<std::ptrdiff_t>(m_transaction_start),
                   m_events.end());
  }
  m_transaction_start = m_events.size();
}

orva::ErrorCode DataAdapterUmbo::select_backend(int32_t backend) {
  trace("DataAdapterUmbo::select_backend");
  if (backend == DEFAULT) {
    trace("SyncService::DEFAULT selected");
  } else if (backend == CHINA) {
    trace("SyncService::CHINA selected");
  } else {
    return ORVA_ERROR_INVALID_PARAMETERS;
  }
  m_backend = backend;
  return ORVA_ERROR_NONE;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
