// Turns SQLite result codes into orva::ErrorCode values and throws them.
//
// Owned by its DatabaseConnection, one per connection handle (not owned); used on the
// connection's thread only.
#pragma once

#include <keldra/ErrorCode.h>

struct sqlite3;

namespace orva {
namespace keldra {
namespace internal {

class ErrorHandler {
 public:
  explicit ErrorHandler(sqlite3* db);
  virtual ~ErrorHandler();

  // SQLITE_OK, SQLITE_ROW and SQLITE_DONE give 0; SQLITE_BUSY and SQLITE_LOCKED give
  // 0x6007 (database busy); every other value gives 1.
  static orva::ErrorCode sqlite3_to_orva_error(int result);

  // Returns when |result| maps to 0; otherwise throws UmboException(code, the
  // connection's sqlite3_errmsg).
  void check_if_error(int result) const;

 private:
  sqlite3* m_db;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
