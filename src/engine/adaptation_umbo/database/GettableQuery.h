// A prepared statement with result columns and no parameters. Prepared when
// constructed; see Query and Gettable for the contract.
#pragma once

#include "adaptation_umbo/database/Gettable.h"
#include "adaptation_umbo/database/Query.h"

namespace orva {
namespace keldra {
namespace internal {

class GettableQuery : public Query, public Gettable {
 public:
  GettableQuery(sqlite3* db, ErrorHandler* handler, int result_count, const QueryParameter* results,
                const std::string& sql);
  // SQL and result list from the fixed statement table.
  GettableQuery(sqlite3* db, ErrorHandler* handler, QueryName name);
  int get_type() const override { return QUERY_GETTABLE; }
  sqlite3_stmt* get_stmt() const override {
    return const_cast<GettableQuery*>(this)->prepared_statement();
  }
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
