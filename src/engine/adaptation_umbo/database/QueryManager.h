// The statements of one connection, kept in numbered slots.
//
// Slots 0 to 33 hold the fixed statements of QueryName: each is created (and
// prepared) on its first get_query and kept for reuse until reset() or destruction.
// Slots from 34 up hold ad-hoc statements made by new_query and given back by
// release_query; a released slot is the first to be reused, so the slot array only
// grows to the largest number of ad-hoc statements alive at once.
//
// Owns every statement in its slots; does not own the connection handle nor the
// ErrorHandler. Used on the connection's thread only; nothing here locks.
#pragma once

#include "adaptation_umbo/database/QueryName.h"

#include <string>
#include <vector>

struct sqlite3;

namespace orva {
namespace keldra {
namespace internal {

class ErrorHandler;
class Query;

class QueryManager {
 public:
  QueryManager(sqlite3* db, ErrorHandler* handler);
  // reset(), then frees the slots.
  ~QueryManager();

  // The statement in the slot, creating a fixed one on first use (its preparation may
  // throw UmboException). Null for an empty ad-hoc slot, and, with the warning "WARNING
  // QueryManager::get_query(): false index", for a number outside the slots.
  Query* get_query(QueryIndex index);
  Query* get_known_query(QueryName name) { return get_query(get_known_query_index(name)); }
  // The name's number when below 34, else -1.
  static QueryIndex get_known_query_index(QueryName name);

  // Prepares an ad-hoc statement and returns its slot (34 or above). The class follows
  // the counts: Query, GettableQuery, BindableQuery or BindableAndGettableQuery. The
  // lists are copied. Throws UmboException when SQLite refuses the SQL (no slot taken).
  QueryIndex new_query(int param_count, const QueryParameter* params, int result_count,
                       const QueryParameter* results, const std::string& sql);

  // Deletes (finalizes) an ad-hoc statement and frees its slot; a number below 34 or
  // beyond the slots, or a pointer no ad-hoc slot holds, does nothing.
  void release_query(QueryIndex index);
  void release_query(Query* query);

  // Deletes every statement, fixed and ad hoc (ad-hoc slot numbers held by callers
  // then give null), then finalizes any statement still open on the connection,
  // logging a warning for each. Throws UmboException when SQLite refuses to finalize.
  void reset();

  // Number of slots (35 at construction).
  int slot_count() const { return static_cast<int>(m_queries.size()); }

 private:
  QueryManager(const QueryManager&) = delete;
  QueryManager& operator=(const QueryManager&) = delete;

  Query* create_known_query(QueryName name);

  std::vector<Query*> m_queries;
  sqlite3* m_db;
  ErrorHandler* m_handler;
  QueryIndex m_hint;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
