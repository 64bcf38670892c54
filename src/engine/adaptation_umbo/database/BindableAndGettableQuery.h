// A prepared statement with parameters and result columns (SELECT ... WHERE).
// Prepared when constructed; see Query, Bindable and Gettable for the contract.
#pragma once

#include "adaptation_umbo/database/Bindable.h"
#include "adaptation_umbo/database/Gettable.h"
#include "adaptation_umbo/database/Query.h"

namespace orva {
namespace keldra {
namespace internal {

class BindableAndGettableQuery : public Query, public Bindable, public Gettable {
 public:
  BindableAndGettableQuery(sqlite3* db, ErrorHandler* handler, int param_count,
                           const QueryParameter* params, int result_count,
                           const QueryParameter* results, const std::string& sql);
  // SQL, parameter and result lists from the fixed statement table.
  BindableAndGettableQuery(sqlite3* db, ErrorHandler* handler, QueryName name);
  int get_type() const override { return QUERY_BINDABLE_GETTABLE; }
  sqlite3_stmt* get_stmt() const override {
    return const_cast<BindableAndGettableQuery*>(this)->prepared_statement();
  }
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
