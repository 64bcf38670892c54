#include "adaptation_umbo/database/Database.h"

#include "adaptation_umbo/base/UmboException.h"
#include "adaptation_umbo/base/Utils.h"
#include "adaptation_umbo/database/BindableQuery.h"
#include "adaptation_umbo/database/DatabaseConnection.h"
#include "adaptation_umbo/database/GettableQuery.h"
#include "adaptation_umbo/database/QueryManager.h"
#include "adaptation_umbo/database/dbitems/DbText.h"

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <new>

namespace orva {
namespace keldra {
namespace internal {

namespace {

const LoggerUmbo::MsgType kTrace = LoggerUmbo::MSG_TRACE;

void trace(const char* text) { LoggerUmbo::log(text, kTrace); }

unsigned address_of(const void* p) { return static_cast<unsigned>(reinterpret_cast<uintptr_t>(p)); }

// Rolls back the level a runner opened unless disarmed: whatever leaves the work
// step, the connection is never left inside the runner's transaction.
class LevelGuard {
 public:
  explicit LevelGuard(Database& db) : m_db(&db) {}
  ~LevelGuard() {
    if (m_db) m_db->rollback_transaction();
  }
  void disarm() { m_db = nullptr; }

 private:
  Database* m_db;
};

}  // namespace

Database::Database()
    : m_connection(nullptr),
      m_logger(LoggerUmbo::instance()),
      m_idle_notifier(nullptr),
      m_query_manager(nullptr),
      m_dependency_query(-1),
      m_cycle_query(-1) {
  LoggerUmbo::logf(kTrace, "Database::Database() addr 0x%08X", address_of(this));
}

Database::~Database() {
  LoggerUmbo::logf(kTrace, "Database::~Database() addr 0x%08X", address_of(this));
  if (m_connection) {
    if (m_connection->is_in_transaction()) {
      trace("Database::~Database: WARNING: Pending transaction, rolling back!");
      while (m_connection->is_in_transaction()) m_connection->rollback_transaction();
    }
    delete m_connection;
    m_connection = nullptr;
  }
  m_idle_notifier.cancel();
  m_pending_reports.clear();
  m_pending_deletions.clear();
}

void Database::report(ProgressHandler* handler, float progress, orva::ErrorCode code) {
  if (handler) handler->handle_progress(progress, code);
}

void Database::init(ProgressHandler* handler) {
  trace("Database::init");
  if (!m_connection) {
    m_connection = new (std::nothrow) DatabaseConnection();
    if (!m_connection) {
      report(handler, 0.0f, ORVA_ERROR_UNKNOWN);
      return;
    }
    orva::ErrorCode failure = ORVA_ERROR_NONE;
    try {
      const std::string folder = get_home_dir() + ".cities";
      mkdir(folder);  // an existing folder is fine; open reports the rest
      if (!m_connection->open(folder + "/OstraMaps.db")) {
        trace("Database::init(): failed to open connection");
        failure = ORVA_ERROR_UNKNOWN;
      } else {
        m_query_manager = m_connection->get_query_manager();
        const char* current = std::setlocale(LC_ALL, nullptr);
        const std::string locale = current ? current : "";
        if (locale != m_connection->locale()) {
          rebuild_collate_key_cache();
          if (!m_connection->set_locale(locale)) {
            trace("WARNING Database::init(): the locale could not be stored");
          }
        }
      }
    } catch (UmboException& e) {
      LoggerUmbo::logf(kTrace, "ERROR: Database::init(): %s", e.what());
      failure = e.get_reason();
    } catch (std::bad_alloc&) {
      trace("ERROR: Database::init(): out of memory");
      failure = ORVA_ERROR_OUT_OF_MEMORY;
    }
    if (failure != ORVA_ERROR_NONE) {
      delete m_connection;
      m_connection = nullptr;
      m_query_manager = nullptr;
      report(handler, 0.0f, failure);
      return;
    }
  }
  if (handler) {
    // Each init keeps its own place in the queue, so a second init before the first
    // one's report does not take it away.
    m_pending_reports.push_back(handler);
    if (!m_idle_notifier.start(this, "init")) {
      trace("WARNING Database::init(): no event loop to report from, reporting now");
      notify();
    }
  }
}

bool Database::notify() {
  std::vector<ProgressHandler*> handlers;
  handlers.swap(m_pending_reports);
  for (ProgressHandler* handler : handlers) {
    if (m_connection) {
      handler->handle_progress(1.0f, ORVA_ERROR_NONE);
    } else {
      handler->handle_progress(0.0f, ORVA_ERROR_UNKNOWN);
    }
  }
  return false;
}

std::string Database::uid() {
  if (!m_connection) return std::string();
  try {
    return m_connection->uid();
  } catch (UmboException& e) {
    LoggerUmbo::logf(kTrace, "ERROR Database::uid(): (%d, %s)", e.get_reason(), e.what());
    return std::string();
  }
}

bool Database::is_in_transaction() const {
  return m_connection && m_connection->is_in_transaction();
}

orva::ErrorCode Database::begin_transaction(bool exclusive) {
  if (!m_connection) return ORVA_ERROR_UNKNOWN;
  try {
    m_connection->begin_transaction(exclusive, 0);
  } catch (UmboException& e) {
    LoggerUmbo::logf(kTrace, "Database::begin_transaction: catched exception(err %d, msg '%s')",
                     e.get_reason(), e.what());
    return e.get_reason();
  }
  return ORVA_ERROR_NONE;
}

orva::ErrorCode Database::commit_transaction() {
  if (!m_connection) return ORVA_ERROR_UNKNOWN;
  bool committed;
  try {
    committed = m_connection->commit_transaction();
  } catch (UmboException& e) {
    LoggerUmbo::logf(kTrace,
                     "Database::begin_transaction: catched exception(err %d, msg '%s'), automatic "
                     "rollback will be called",
                     e.get_reason(), e.what());
    m_connection->rollback_transaction();
    handle_deleting_files(true, false);
    return e.get_reason();
  }
  handle_deleting_files(false, committed);
  return ORVA_ERROR_NONE;
}

void Database::rollback_transaction() {
  if (!m_connection) return;
  m_connection->rollback_transaction();
  if (!m_connection->is_in_transaction()) handle_deleting_files(true, false);
}

orva::ErrorCode Database::execute_transaction(WorkStep step, void* record, bool write,
                                              int retries) {
  if (!m_connection) return ORVA_ERROR_UNKNOWN;
  try {
    m_connection->begin_transaction(write, retries);
  } catch (UmboException& e) {
    return e.get_reason();
  }
  LevelGuard guard(*this);
  try {
    (this->*step)(record);
    const bool committed = m_connection->commit_transaction();
    guard.disarm();
    if (!m_pending_deletions.empty()) handle_deleting_files(false, committed);
    return ORVA_ERROR_NONE;
  } catch (UmboException& e) {
    guard.disarm();
    const orva::ErrorCode code = e.get_reason();
    if (code == ORVA_ERROR_INVALID_PARAMETERS || code == ORVA_ERROR_NOT_FOUND) {
      if (commit_transaction() == ORVA_ERROR_NONE) {
        LoggerUmbo::logf(kTrace,
                         "Database::run_in_transaction: Non-severe exception caught (%d, %s): "
                         "committed",
                         code, e.what());
        return code;
      }
    } else {
      rollback_transaction();
      m_pending_deletions.clear();
    }
    LoggerUmbo::logf(kTrace, "Database::run_in_transaction: Exception caught (%d, %s): rolled back",
                     code, e.what());
    return code;
  } catch (std::bad_alloc&) {
    trace("Database::run_in_transaction: out of memory: rolled back");
    return ORVA_ERROR_OUT_OF_MEMORY;
  } catch (std::exception& e) {
    LoggerUmbo::logf(kTrace, "Database::run_in_transaction: Exception caught (%s): rolled back",
                     e.what());
    return ORVA_ERROR_UNKNOWN;
  }
}

void Database::handle_deleting_files(bool rolled_back, bool committed) {
  if (rolled_back) {
    m_pending_deletions.clear();
    return;
  }
  if (!committed) return;
  while (!m_pending_deletions.empty()) {
    const std::string path = m_pending_deletions.back();
    m_pending_deletions.pop_back();
    if (std::remove(path.c_str()) == 0) {
      LoggerUmbo::logf(kTrace, "Database::execute_transaction: File successfully deleted: %s",
                       path.c_str());
    } else {
      LoggerUmbo::logf(kTrace, "Database::execute_transaction: Error deleting file: %s",
                       path.c_str());
    }
  }
}

void Database::rebuild_collate_key_cache() {
  trace("Database::rebuild_collate_key_cache( ) ++");
  m_connection->begin_transaction(true, 0);
  try {
    std::vector<DbText> rows;
    GettableQuery* all =
        static_cast<GettableQuery*>(m_query_manager->get_known_query(SELECT_ALL_TEXTS));
    while (all->execute(0) == Query::ROW) {
      rows.push_back(DbText());
      rows.back().get_result(*all);
    }
    BindableQuery* update =
        static_cast<BindableQuery*>(m_query_manager->get_known_query(UPDATE_COLLATE_KEY));
    for (DbText& row : rows) {
      row.recalculate_collate_key();
      row.bind(*update);
      while (update->execute(0) != Query::DONE) {
      }
    }
    m_connection->commit_transaction();
  } catch (...) {
    m_connection->rollback_transaction();
    throw;
  }
  trace("Database::rebuild_collate_key_cache( ) --");
}

orva::ErrorCode Database::purge_removed_ids() {
  return execute_transaction(&Database::do_purge_removed_ids_proxy, nullptr, true, 0);
}

void Database::do_purge_removed_ids_proxy(void*) { do_purge_removed_ids(); }

orva::ErrorCode Database::purge_removed_ids(const std::vector<unsigned int>& local_ids) {
  if (local_ids.empty()) return ORVA_ERROR_NONE;
  std::vector<unsigned int> ids = local_ids;
  return execute_transaction(&Database::do_purge_listed_removed_ids_proxy, &ids, true, 0);
}

void Database::do_purge_listed_removed_ids_proxy(void* record) {
  const std::vector<unsigned int>& ids = *static_cast<std::vector<unsigned int>*>(record);
  static const QueryParameter kParams[] = {LOCAL_ID};
  const QueryIndex index =
      m_query_manager->new_query(1, kParams, 0, nullptr, "DELETE FROM removed WHERE local_id=?");
  BindableQuery* purge = static_cast<BindableQuery*>(m_query_manager->get_query(index));
  try {
    for (unsigned int id : ids) {
      purge->bind(LOCAL_ID, static_cast<int>(id));
      while (purge->execute(0) != Query::DONE) {
      }
    }
  } catch (...) {
    m_query_manager->release_query(index);
    throw;
  }
  m_query_manager->release_query(index);
}

void Database::do_purge_removed_ids() {
  Query* purge = m_query_manager->get_known_query(DELETE_REMOVED_IDS);
  while (purge->execute(0) != Query::DONE) {
  }
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
