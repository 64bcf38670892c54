// The common start of the media upload packages and their posting to the upload
// address.
#include "transfer/DirectTransferHandlerImpl.h"
#include "transfer/RequestPackage.h"

#include <keldra/LoggerUmbo.h>

namespace orva {
namespace keldra {
namespace internal {

namespace {

const LoggerUmbo::MsgType kTrace = LoggerUmbo::MSG_TRACE;

}  // namespace

orva::ErrorCode DirectTransferHandlerImpl::create_upload_package(
    orva::SharedPointer<RequestPackage>& package, bool) {
  LoggerUmbo::log("DirectTransferHandler::create_upload_package ++", kTrace);
  package = RequestPackage::create(0x7FFFFFFF);
  if (!package.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  const orva::ErrorCode r =
      m_sync_params.token.empty()
          ? package->start_request(m_device_id, m_sync_params.user, m_sync_params.password)
          : package->start_request(m_device_id, m_sync_params.token);
  if (r != ORVA_ERROR_NONE) return r;
  LoggerUmbo::log("DirectTransferHandler::create_upload_package --", kTrace);
  return ORVA_ERROR_NONE;
}

orva::ErrorCode DirectTransferHandlerImpl::send_message(
    const orva::SharedPointer<RequestPackage>& package) {
  LoggerUmbo::log("DirectTransferHandler::send_message", LoggerUmbo::MSG_PERF);
  if (package->get_commands_count() < 1) return ORVA_ERROR_NONE;
  orva::ErrorCode r = package->finalize();
  if (r == ORVA_ERROR_NONE) r = upload(package, false);
  return r == ORVA_ERROR_NONE ? ORVA_ERROR_KELDRA_IN_PROGRESS : r;
}

orva::ErrorCode DirectTransferHandlerImpl::upload(
    const orva::SharedPointer<RequestPackage>& package, bool as_zip_request) {
  LoggerUmbo::log("DirectTransferHandler::upload ++", kTrace);
  std::string address = m_sync_adapter->server_uri();
  const size_t at = address.rfind("/sync");
  if (at == std::string::npos) return ORVA_ERROR_INVALID_PARAMETERS;
  address.replace(at, 5, "/upload");
  std::string digest;
  orva::ErrorCode r = SyncService::create_auth_digest(m_sync_params, digest);
  if (r != ORVA_ERROR_NONE) return r;
  const orva::SharedPointer<DynamicBuffer> body = package->get_data();
  if (!body.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  if (body->get_data_length() == 0) {
    LoggerUmbo::log("DirectTransferHandler::upload package size is zero.", kTrace);
    return ORVA_ERROR_UNKNOWN;
  }
  r = as_zip_request ? m_network_adapter->post_zip_request(address, digest, body)
                     : m_network_adapter->post(address, digest, body);
  if (r == ORVA_ERROR_NONE) m_bytes_transferred += body->get_data_length();
  LoggerUmbo::log("DirectTransferHandler::upload --", kTrace);
  return r;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
