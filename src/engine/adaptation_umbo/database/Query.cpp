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
      m_handler->check_if_error(sqlite3_prepare_v2(
          m_db, m_sql.c_str(), static_cast<int>(m_sql.size()), &m_stmt, nullptr));
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
  int tries_left = retries > 0 ? retries : 2147483647;
  int waited = 0;
  int next_wait = 5;
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
    if (rc == SQLITE_BUSY && tries_left > 0 && waited <= 2999) {
      LoggerUmbo::log("Query::execute: busy: waiting", kTrace);
      --tries_left;
      waited += next_wait;
      sleep_ms(next_wait);
      next_wait *= 2;
      continue;
    }
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
