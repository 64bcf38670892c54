// Reads a statement's result columns of the current row by their QueryParameter name.
//
// The result list (copied) gives the column order: a member at list
// position i is column i. A member the list does not hold, or a NULL column, reads as
// "no value": the getters return false and leave the output untouched, except text,
// which is emptied first. Call only after execute() returned a row. Used on the
// connection's thread only; nothing here throws.
#pragma once

#include "adaptation_umbo/database/QueryName.h"

#include <keldra/DynamicBuffer.h>
#include <keldra/Field.h>
#include <keldra/SharedPointer.h>

#include <string>
#include <vector>

struct sqlite3_stmt;

namespace orva {
namespace keldra {
namespace internal {

class Gettable {
 public:
  Gettable(int count, const QueryParameter* results);
  virtual ~Gettable();
  virtual sqlite3_stmt* get_stmt() const = 0;

  // Position of |member| in the result list, -1 when absent.
  int find_result_index(QueryParameter member) const;
  // True when |position| is not -1 and the current row's column there is not NULL.
  bool check_index(int position) const;

  // The column's text up to its first NUL byte.
  bool get_result(QueryParameter member, std::string& out) const;
  bool get_result(QueryParameter member, float& out) const;
  bool get_result(QueryParameter member, double& out) const;
  bool get_result(QueryParameter member, long long& out) const;
  bool get_result(QueryParameter member, int& out) const;
  // Replaces |out| by a new buffer holding a copy of the column's bytes.
  bool get_result(QueryParameter member, orva::SharedPointer<DynamicBuffer>& out) const;
  // Fills |field| as |type| from the column: 0 resets the field; numeric, timestamp and
  // binary types are set only when the column has a value; 8 and 10 always set a type-8
  // string (empty for NULL); 9 and types above 11 leave the field alone. Returns
  // whether the column had a value.
  bool get_result(QueryParameter member, Field::DataType type, Field& field) const;

  void set_params(int count, const QueryParameter* results);

 protected:
  // A copy of the caller's list, so an ad-hoc list may be a temporary.
  std::vector<QueryParameter> m_results;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
