#include "support/ScriptedAdapter.h"

#include <QTimer>

namespace keldra_test {

using orva::SharedPointer;
using orva::keldra::DynamicBuffer;

ScriptedAdapter::~ScriptedAdapter() {}

orva::ErrorCode ScriptedAdapter::open(unsigned int access_point_id) {
  calls.push_back("open(" + std::to_string(access_point_id) + ")");
  if (state() == READY) return 0;
  if (state() != CLOSED) return ORVA_ERROR_NOT_READY;
  if (open_result != ORVA_ERROR_KELDRA_IN_PROGRESS) return open_result;
  state_changed(PREPARING, 0);
  if (auto_open) {
    std::weak_ptr<char> alive = m_alive;
    QTimer::singleShot(0, [this, alive] {
      if (!alive.expired() && state() == PREPARING) finish_open(0);
    });
  }
  return ORVA_ERROR_KELDRA_IN_PROGRESS;
}

void ScriptedAdapter::close() {
  calls.push_back("close");
  if (state() == REQUEST_SENT) state_changed(READY, ORVA_ERROR_KELDRA_CANCELLED);
  state_changed(CLOSED, 0);
}

void ScriptedAdapter::cancel() {
  calls.push_back("cancel");
  if (state() == REQUEST_SENT) state_changed(READY, ORVA_ERROR_KELDRA_CANCELLED);
  if (state() == PREPARING) state_changed(CLOSED, ORVA_ERROR_KELDRA_CANCELLED);
}

orva::ErrorCode ScriptedAdapter::request(const std::string& what) {
  calls.push_back(what);
  if (state() == PREPARING || state() == REQUEST_SENT) return ORVA_ERROR_NOT_READY;
  state_changed(REQUEST_SENT, 0);
  listener().handle_network_progress(0.05f);
  return 0;
}

orva::ErrorCode ScriptedAdapter::get(const std::string& url, const std::string&) {
  return request("get(" + url + ")");
}

orva::ErrorCode ScriptedAdapter::post(const std::string& url, const std::string&,
                                      const SharedPointer<DynamicBuffer>& body) {
  if (!body.is_valid() || body->get_data_length() == 0) return ORVA_ERROR_INVALID_PARAMETERS;
  return request("post(" + url + "," + std::to_string(body->get_data_length()) + ")");
}

orva::ErrorCode ScriptedAdapter::post_mmf(const std::string& url, const std::string& digest,
                                          const std::string&, const std::string&,
                                          const SharedPointer<DynamicBuffer>& body) {
  return post(url, digest, body);
}

orva::ErrorCode ScriptedAdapter::post_zip_request(const std::string& url, const std::string& digest,
                                                  const SharedPointer<DynamicBuffer>& body) {
  return post(url, digest, body);
}

void ScriptedAdapter::finish_open(orva::ErrorCode status) {
  if (status == 0) {
    state_changed(READY, 0);
  } else {
    state_changed(CLOSED, status);
  }
}

void ScriptedAdapter::reply(unsigned int http_status, const std::string& body,
                            const std::string& content_type, bool finish) {
  Response head;
  head.status = http_status_to_error_code(http_status);
  head.content_type = content_type;
  listener().handle_network_response_head(head);
  if (state() != REQUEST_SENT) return;  // the listener closed us
  if (head.status == 0) {
    listener().handle_network_progress(1.0f);
    if (state() != REQUEST_SENT) return;
    if (!body.empty()) {
      SharedPointer<DynamicBuffer> bytes(new DynamicBuffer());
      bytes->write(reinterpret_cast<const unsigned char*>(body.data()),
                   static_cast<unsigned int>(body.size()));
      listener().handle_network_response_body(bytes);
      if (state() != REQUEST_SENT) return;
    }
  }
  if (finish) state_changed(READY, head.status);
}

void ScriptedAdapter::fail(orva::ErrorCode status) { state_changed(READY, status); }

}  // namespace keldra_test
