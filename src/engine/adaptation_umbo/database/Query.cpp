#include "adaptation_umbo/database/Query.h"

#include "adaptation_umbo/base/UmboException.h"
#include "adaptation_umbo/base/Utils.h"
#include "adaptation_umbo/database/ErrorHandler.h"

#include <keldra/LoggerUmbo.h>

#include <sqlite3.h>

#include <cstdint>

namespace orva {
namespace keldra {
namespace internal {

namespace {

const int kTrace = LoggerUmbo::MSG_TRACE;

std::string fixed_sql(QueryName name) {
  switch (name) {
    case BEGIN_TRANSACTION:
    case BEGIN_EXCLUSIVE_TRANSACTION:
    case ROLLBACK_TRANSACTION:
    case COMMIT_TRANSACTION:
    case DELETE_REMOVED_IDS:
      return known_query(name)->sql;
    default:
      return std::string();
  }
}

// The busy back-off: waits 5, 10, 20 ... ms, at most |retries| times (0: no limit but
// the total: no further wait once 2999 ms were waited).
class BusyBackoff {
 public:
  explicit BusyBackoff(int retries) : m_tries_left(retries > 0 ? retries : 2147483647) {}
  // Waits before the next try (logging |what|) and returns true; false when spent.
  bool wait(const char* what) {
    if (m_tries_left <= 0 || m_waited > 2999) return false;
    LoggerUmbo::log(what, kTrace);
    --m_tries_left;
    m_waited += m_next_wait;
    sleep_ms(m_next_wait);
    m_next_wait *= 2;
    return true;
  }

 private:
  int m_tries_left;
  int m_waited = 0;
  int m_next_wait = 5;
};

}  // namespace

Query::Query(sqlite3* db, ErrorHandler* handler, const std::string& sql)
    : m_db(db), m_stmt(nullptr), m_handler(handler), m_sql(sql), m_state(STATE_UNPREPARED) {
  init();
}

Query::Query(sqlite3* db, ErrorHandler* handler, QueryName name)
    : m_db(db),
      m_stmt(nullptr),
      m_handler(handler),
      m_sql(fixed_sql(name)),
      m_state(STATE_UNPREPARED) {
  init();
}

Query::~Query() {
  if (m_state != STATE_UNPREPARED) finalize();
}

void Query::init() {
  if (m_state == STATE_UNPREPARED) {
    try {
      // Preparing reads the schema, which another connection's write may hold locked
      // (another process making a new file's schema, say): busy waits as a step does.
      BusyBackoff backoff(0);
      int rc;
      while ((rc = sqlite3_prepare_v2(m_db, m_sql.c_str(), static_cast<int>(m_sql.size()),
                                      &m_stmt, nullptr)) == SQLITE_BUSY &&
             backoff.wait("Query::init: busy: waiting")) {
      }
      m_handler->check_if_error(rc);
    } catch (UmboException& e) {
      m_stmt = nullptr;
      LoggerUmbo::log("Query::init failed!: " + e.get_error_message(), kTrace);
      throw UmboException(e.get_reason(), e.get_error_message());
    }
    m_state = STATE_READY;
  }
  if (!m_stmt) {
    LoggerUmbo::logf(kTrace, "WARNING Query::init(): empty statement! 0x%08X",
                     static_cast<unsigned>(reinterpret_cast<uintptr_t>(this)));
  }
}

void Query::reset() {
  if (!m_stmt && m_state != STATE_UNPREPARED) {
    LoggerUmbo::logf(kTrace, "WARNING Query::reset(): empty statement! 0x%08X",
                     static_cast<unsigned>(reinterpret_cast<uintptr_t>(this)));
    return;
  }
  switch (m_state) {
    case STATE_ROW:
    case STATE_DONE:
      m_handler->check_if_error(sqlite3_reset(m_stmt));
      m_handler->check_if_error(sqlite3_clear_bindings(m_stmt));
      m_state = STATE_READY;
      break;
    case STATE_UNPREPARED:
      init();
      break;
    default:
      break;
  }
}

void Query::finalize() {
  if (!m_stmt) {
    LoggerUmbo::logf(kTrace, "WARNING Query::finalize(): empty statement! 0x%08X",
                     static_cast<unsigned>(reinterpret_cast<uintptr_t>(this)));
  } else if (sqlite3_finalize(m_stmt) != SQLITE_OK) {
    LoggerUmbo::logf(kTrace, "WARNING Query::finalize(): called for a failed query 0x%08X",
                     static_cast<unsigned>(reinterpret_cast<uintptr_t>(this)));
  }
  m_stmt = nullptr;
  m_state = STATE_UNPREPARED;
}

int Query::execute(int retries) {
  if (m_state == STATE_UNPREPARED) {
    init();
  } else if (m_state == STATE_DONE) {
    reset();
  }
  BusyBackoff backoff(retries);
  for (;;) {
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_DONE) {
      m_state = STATE_DONE;
      reset();
      return DONE;
    }
    if (rc == SQLITE_ROW) {
      m_state = STATE_ROW;
      return ROW;
    }
    if (rc == SQLITE_BUSY && backoff.wait("Query::execute: busy: waiting")) continue;
    // SQLite's message of the step, taken before reset and finalize touch it.
    const std::string message = m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(rc);
    LoggerUmbo::log("Query::execute: failed: finalize", kTrace);
    // A statement that had given rows reports the error again from sqlite3_reset, so
    // reset throws here and the statement stays prepared (state 1).
    reset();
    finalize();
    orva::ErrorCode code = ErrorHandler::sqlite3_to_orva_error(rc);
    throw UmboException(code != ORVA_ERROR_NONE ? code : ORVA_ERROR_UNKNOWN, message);
  }
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
