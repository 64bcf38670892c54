#include <keldra/SyncService.h>

#include "compact/SyncSerializer.h"
#include "syncengine/SyncServiceUmbo.h"
#include "syncengine/SyncTaskRunner.h"

#include <keldra/LoggerUmbo.h>

#include <new>

namespace orva {
namespace keldra {

using internal::LoggerUmbo;

orva::SharedPointer<SyncService> SyncService::instance() {
  try {
    // The runner's construction may throw (the D-Bus hub): then no service is made.
    internal::SyncTaskRunner* runner = internal::SyncTaskRunner::create();
    try {
      return orva::SharedPointer<SyncService>(new internal::SyncServiceUmbo(runner));
    } catch (const std::bad_alloc&) {
      delete runner;
      throw;
    }
  } catch (const std::bad_alloc&) {
    return orva::SharedPointer<SyncService>();
  }
}

orva::ErrorCode SyncService::check_sync_params(const SyncParams& params) {
  // Credentials stay out of the log: the token only by its length, never the password.
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                   "SyncService::check_sync_params: iap %d, user '%s', account '%s'",
                   static_cast<int>(params.iap), params.user.c_str(), params.account.c_str());
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "SyncService::check_sync_params: token length %u",
                   static_cast<unsigned int>(params.token.size()));
  if (!params.token.empty()) return ORVA_ERROR_NONE;
  LoggerUmbo::log(
      "SyncService::check_sync_params: No token defined, checking username and password.",
      LoggerUmbo::MSG_TRACE);
  if (params.user.empty() == params.password.empty()) return ORVA_ERROR_NONE;
  if (params.password.empty()) {
    LoggerUmbo::log("SyncService::check_sync_params: No password defined.",
                    LoggerUmbo::MSG_TRACE);
  } else {
    LoggerUmbo::log("SyncService::check_sync_params: No username defined.",
                    LoggerUmbo::MSG_TRACE);
  }
  return ORVA_ERROR_INVALID_PARAMETERS;
}

orva::ErrorCode SyncService::create_auth_digest(const SyncParams& params, std::string& digest) {
  if (!params.token.empty()) {
    digest = internal::SyncSerializer::create_auth_digest(params.token);
    return ORVA_ERROR_NONE;
  }
  if (params.user.empty()) {
    LoggerUmbo::log("SyncService::create_auth_digest: no token or username",
                    LoggerUmbo::MSG_TRACE);
    return ORVA_ERROR_INVALID_PARAMETERS;
  }
  digest = internal::SyncSerializer::create_auth_digest(params.user, params.password);
  return ORVA_ERROR_NONE;
}

}  // namespace keldra
}  // namespace orva
