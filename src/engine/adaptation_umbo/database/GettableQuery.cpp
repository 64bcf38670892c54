#include "adaptation_umbo/database/GettableQuery.h"

namespace orva {
namespace keldra {
namespace internal {

GettableQuery::GettableQuery(sqlite3* db, ErrorHandler* handler, int result_count,
                             const QueryParameter* results, const std::string& sql)
    : Query(db, handler, sql), Gettable(result_count, results) {}

GettableQuery::GettableQuery(sqlite3* db, ErrorHandler* handler, QueryName name)
    : Query(db, handler, std::string(known_query(name)->sql)),
      Gettable(known_query(name)->result_count, known_query(name)->results) {}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
