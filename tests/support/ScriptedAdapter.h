// A network adapter that the test drives by hand: it records every call, opens and
// answers only when the test says so (or, with auto_open, from the event loop), and
// keeps the listener contract of the real adapter: one request at a time, state
// changes through state_changed, the reply as head, progress 1.0, body, then READY.
#pragma once

#include "transfer/NetworkAdapter.h"

#include <keldra/DynamicBuffer.h>

#include <memory>
#include <string>
#include <vector>

namespace keldra_test {

class ScriptedAdapter : public orva::keldra::internal::NetworkAdapter {
 public:
  explicit ScriptedAdapter(Listener& listener) : NetworkAdapter(listener) {}
  ~ScriptedAdapter() override;

  // What open() answers when the session is closed; 0x6001 leaves it PREPARING.
  orva::ErrorCode open_result = ORVA_ERROR_KELDRA_IN_PROGRESS;
  // Finish an accepted open from the event loop (0 ms timer) instead of by the test.
  bool auto_open = false;

  orva::ErrorCode open(unsigned int access_point_id) override;
  void close() override;
  orva::ErrorCode get(const std::string& url, const std::string& digest) override;
  orva::ErrorCode post(const std::string& url, const std::string& digest,
                       const orva::SharedPointer<orva::keldra::DynamicBuffer>& body) override;
  orva::ErrorCode post_mmf(const std::string& url, const std::string& digest,
                           const std::string& request_id, const std::string& content_type,
                           const orva::SharedPointer<orva::keldra::DynamicBuffer>& body) override;
  orva::ErrorCode post_zip_request(
      const std::string& url, const std::string& digest,
      const orva::SharedPointer<orva::keldra::DynamicBuffer>& body) override;
  bool is_active() const override { return state() == PREPARING || state() == REQUEST_SENT; }
  void cancel() override;

  // Ends the opening: READY with 0, or CLOSED with |status|.
  void finish_open(orva::ErrorCode status = 0);
  // Answers the running request: the head (mapped |http_status|, content type), the
  // progress 1.0 and the body when the head is 2xx, then (when |finish|) READY with the
  // head's status.
  void reply(unsigned int http_status, const std::string& body,
             const std::string& content_type = "application/vnd.ostra.keldraobjectcompact",
             bool finish = true);
  // Ends the running request with a transport failure: READY with |status|.
  void fail(orva::ErrorCode status);
  // A progress value of the running request.
  void progress(float value) { listener().handle_network_progress(value); }

  std::vector<std::string> calls;

 private:
  orva::ErrorCode request(const std::string& what);

  std::shared_ptr<char> m_alive = std::make_shared<char>(0);
};

}  // namespace keldra_test
