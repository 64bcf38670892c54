#include <keldra/Repository.h>

namespace orva {
namespace keldra {

Repository::~Repository() {}

ErrorCode Repository::end_transaction(ErrorCode code) {
  if (code == ORVA_ERROR_NONE) return commit_transaction();
  rollback_transaction();
  return code;
}

}  // namespace keldra
}  // namespace orva
