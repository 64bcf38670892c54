#include "transfer/NetworkAdapter.h"

namespace orva {
namespace keldra {
namespace internal {

orva::ErrorCode NetworkAdapter::http_status_to_error_code(unsigned int http_status) {
  if (http_status >= 200 && http_status <= 299) return ORVA_ERROR_NONE;
  if (http_status == 400) return ORVA_ERROR_INVALID_PARAMETERS;
  if (http_status == 401 || http_status == 403) return ORVA_ERROR_KELDRA_LOGIN_FAILED;
  if (http_status == 404) return ORVA_ERROR_NOT_FOUND;
  if (http_status < 500) return ORVA_ERROR_UNKNOWN;
  return ORVA_ERROR_KELDRA_NETWORK_PROBLEM;
}

void NetworkAdapter::state_changed(State state, orva::ErrorCode status) {
  if (state == m_state) return;
  m_state = state;
  m_listener.handle_network_state_change(status, state);
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
