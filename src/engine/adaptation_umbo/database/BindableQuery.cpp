#include "adaptation_umbo/database/BindableQuery.h"

namespace orva {
namespace keldra {
namespace internal {

BindableQuery::BindableQuery(sqlite3* db, ErrorHandler* handler, int param_count,
                             const QueryParameter* params, const std::string& sql)
    : Query(db, handler, sql), Bindable(handler, param_count, params) {}

BindableQuery::BindableQuery(sqlite3* db, ErrorHandler* handler, QueryName name)
    : Query(db, handler, std::string(known_query(name)->sql)),
      Bindable(handler, known_query(name)->param_count, known_query(name)->params) {}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
