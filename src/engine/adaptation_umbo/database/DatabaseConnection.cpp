#include "adaptation_umbo/database/DatabaseConnection.h"

#include "adaptation_umbo/base/UmboException.h"
#include "adaptation_umbo/base/Utils.h"
#include "adaptation_umbo/database/BindableQuery.h"
#include "adaptation_umbo/database/ErrorHandler.h"
#include "adaptation_umbo/database/GettableQuery.h"
#include "adaptation_umbo/database/QueryManager.h"
#include "adaptation_umbo/database/sqlite_umbo_functions.h"

#include <keldra/Invariant.h>

#include <sqlite3.h>

#include <cstdio>
#include <sys/time.h>

namespace orva {
namespace keldra {
namespace internal {

namespace {

const LoggerUmbo::MsgType kTrace = LoggerUmbo::MSG_TRACE;

void trace(const char* text) { LoggerUmbo::log(text, kTrace); }

const char* const kTables[] = {
    "CREATE TABLE IF NOT EXISTS metadata (id INTEGER,uid TEXT, version INTEGER, locale TEXT, "
    "PRIMARY KEY(id));",
    "CREATE TABLE IF NOT EXISTS object (local_id INTEGER PRIMARY KEY AUTOINCREMENT, global_id "
    "INTEGER, class_name TEXT, name TEXT, version INTEGER, timestamp INTEGER, service TEXT, "
    "owner TEXT,sharing INTEGER, modified INTEGER, linkmods INTEGER, updeps INTEGER, downdeps "
    "INTEGER, no_sync INTEGER);",
    "CREATE TABLE IF NOT EXISTS attribute (id INTEGER, class_name TEXT, name TEXT, value_blob "
    "BLOB, parent_object INTEGER, parent_attribute INTEGER, PRIMARY KEY(id) );",
    "CREATE TABLE IF NOT EXISTS link (id INTEGER,target_id INTEGER,target_gid INTEGER,name "
    "TEXT,parent_object INTEGER,parent_attribute INTEGER, PRIMARY KEY(id));",
    "CREATE TABLE IF NOT EXISTS box (id INTEGER, min_lat FLOAT, max_lat FLOAT, min_long "
    "FLOAT,max_long FLOAT, min_alt FLOAT, max_alt FLOAT, datum INTEGER, parent_object INTEGER, "
    "parent_attribute INTEGER,PRIMARY KEY(id));",
    "CREATE TABLE IF NOT EXISTS position (id INTEGER, latitude FLOAT, longitude FLOAT, accuracy "
    "FLOAT, altitude FLOAT, altitude_above_sea FLOAT, alt_accuracy FLOAT,datetime INTEGER, "
    "course FLOAT, speed FLOAT, datum INTEGER, parent_object INTEGER, parent_attribute "
    "INTEGER,PRIMARY KEY(id));",
    "CREATE TABLE IF NOT EXISTS text (id INTEGER, name TEXT, type INTEGER, value_text TEXT, "
    "collate_key BLOB, parent_object INTEGER, parent_attribute INTEGER,PRIMARY KEY(id));",
    "CREATE TABLE IF NOT EXISTS removed (local_id INTEGER);",
};

const char* const kIndexes[] = {
    "CREATE INDEX IF NOT EXISTS object_gid_index ON object(global_id);",
    "CREATE INDEX IF NOT EXISTS attribute_parent_object_index ON attribute(parent_object);",
    "CREATE INDEX IF NOT EXISTS attribute_parent_attribute_index ON attribute(parent_attribute);",
    "CREATE INDEX IF NOT EXISTS link_parent_object_index ON link(parent_object);",
    "CREATE INDEX IF NOT EXISTS link_parent_attribute_index ON link(parent_attribute);",
    "CREATE INDEX IF NOT EXISTS position_parent_attribute_index ON position(parent_object);",
    "CREATE INDEX IF NOT EXISTS position_parent_attribute_index ON position(parent_attribute);",
    "CREATE INDEX IF NOT EXISTS box_parent_object_index ON box(parent_object);",
    "CREATE INDEX IF NOT EXISTS box_parent_attribute_index ON box(parent_attribute);",
    "CREATE INDEX IF NOT EXISTS text_parent_object_index ON text(parent_object);",
    "CREATE INDEX IF NOT EXISTS text_parent_attribute_index ON text(parent_attribute);",
    "CREATE INDEX IF NOT EXISTS text_collate_key_index ON text(collate_key)",
};

const char* const kTriggers[] = {
    "CREATE TRIGGER IF NOT EXISTS delete_child_attribute_on_object_delete BEFORE DELETE ON "
    "object BEGIN DELETE FROM attribute WHERE parent_objecT = OLD.local_id; END;",
    "CREATE TRIGGER IF NOT EXISTS delete_child_link_on_object_delete BEFORE DELETE ON object "
    "BEGIN DELETE FROM link WHERE parent_objecT = OLD.local_id; END;",
    "CREATE TRIGGER IF NOT EXISTS delete_child_position_on_object_delete BEFORE DELETE ON "
    "object BEGIN DELETE FROM position WHERE parent_objecT = OLD.local_id; END;",
    "CREATE TRIGGER IF NOT EXISTS delete_child_text_on_object_delete BEFORE DELETE ON object "
    "BEGIN DELETE FROM text WHERE parent_objecT = OLD.local_id; END;",
    "CREATE TRIGGER IF NOT EXISTS delete_child_box_on_object_delete BEFORE DELETE ON object "
    "BEGIN DELETE FROM box WHERE parent_objecT = OLD.local_id; END;",
    "CREATE TRIGGER IF NOT EXISTS update_link_target_id_on_object_insert AFTER INSERT ON object "
    "BEGIN UPDATE link SET target_id=new.local_id WHERE new.global_id NOT NULL AND "
    "target_gid=new.global_id; END;",
    "CREATE TRIGGER IF NOT EXISTS update_link_target_id_on_object_update AFTER UPDATE ON object "
    "BEGIN UPDATE link SET target_id=new.local_id WHERE new.global_id NOT NULL AND "
    "target_gid=new.global_id; UPDATE link SET target_gid=new.global_id WHERE new.local_id NOT "
    "NULL AND target_id=new.local_id;END;",
};

// Not part of the version-5 statements: the link table's targets, which the triggers
// and the parent lookups search on every write. Made on new and existing version-5
// files alike; older readers of the file simply do not use them.
const char* const kLinkIndexes[] = {
    "CREATE INDEX IF NOT EXISTS link_target_id_index ON link(target_id);",
    "CREATE INDEX IF NOT EXISTS link_target_gid_index ON link(target_gid);",
};

template <size_t N>
int count_of(const char* const (&)[N]) {
  return static_cast<int>(N);
}

// The tables every load and write of this version needs: a file without one of them is
// refused at open, as the version alone cannot tell.
const char* const kTableNames[] = {"metadata", "object",   "attribute", "link",
                                   "box",      "position", "text",      "removed"};

const QueryParameter kSchemaColumns[] = {SQL, NAME};
const QueryParameter kMetadataColumns[] = {ID, UID, VERSION, LOCALE};
const QueryParameter kMetadataParams[] = {VERSION, LOCALE, UID};

}  // namespace

DatabaseConnection::DatabaseConnection()
    : m_db(nullptr),
      m_version(-1),
      m_error_handler(nullptr),
      m_query_manager(nullptr),
      m_transaction_level(0),
      m_failed_code(ORVA_ERROR_NONE),
      m_logger(LoggerUmbo::instance()) {
  trace("DatabaseConnection::DatabaseConnection()");
}

DatabaseConnection::~DatabaseConnection() {
  trace("DatabaseConnection::~DatabaseConnection( ) ++");
  close();
  trace("DatabaseConnection::~DatabaseConnection( ) --");
}

void DatabaseConnection::close() {
  trace("DatabaseConnection::close( ) ++");
  close_connection();
  trace("DatabaseConnection::close( ) --");
}

bool DatabaseConnection::open(std::string name) {
  trace("DatabaseConnection::open( ) ++");
  m_file_name = name;
  if (m_file_name.empty()) {
    trace("DatabaseConnection::open: ERROR: No name defined!");
    return false;
  }
  if (m_db) {
    trace("DatabaseConnection::open: connection already opened!");
    return false;
  }
  if (!open_connection()) return false;

  bool no_schema;
  try {
    no_schema = read_metadata();
  } catch (UmboException&) {
    // An unreadable schema or metadata must not be taken for "no schema": creating or
    // renaming here could replace a newer version's file.
    close_connection();
    throw;
  }

  bool ok;
  bool created = false;
  if (no_schema) {
    try {
      ok = create_new_file(created);
    } catch (UmboException&) {
      close_connection();
      throw;
    }
    if (!ok) {
      close_connection();
      trace("DatabaseConnection::open( ) --");
      return false;
    }
  }
  if (created) {
    ok = true;
  } else if (m_version == SCHEMA_VERSION) {
    // Every table must be there: without one, every load and write would fail later.
    for (const char* table : kTableNames) {
      if (!m_schema_objects.count(std::string("table ") + table)) {
        LoggerUmbo::logf(kTrace, "ERROR DatabaseConnection::open: table '%s' missing!", table);
        close_connection();
        trace("DatabaseConnection::open( ) --");
        return false;
      }
    }
    ok = true;
  } else if (m_version > SCHEMA_VERSION) {
    trace("DatabaseConnection::open: can't handle schema,too new for this version!");
    close_connection();
    trace("DatabaseConnection::open( ) --");
    return false;
  } else {
    upgrade();
    trace("DatabaseConnection::open: failed to upgrade to latest, creating an empty database!");
    close_connection();
    remove_db_file();
    ok = open_connection() && create();
    if (!ok) trace("DatabaseConnection::open: failed to create database!");
  }
  if (ok) {
    ensure_link_indexes();
    set_journal_mode();
  }
  trace("DatabaseConnection::open( ) --");
  return ok;
}

bool DatabaseConnection::open_connection() {
  LoggerUmbo::logf(kTrace, "DatabaseConnection::open_connection(), db '%s' ++",
                   m_file_name.c_str());
  sqlite3* db = nullptr;
  const int rc =
      sqlite3_open_v2(m_file_name.c_str(), &db,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    trace("DatabaseConnection::open_connection: failed to open db connection");
    // sqlite3_open_v2 may hand out a handle even on failure; it must still be closed.
    if (db) sqlite3_close(db);
    return false;
  }
  m_db = db;
  delete m_query_manager;
  m_query_manager = nullptr;
  delete m_error_handler;
  m_error_handler = new ErrorHandler(m_db);
  m_query_manager = new QueryManager(m_db, m_error_handler);
  if (sqlite3_threadsafe()) {
    trace("DatabaseConnection::open_connection(): threadsafe");
  } else {
    trace("WARNING DatabaseConnection::open_connection(): non-threadsafe");
  }
  try {
    register_functions();
  } catch (UmboException&) {
    close_connection();
    throw;
  }
  return true;
}

void DatabaseConnection::register_functions() {
  trace("DatabaseConnection::register_functions( ) ++");
  struct Function {
    const char* name;
    int argc;
    void (*body)(sqlite3_context*, int, sqlite3_value**);
  };
  const Function functions[] = {
      {"distance", DISTANCE_UMBO_ARGC, distance_umbo},
      {"pos_in_rect", POS_IN_RECT_UMBO_ARGC, pos_in_rect_umbo},
      {"like", LIKE_COMPARE_UMBO_ARGC_MIN, like_compare_umbo},
      {"like", LIKE_COMPARE_UMBO_ARGC_MAX, like_compare_umbo},
      {"like_all_words", LIKE_COMPARE_UMBO_ARGC_MIN, like_compare_aw_umbo},
      {"like_all_words", LIKE_COMPARE_UMBO_ARGC_MAX, like_compare_aw_umbo},
  };
  for (const Function& f : functions) {
    m_error_handler->check_if_error(sqlite3_create_function(m_db, f.name, f.argc, SQLITE_UTF8,
                                                            nullptr, f.body, nullptr, nullptr));
  }
  trace("DatabaseConnection::register_functions( ) --");
}

void DatabaseConnection::close_connection() {
  trace("DatabaseConnection::close_connection( ) ++");
  if (!m_db) {
    trace("DatabaseConnection::close_connection: trying to close already closed connection!");
  }
  delete m_query_manager;
  m_query_manager = nullptr;
  delete m_error_handler;
  m_error_handler = nullptr;
  if (m_db) sqlite3_close(m_db);
  m_db = nullptr;
  // Closing ends any open transaction with the handle.
  m_transaction_level = 0;
  m_failed_code = ORVA_ERROR_NONE;
  trace("DatabaseConnection::close_connection( ) --");
}

void DatabaseConnection::ensure_link_indexes() {
  // Only speed depends on them: a failure (another writer in the way) is retried at
  // the next open.
  try {
    if (!run_schema_statements(kLinkIndexes, count_of(kLinkIndexes))) {
      trace("WARNING DatabaseConnection::ensure_link_indexes: not created");
    }
  } catch (UmboException& e) {
    LoggerUmbo::logf(kTrace, "WARNING DatabaseConnection::ensure_link_indexes: (%d, %s)",
                     e.get_reason(), e.what());
  }
}

void DatabaseConnection::set_journal_mode() {
  // WAL persists in the file; synchronous is per connection. A failure (another
  // connection in the way) keeps the file's current mode, which works as well.
  const char* const pragmas[] = {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL"};
  for (const char* sql : pragmas) {
    QueryIndex index = -1;
    try {
      index = m_query_manager->new_query(0, nullptr, 0, nullptr, sql);
      Query* query = m_query_manager->get_query(index);
      while (query->execute(0) != Query::DONE) {
      }
    } catch (UmboException& e) {
      LoggerUmbo::logf(kTrace, "WARNING DatabaseConnection::set_journal_mode: %s (%d, %s)", sql,
                       e.get_reason(), e.what());
    }
    m_query_manager->release_query(index);
  }
}

bool DatabaseConnection::read_metadata() {
  trace("DatabaseConnection::read_metadata( ) ++");
  begin_transaction(false, 0);
  m_schema.clear();
  m_schema_objects.clear();
  QueryIndex schema_index = -1;
  try {
    schema_index = m_query_manager->new_query(
        0, nullptr, 2, kSchemaColumns, "SELECT sql, type || ' ' || lower(name) FROM sqlite_master");
    GettableQuery* query = static_cast<GettableQuery*>(m_query_manager->get_query(schema_index));
    std::string sql;
    std::string object;
    while (query->execute(0) == Query::ROW) {
      if (query->get_result(SQL, sql)) m_schema += sql;
      if (query->get_result(NAME, object)) m_schema_objects.insert(object);
    }
    m_query_manager->release_query(schema_index);
  } catch (UmboException&) {
    m_query_manager->release_query(schema_index);
    rollback_transaction();
    throw;
  }
  if (m_schema.empty()) {
    commit_transaction();
    return true;
  }

  QueryIndex index;
  try {
    index = m_query_manager->new_query(0, nullptr, 4, kMetadataColumns, "SELECT * FROM metadata");
  } catch (UmboException&) {
    trace("DatabaseConnection::roll back");
    rollback_transaction();
    // Only a file without metadata counts as unversioned; one whose metadata is there
    // but cannot be read (a view calling an unknown function, say) may be a newer
    // version's file, which must not be replaced.
    if (m_schema_objects.count("table metadata") || m_schema_objects.count("view metadata")) {
      throw;
    }
    return false;
  }
  GettableQuery* query = static_cast<GettableQuery*>(m_query_manager->get_query(index));
  try {
    while (query->execute(0) == Query::ROW) {
      // Read whole: a version beyond 32 bits must not pass for an older one, or for 5.
      query->get_result(VERSION, m_version);
      query->get_result(LOCALE, m_locale);
      query->get_result(UID, m_uid);
    }
    m_query_manager->release_query(index);
    commit_transaction();
  } catch (UmboException& e) {
    trace("DatabaseConnection::exception->roll_back");
    rollback_transaction();
    m_query_manager->release_query(index);
    throw;
  }
  LoggerUmbo::logf(kTrace,
                   "DatabaseConnection::read_metadata(): uid(%s), version(%lld), locale(%s) --",
                   m_uid.c_str(), m_version, m_locale.c_str());
  return false;
}

bool DatabaseConnection::run_schema_statements(const char* const* statements, int count) {
  begin_transaction(false, 0);
  for (int i = 0; i < count; ++i) {
    QueryIndex index;
    try {
      index = m_query_manager->new_query(0, nullptr, 0, nullptr, statements[i]);
    } catch (UmboException&) {
      rollback_transaction();
      return false;
    }
    if (!run_and_release_schema_query(index)) return false;
  }
  try {
    commit_transaction();
  } catch (UmboException&) {
    rollback_transaction();
    return false;
  }
  return true;
}

bool DatabaseConnection::create_new_file(bool& created) {
  trace("DatabaseConnection::create_new_file( ) ++");
  created = false;
  // Another process may be making the schema of this new file at this moment. Holding
  // the file alone (waiting for the other within the busy back-off), the schema is read
  // again and made only when still missing, together with its metadata row and the link
  // indexes in one transaction: no process ever sees a part of it, which it would take
  // for an older version and move aside.
  begin_transaction(true, 0);
  bool ok = true;
  try {
    if (read_metadata()) {
      created = true;
      ok = create();
      if (ok) {
        ensure_link_indexes();
        ok = m_failed_code == ORVA_ERROR_NONE;
      }
    }
    if (ok) ok = commit_transaction();
  } catch (UmboException& e) {
    LoggerUmbo::logf(kTrace, "ERROR DatabaseConnection::create_new_file: (%d, %s)",
                     e.get_reason(), e.what());
    rollback_transaction();
    // Reading the schema failed: as in open, nothing may be made over what is there.
    if (!created) throw;
    ok = false;
  }
  if (!ok) {
    if (is_in_transaction()) rollback_transaction();
    m_version = -1;
    created = false;
  }
  trace("DatabaseConnection::create_new_file( ) --");
  return ok;
}

bool DatabaseConnection::create() {
  trace("DatabaseConnection::create( ) ++");
  bool ok = run_schema_statements(kTables, count_of(kTables)) &&
            run_schema_statements(kIndexes, count_of(kIndexes)) &&
            run_schema_statements(kTriggers, count_of(kTriggers));
  if (ok) {
    create_uid();
    ok = write_metadata();
  }
  trace("DatabaseConnection::create( ) --");
  return ok;
}

bool DatabaseConnection::write_metadata() {
  trace("DatabaseConnection::write_metadata( ) ++");
  if (m_uid.empty()) create_uid();
  // Delete and insert in one transaction: a crash between two transactions would
  // leave no row, and the next open would move the whole database aside. The file is
  // held alone from the start: a transaction that read first and then wants to write
  // can wait on another process doing the same until the busy back-off gives up.
  begin_transaction(true, 0);
  bool ok = false;
  try {
    QueryIndex index = m_query_manager->new_query(0, nullptr, 0, nullptr, "DELETE FROM metadata");
    if (run_and_release_schema_query(index)) {
      index = m_query_manager->new_query(
          3, kMetadataParams, 0, nullptr,
          "INSERT INTO metadata(version, locale, uid) VALUES(:version_p, :locale_p, :uid_p)");
      BindableQuery* insert = static_cast<BindableQuery*>(m_query_manager->get_query(index));
      insert->bind(0, SCHEMA_VERSION);
      insert->bind(1, m_locale);
      insert->bind(2, m_uid);
      if (run_and_release_schema_query(index)) {
        commit_transaction();
        ok = true;
      }
    }
  } catch (UmboException& e) {
    LoggerUmbo::logf(kTrace, "ERROR DatabaseConnection::write_metadata: (%d, %s)", e.get_reason(),
                     e.what());
    rollback_transaction();
  }
  if (ok) m_version = SCHEMA_VERSION;
  trace("DatabaseConnection::write_metadata( ) --");
  return ok;
}

void DatabaseConnection::create_uid() {
  struct timeval tv;
  gettimeofday(&tv, nullptr);
  char text[32];
  std::snprintf(text, sizeof text, "%d%d", static_cast<int>(tv.tv_sec),
                static_cast<int>(tv.tv_usec));
  m_uid = text;
  LoggerUmbo::logf(kTrace, "DatabaseConnection::create_uid(): %s", m_uid.c_str());
}

void DatabaseConnection::remove_db_file() {
  trace("DatabaseConnection::remove_db_file( ) ++");
  const std::string old_name = m_file_name + ".old";
  rm(old_name);
  mv(m_file_name, old_name);
  trace("DatabaseConnection::remove_db_file( ) --");
}

bool DatabaseConnection::upgrade() {
  trace("DatabaseConnection::upgrade( ) ++");
  trace("DatabaseConnection::upgrade( ) --");
  return false;
}

bool DatabaseConnection::validate() {
  trace("DatabaseConnection::validate( ) ++");
  const char* const probes[] = {
      "SELECT id, version FROM metadata WHERE id=-1",
      "SELECT local_id, global_id, class_name, name, version, timestamp, service, owner FROM "
      "object WHERE local_id=-1",
      "SELECT id, class_name, name, value_blob, parent_object, parent_attribute FROM attribute "
      "WHERE id=-1",
      "SELECT id, target_id, target_gid, name, parent_object, parent_attribute FROM link WHERE "
      "id=-1",
      "SELECT id, latitude, longitude, accuracy, altitude, altitude_above_sea, alt_accuracy, "
      "datetime, course, speed, datum, parent_object, parent_attribute FROM position WHERE id=-1",
      "SELECT id, min_lat, max_lat, min_long, max_long, min_alt, max_alt, datum, parent_object, "
      "parent_attribute FROM box WHERE id=-1",
      "SELECT id, name, collate_key, type, value_text, parent_object, parent_attribute FROM text "
      "WHERE id=-1",
      "SELECT local_id FROM removed WHERE local_id=-1",
  };
  begin_transaction(false, 0);
  for (const char* probe : probes) {
    QueryIndex index;
    try {
      index = m_query_manager->new_query(0, nullptr, 0, nullptr, probe);
    } catch (UmboException&) {
      rollback_transaction();
      throw;
    }
    if (!run_and_release_schema_query(index)) return false;
  }
  commit_transaction();
  trace("DatabaseConnection::validate( ) --");
  return true;
}

std::string DatabaseConnection::uid() {
  read_metadata();
  return m_uid;
}

bool DatabaseConnection::set_locale(const std::string& locale) {
  m_locale = locale;
  return write_metadata();
}

void DatabaseConnection::begin_transaction(bool exclusive, int retries) {
  if (m_failed_code != ORVA_ERROR_NONE) {
    KELDRA_INVARIANT(m_transaction_level > 0, "mTransactionLevel > 0", "DatabaseConnection.cpp",
                     __LINE__);
    throw UmboException(m_failed_code,
                        "DatabaseConnection::begin_transaction: nested begin called for a failed "
                        "transaction");
  }
  if (m_transaction_level == 0) {
    if (!m_query_manager) {
      throw UmboException(ORVA_ERROR_UNKNOWN, "DatabaseConnection::begin_transaction: not open");
    }
    Query* begin = m_query_manager->get_known_query(exclusive ? BEGIN_EXCLUSIVE_TRANSACTION
                                                              : BEGIN_TRANSACTION);
    begin->execute(retries);
  }
  ++m_transaction_level;
}

bool DatabaseConnection::commit_transaction() {
  if (m_failed_code != ORVA_ERROR_NONE) {
    throw UmboException(m_failed_code,
                        "DatabaseConnection::commit_transaction: called for a failed transaction");
  }
  if (m_transaction_level < 1) {
    trace("WARNING: Database::commit_transaction: called for a non-existing transaction");
    return false;
  }
  if (m_transaction_level == 1) {
    m_query_manager->get_known_query(COMMIT_TRANSACTION)->execute(0);
    m_transaction_level = 0;
    return true;
  }
  --m_transaction_level;
  return false;
}

void DatabaseConnection::rollback_transaction() {
  if (m_transaction_level < 1) {
    trace("WARNING Database::rollback_transaction: rollback called for a non-existing transaction");
    return;
  }
  trace("DatabaseConnection::rollback_transaction");
  if (m_transaction_level > 1) {
    m_failed_code = ORVA_ERROR_KELDRA_CANCELLED;
    --m_transaction_level;
    return;
  }
  trace("DatabaseConnection::rollback_transaction, release lock");
  try {
    Query* rollback = m_query_manager->get_known_query(ROLLBACK_TRANSACTION);
    while (rollback->execute(0) != Query::DONE) {
    }
    m_query_manager->reset();
  } catch (UmboException& e) {
    LoggerUmbo::logf(kTrace, "ERROR DatabaseConnection::rollback_transaction: (%d, %s)",
                     e.get_reason(), e.what());
  }
  m_failed_code = ORVA_ERROR_NONE;
  m_transaction_level = 0;
}

long long DatabaseConnection::last_inserted_id() const {
  return m_db ? static_cast<long long>(sqlite3_last_insert_rowid(m_db)) : 0;
}

bool DatabaseConnection::run_and_release_schema_query(int index) {
  Query* query = m_query_manager->get_query(index);
  try {
    if (!query) throw UmboException(ORVA_ERROR_UNKNOWN, "no statement in the slot");
    while (query->execute(0) != Query::DONE) {
    }
  } catch (UmboException&) {
    rollback_transaction();
    m_query_manager->release_query(index);
    return false;
  }
  m_query_manager->release_query(index);
  return true;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
