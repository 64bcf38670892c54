#include "KeldraImpl.h"

#include <keldra/ErrorCode.h>
#include <keldra/LoggerUmbo.h>

namespace keldra {
namespace qtplugin {

using orva::keldra::internal::LoggerUmbo;

KeldraImpl::KeldraImpl(QObject* parent) : QObject(parent) {}

KeldraImpl::~KeldraImpl() = default;

int KeldraImpl::errorCodeToStatus(int err) {
  int status;
  switch (err) {
    case ORVA_ERROR_NONE:
      status = STATUS_OK;
      break;
    case ORVA_ERROR_KELDRA_IN_PROGRESS:
      status = STATUS_INPROGRESS;
      break;
    case ORVA_ERROR_KELDRA_LOGIN_FAILED:
      status = STATUS_ERROR_WRONG_LOGIN;
      break;
    case ORVA_ERROR_KELDRA_NETWORK_PROBLEM:
      status = STATUS_ERROR_NETWORK_PROBLEM;
      break;
    case ORVA_ERROR_KELDRA_CANCELLED:
      status = STATUS_CANCELED;
      break;
    default:
      status = STATUS_ERROR_UNKNOWN;
      break;
  }
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                   "QmlPlugin: KeldraImpl::errorCodeToStatus, err %d => status %d", err, status);
  return status;
}

}  // namespace qtplugin
}  // namespace keldra
