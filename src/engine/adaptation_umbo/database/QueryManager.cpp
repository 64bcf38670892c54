#include "adaptation_umbo/database/QueryManager.h"

#include "adaptation_umbo/database/BindableAndGettableQuery.h"
#include "adaptation_umbo/database/BindableQuery.h"
#include "adaptation_umbo/database/ErrorHandler.h"
#include "adaptation_umbo/database/GettableQuery.h"
#include "adaptation_umbo/database/Query.h"

#include <keldra/Invariant.h>
#include <keldra/LoggerUmbo.h>

#include <sqlite3.h>

namespace orva {
namespace keldra {
namespace internal {

namespace {
const int kTrace = LoggerUmbo::MSG_TRACE;
}

QueryManager::QueryManager(sqlite3* db, ErrorHandler* handler)
    : m_queries(KNOWN_QUERY_COUNT + 1, nullptr),
      m_db(db),
      m_handler(handler),
      m_hint(KNOWN_QUERY_COUNT) {
  LoggerUmbo::log("QueryManager", kTrace);
}

QueryManager::~QueryManager() {
  try {
    reset();
  } catch (...) {
    // Statements left by others that SQLite refuses to finalize; nothing more to do.
  }
}

QueryIndex QueryManager::get_known_query_index(QueryName name) {
  return (name >= 0 && name < KNOWN_QUERY_COUNT) ? static_cast<QueryIndex>(name) : -1;
}

Query* QueryManager::create_known_query(QueryName name) {
  switch (known_query(name)->type) {
    case QUERY_BINDABLE:
      return new BindableQuery(m_db, m_handler, name);
    case QUERY_GETTABLE:
      return new GettableQuery(m_db, m_handler, name);
    case QUERY_BINDABLE_GETTABLE:
      return new BindableAndGettableQuery(m_db, m_handler, name);
    default:
      return new Query(m_db, m_handler, name);
  }
}

Query* QueryManager::get_query(QueryIndex index) {
  KELDRA_INVARIANT(m_db, "mDb", "QueryManager.cpp", 151);
  if (index < 0 || index >= static_cast<QueryIndex>(m_queries.size())) {
    LoggerUmbo::log("WARNING QueryManager::get_query(): false index", kTrace);
    return nullptr;
  }
  if (!m_queries[index] && index < KNOWN_QUERY_COUNT) {
    m_queries[index] = create_known_query(static_cast<QueryName>(index));
  }
  return m_queries[index];
}

QueryIndex QueryManager::new_query(int param_count, const QueryParameter* params, int result_count,
                                   const QueryParameter* results, const std::string& sql) {
  QueryIndex index = -1;
  if (m_hint >= KNOWN_QUERY_COUNT && m_hint < static_cast<QueryIndex>(m_queries.size()) &&
      !m_queries[m_hint]) {
    index = m_hint;
  }
  m_hint = -1;
  if (index < 0) {
    for (QueryIndex i = KNOWN_QUERY_COUNT; i < static_cast<QueryIndex>(m_queries.size()); ++i) {
      if (!m_queries[i]) {
        index = i;
        break;
      }
    }
  }
  if (index < 0) {
    m_queries.push_back(nullptr);
    index = static_cast<QueryIndex>(m_queries.size()) - 1;
  }
  KELDRA_INVARIANT(index >= BEGIN_TRANSACTION && index < static_cast<QueryIndex>(m_queries.size()),
                   "index>=BEGIN_TRANSACTION && index<queries", "QueryManager.cpp", 120);
  const bool binds = param_count > 0;
  const bool gets = result_count > 0;
  Query* query;
  if (binds && gets) {
    query = new BindableAndGettableQuery(m_db, m_handler, param_count, params, result_count,
                                         results, sql);
  } else if (binds) {
    query = new BindableQuery(m_db, m_handler, param_count, params, sql);
  } else if (gets) {
    query = new GettableQuery(m_db, m_handler, result_count, results, sql);
  } else {
    query = new Query(m_db, m_handler, sql);
  }
  m_queries[index] = query;
  return index;
}

void QueryManager::release_query(QueryIndex index) {
  if (index < KNOWN_QUERY_COUNT || index >= static_cast<QueryIndex>(m_queries.size())) return;
  delete m_queries[index];
  m_queries[index] = nullptr;
  m_hint = index;
}

void QueryManager::release_query(Query* query) {
  if (!query) return;
  for (QueryIndex i = KNOWN_QUERY_COUNT; i < static_cast<QueryIndex>(m_queries.size()); ++i) {
    if (m_queries[i] == query) {
      release_query(i);
      return;
    }
  }
}

void QueryManager::reset() {
  for (Query*& query : m_queries) {
    delete query;
    query = nullptr;
  }
  if (!m_db) return;
  // Finalize them all before reporting the first refusal, so none stays open.
  int first_error = SQLITE_OK;
  while (sqlite3_stmt* stmt = sqlite3_next_stmt(m_db, nullptr)) {
    LoggerUmbo::log(
        "WARNING: QueryManager::reset: found a statement not handled by the manager, "
        "finalizing anyway!",
        kTrace);
    const int rc = sqlite3_finalize(stmt);
    if (first_error == SQLITE_OK) first_error = rc;
  }
  m_handler->check_if_error(first_error);
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
