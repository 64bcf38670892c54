// Binds a statement's parameters by their QueryParameter name.
//
// The parameter list (copied) gives the order of the statement's
// placeholders: a member at list position i binds SQLite parameter i + 1; a member the
// list does not hold is skipped without error, so a row class may bind all its columns
// to any statement of its table. Nothing is bound explicitly to NULL: an empty text,
// an empty or null buffer and a field without value bind nothing, and a parameter not
// bound since the last reset is NULL. Texts and blobs are copied by SQLite.
//
// Every SQLite result goes through ErrorHandler::check_if_error (UmboException 1 or
// 0x6007). Used on the connection's thread only.
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

class ErrorHandler;

class Bindable {
 public:
  Bindable(ErrorHandler* handler, int count, const QueryParameter* params);
  virtual ~Bindable();
  // The statement to bind on.
  virtual sqlite3_stmt* get_stmt() const = 0;

  // Position of |member| in the parameter list, -1 when absent.
  int find_parameter_index(QueryParameter member) const;

  // By list position (0-based; -1 binds nothing).
  void bind(int position, int value);
  void bind(int position, long long value);
  void bind(int position, double value);
  void bind(int position, const std::string& text);
  void bind(int position, const void* bytes, int length);
  // By type: int32/uint32 as int (a uint32 above 2^31-1 keeps its 32 bits as a
  // negative number), int64/uint64/timestamp as int64, float/double as double, string
  // (type 8) as UTF-8 text, binary as blob; none and type 10 bind nothing.
  void bind(int position, const Field& field);

  // By member; skipped when the list does not hold it.
  void bind(QueryParameter member, int value);
  void bind(QueryParameter member, long long value);
  void bind(QueryParameter member, float value);
  void bind(QueryParameter member, double value);
  void bind(QueryParameter member, const std::string& text);
  void bind(QueryParameter member, const orva::SharedPointer<DynamicBuffer>& buffer);
  void bind(QueryParameter member, const Field& field);

  void set_params(int count, const QueryParameter* params);

 protected:
  // A copy of the caller's list, so an ad-hoc list may be a temporary.
  std::vector<QueryParameter> m_params;
  ErrorHandler* m_binder_handler;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
