// One SQLite connection to the store's database file, with schema version 5.
//
// open() opens or creates the file: a file without schema gets schema 5 and one
// metadata row (id 1, uid, version 5, locale), made in one exclusive transaction that
// first looks again whether another process has made them meanwhile (then that schema
// is opened), so processes opening a new file together never fail for it nor replace
// each other's schema; version 5 opens as it is when all eight
// tables are there, and is refused (file unchanged) when one is missing; a newer
// version (the stored value read whole, any above 5) is refused and the file left
// unchanged; an older one (also a file whose metadata table or row is missing) is moved
// to "<file>.old" (replacing an earlier copy) and a new, empty database takes its
// place. An accepted file gets two indexes on the link table's targets
// (link_target_id_index, link_target_gid_index; the version stays 5) and is switched to
// WAL journaling with synchronous=FULL, so readers (the search thread) do not block the
// writer and a commit is durable when it returns.
//
// Transactions nest over the one SQLite transaction of the connection: the first
// begin_transaction runs BEGIN (or BEGIN EXCLUSIVE), the outermost commit COMMIT. A
// rollback of an inner level puts the connection in the failed state (code 0x6006):
// further begins and commits throw UmboException(0x6006) until the outermost
// rollback, which runs ROLLBACK and drops every prepared statement.
//
// Owns its ErrorHandler and QueryManager; used by one thread only (the Database's or
// a search thread's); opened with SQLITE_OPEN_NOMUTEX. Statement failures leave as
// UmboException (0x6007 busy or locked after the back-off, else 1) where the
// operation says so.
#pragma once

#include <keldra/ErrorCode.h>
#include <keldra/LoggerUmbo.h>
#include <keldra/SharedPointer.h>

#include <set>
#include <string>

struct sqlite3;

namespace orva {
namespace keldra {
namespace internal {

class ErrorHandler;
class QueryManager;

class DatabaseConnection {
 public:
  // The schema version this build reads and writes.
  static const int SCHEMA_VERSION = 5;

  DatabaseConnection();
  // close().
  virtual ~DatabaseConnection();

  // Opens (creating when missing) the database file |name| as described above. False
  // for an empty name, a connection already open, a file SQLite cannot open, a newer
  // schema, a version-5 file missing a table, or a schema that cannot be created. Throws
  // UmboException when the file's schema or metadata cannot be read (for example busy
  // past the back-off, not a database, or a metadata table or view whose statement
  // cannot be prepared); the connection is then closed and nothing created or renamed.
  bool open(std::string name);
  void close();

  // Creates schema 5 (27 statements in three transactions) and a new metadata row
  // with a new uid. False when a statement or the metadata write failed (rolled back).
  bool create();
  // Probes the columns of every table. True when all probes ran.
  bool validate();
  // There is no upgrade path from older versions: false.
  bool upgrade();
  // Reads the schema text and the metadata row into version, locale and uid. True when
  // the file holds no schema at all. A file without a metadata table leaves the version
  // as it was (-1 on a connection that never read one). Throws UmboException when the
  // schema or the metadata cannot be read, also when a metadata table or view exists but
  // its statement cannot be prepared (after rolling its transaction level back).
  bool read_metadata();
  // Replaces the metadata row (version 5, locale, uid, making a uid when none) in one
  // exclusive transaction, so the file never lacks its row. False when it failed (rolled
  // back).
  bool write_metadata();

  // read_metadata, then the uid (throws as read_metadata does).
  std::string uid();
  const std::string& locale() const { return m_locale; }
  // Stores the locale name and rewrites the metadata row; false when that failed.
  bool set_locale(const std::string& locale);
  long long version() const { return m_version; }
  const std::string& file_name() const { return m_file_name; }

  // Opens a transaction level (retries: the busy back-off limit of BEGIN, 0 for the
  // default). Throws UmboException(0x6006) in the failed state, or the statement's
  // error (level unchanged).
  void begin_transaction(bool exclusive, int retries);
  // Closes a level: true only when the outermost level committed. False, with a
  // warning, at level 0. Throws UmboException(0x6006) in the failed state, or COMMIT's
  // error (the level then stays 1: the caller must roll back).
  bool commit_transaction();
  // Closes a level, failing the transaction; never throws.
  void rollback_transaction();
  bool is_in_transaction() const { return m_transaction_level > 0; }
  int transaction_level() const { return m_transaction_level; }
  orva::ErrorCode failed_transaction_code() const { return m_failed_code; }

  long long last_inserted_id() const;
  // The connection's statements; null while closed.
  QueryManager* get_query_manager() const { return m_query_manager; }
  // Runs an ad-hoc statement to its end and frees its slot. On an UmboException the
  // transaction level is rolled back, the slot freed, and false returned.
  bool run_and_release_schema_query(int index);

 private:
  DatabaseConnection(const DatabaseConnection&) = delete;
  DatabaseConnection& operator=(const DatabaseConnection&) = delete;

  bool open_connection();
  void close_connection();
  void register_functions();
  void remove_db_file();
  void create_uid();
  bool run_schema_statements(const char* const* statements, int count);
  // Makes the schema of a file that held none, unless another process made it meanwhile
  // (|created| then false, its metadata read). False when the schema could not be made
  // (rolled back). Throws UmboException when the file cannot be held alone within the
  // busy back-off or its schema cannot be read.
  bool create_new_file(bool& created);
  void set_journal_mode();
  void ensure_link_indexes();

  sqlite3* m_db;
  long long m_version;
  std::string m_locale;
  std::string m_schema;
  // "<type> <lower-case name>" of every entry of sqlite_master, as last read.
  std::set<std::string> m_schema_objects;
  std::string m_file_name;
  std::string m_uid;
  ErrorHandler* m_error_handler;
  QueryManager* m_query_manager;
  int m_transaction_level;
  orva::ErrorCode m_failed_code;
  orva::SharedPointer<LoggerUmbo> m_logger;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
