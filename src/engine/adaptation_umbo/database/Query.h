// One prepared SQLite statement with its life cycle and the busy back-off that lets
// several connections and processes share the database file.
//
// States: 3 unprepared (initial, or finalized after an error), 0 ready, 1 a row is
// ready to read, 2 done (execute resets at once, so a finished statement is ready
// again with its bindings cleared). The statement is prepared by the constructor and
// reused until it is destroyed; each use only binds, steps and resets.
//
// A Query belongs to one connection (handle and ErrorHandler not owned) and is used
// on that connection's thread only. Failures are thrown as UmboException: 0x6007 for
// SQLITE_BUSY/SQLITE_LOCKED, 1 for any other SQLite error, with SQLite's message.
#pragma once

#include "adaptation_umbo/database/QueryName.h"

#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace orva {
namespace keldra {
namespace internal {

class ErrorHandler;

class Query {
 public:
  enum State { STATE_READY = 0, STATE_ROW = 1, STATE_DONE = 2, STATE_UNPREPARED = 3 };
  // execute() results.
  enum { ROW = 1, DONE = 2 };

  // Prepares |sql| (waiting while the schema is busy, with the back-off of execute);
  // throws UmboException when SQLite refuses it (the object then does not exist). An
  // empty text leaves a null statement (logged).
  Query(sqlite3* db, ErrorHandler* handler, const std::string& sql);
  // The SQL of the fixed statement for 0 to 3 and 33; any other number leaves an
  // empty, unprepared statement (the typed subclasses prepare their own).
  Query(sqlite3* db, ErrorHandler* handler, QueryName name);
  virtual int get_type() const { return QUERY_PLAIN; }
  // Finalizes the statement unless it is unprepared.
  virtual ~Query();

  // Prepares the statement when unprepared (state 3 -> 0); busy waits as in execute.
  void init();

  // Steps the statement: ROW (1) when a row is ready, DONE (2) when it finished (the
  // statement is then reset and its bindings cleared). While SQLite reports busy it
  // waits 5, 10, 20 ... ms, at most |retries| times (0: no limit but the total: no
  // further wait once 2999 ms were waited, so at most 10 waits, 5115 ms); SQLITE_LOCKED
  // is not retried. Any other result throws; a statement that had not given a row is
  // then finalized and prepared again by the next execute.
  int execute(int retries);

  // Starts the statement over and clears its bindings (prepares it when unprepared).
  void reset();
  // Finalizes the statement; state 3.
  void finalize();

  sqlite3_stmt* get_statement() const { return m_stmt; }
  // The statement, prepared first when unprepared (after an error), so that binding
  // before the next execute works; may throw as init() does.
  sqlite3_stmt* prepared_statement() {
    if (m_state == STATE_UNPREPARED) init();
    return m_stmt;
  }
  std::string get_query_string() const { return m_sql; }
  void set_query_string(const std::string& sql) { m_sql = sql; }
  int get_state() const { return m_state; }

 protected:
  sqlite3* m_db;
  sqlite3_stmt* m_stmt;
  ErrorHandler* m_handler;
  std::string m_sql;
  int m_state;

 private:
  Query(const Query&) = delete;
  Query& operator=(const Query&) = delete;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
