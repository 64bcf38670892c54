// A prepared statement with parameters and no result columns (INSERT, UPDATE,
// DELETE). Prepared when constructed; see Query and Bindable for the contract.
#pragma once

#include "adaptation_umbo/database/Bindable.h"
#include "adaptation_umbo/database/Query.h"

namespace orva {
namespace keldra {
namespace internal {

class BindableQuery : public Query, public Bindable {
 public:
  BindableQuery(sqlite3* db, ErrorHandler* handler, int param_count, const QueryParameter* params,
                const std::string& sql);
  // SQL and parameter list from the fixed statement table.
  BindableQuery(sqlite3* db, ErrorHandler* handler, QueryName name);
  int get_type() const override { return QUERY_BINDABLE; }
  sqlite3_stmt* get_stmt() const override {
    return const_cast<BindableQuery*>(this)->prepared_statement();
  }
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
