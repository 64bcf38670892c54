#include "adaptation_umbo/database/BindableAndGettableQuery.h"

namespace orva {
namespace keldra {
namespace internal {

BindableAndGettableQuery::BindableAndGettableQuery(sqlite3* db, ErrorHandler* handler,
                                                   int param_count, const QueryParameter* params,
                                                   int result_count, const QueryParameter* results,
                                                   const std::string& sql)
    : Query(db, handler, sql),
      Bindable(handler, param_count, params),
      Gettable(result_count, results) {}

BindableAndGettableQuery::BindableAndGettableQuery(sqlite3* db, ErrorHandler* handler,
                                                   QueryName name)
    : Query(db, handler, std::string(known_query(name)->sql)),
      Bindable(handler, known_query(name)->param_count, known_query(name)->params),
      Gettable(known_query(name)->result_count, known_query(name)->results) {}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
