#include "adaptation_umbo/database/ErrorHandler.h"

#include "adaptation_umbo/base/UmboException.h"

#include <sqlite3.h>

namespace orva {
namespace keldra {
namespace internal {

ErrorHandler::ErrorHandler(sqlite3* db) : m_db(db) {}

ErrorHandler::~ErrorHandler() {}

orva::ErrorCode ErrorHandler::sqlite3_to_orva_error(int result) {
  switch (result) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
      return ORVA_ERROR_NONE;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return ORVA_ERROR_KELDRA_DATABASE_BUSY;
    default:
      return ORVA_ERROR_UNKNOWN;
  }
}

void ErrorHandler::check_if_error(int result) const {
  const orva::ErrorCode code = sqlite3_to_orva_error(result);
  if (code == ORVA_ERROR_NONE) return;
  const char* message = m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(result);
  throw UmboException(code, message ? message : "");
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
