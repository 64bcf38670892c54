#include "transfer/DirectTransferHandlerImpl.h"
#include "transfer/DownloadHostRule.h"

#include <keldra/LoggerUmbo.h>

namespace orva {
namespace keldra {
namespace internal {

orva::ErrorCode DirectTransferHandlerImpl::get_auth_digest(const std::string& url,
                                                           std::string& digest) const {
  bool allowed = false;
  std::string download_rest;
  const orva::ErrorCode code =
      download_digest_allowed(m_sync_adapter->server_uri(), url, &allowed, &download_rest);
  if (code != ORVA_ERROR_NONE) return code;
  if (!allowed) {
    LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "DirectTransferHandler: no auth digest for server '%s'",
                     download_rest.c_str());
    return ORVA_ERROR_NONE;
  }
  LoggerUmbo::log("DirectTransferHandler: using auth digest", LoggerUmbo::MSG_TRACE);
  return SyncService::create_auth_digest(m_sync_params, digest);
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
