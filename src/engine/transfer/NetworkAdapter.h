// The transport of the direct transfer: an HTTP client that opens one network session on
// an access point and then runs one request at a time, reporting everything that happens
// to the one listener it was made with.
//
// The direct transfer handler is the only owner and the only listener. Calling order:
// open(), then requests one at a time, each after the change to READY that ended the
// previous one, and close() at the end. The adapter never queues nor retries requests.
//
// Listener calls come either synchronously from inside an adapter operation (state
// changes, the first progress value of a request, the changes made by close, cancel and
// open) or later from the event loop of the thread that made the adapter (everything the
// network causes). A listener may call back into the adapter from inside a change to
// READY or CLOSED (the handler starts its next request there), except while it is itself
// closing the adapter, and never from inside the changes to PREPARING or REQUEST_SENT.
//
// Reference counted, held through SharedPointer. Single-threaded: the adapter and its
// listener stay on the thread that made them, which runs a Qt event loop.
#pragma once

#include <keldra/DynamicBuffer.h>
#include <keldra/ErrorCode.h>
#include <keldra/RefCountable.h>
#include <keldra/SharedPointer.h>

#include <string>

namespace orva {
namespace keldra {
namespace internal {

class NetworkAdapter : public orva::internal::RefCountable {
 public:
  enum State {
    CLOSED = 0,       // no network session
    PREPARING = 1,    // the session is being opened
    READY = 2,        // the session is open and no request runs
    REQUEST_SENT = 3  // one request runs
  };

  // The head of a reply, valid only during the listener call.
  struct Response {
    orva::ErrorCode status;    // the HTTP status through http_status_to_error_code
    std::string content_type;  // the Content-Type header's value as 8-bit text
  };

  // Receives everything that happens on one adapter. Not owned by the adapter; it must
  // outlive the adapter's activity (the handler closes the adapter before it goes).
  class Listener {
   public:
    // Each state change: |state| is the new state, |status| why (0 for an ordinary step,
    // 0x6006 for a cancel, 5 for a session that could not be opened, a request's failure).
    virtual void handle_network_state_change(orva::ErrorCode status, State state) = 0;
    // At most once per request: when the first data of a reply that carries a
    // Content-Type header can be read.
    virtual void handle_network_response_head(const Response& response) = 0;
    // Once per request that ended normally with a non-empty body, just before the change
    // back to READY.
    virtual void handle_network_response_body(const orva::SharedPointer<DynamicBuffer>& body) = 0;
    // 0.05 when a request starts, up to 0.99 while bytes move, exactly 1.0 once when the
    // reply has been received whole (never for a failed or cancelled request).
    virtual void handle_network_progress(float progress) = 0;

   protected:
    ~Listener() {}
  };

  // The platform's adapter bound to |listener|, with a count of 1; empty only when
  // memory runs out. Defined by the platform implementation.
  static orva::SharedPointer<NetworkAdapter> create(Listener& listener);

  // The result of an HTTP status: 2xx 0; 400 3; 401 and 403 0x6004; 404 8; any other
  // value below 500 1; 500 and above 0x6005.
  static orva::ErrorCode http_status_to_error_code(unsigned int http_status);

  ~NetworkAdapter() override {}

  // Opens the session on |access_point_id| (0: the platform's default). 0 when open
  // already (no listener call); 0x6001 when opening started and the outcome follows as a
  // state change; 5 no usable network configuration; 7 busy; 2 out of memory; 1 other.
  virtual orva::ErrorCode open(unsigned int access_point_id) = 0;
  // Ends a running request or session opening as cancel() does, then moves to CLOSED
  // with status 0.
  virtual void close() = 0;
  // The request operations: 0 request started; 7 while PREPARING or REQUEST_SENT
  // (nothing changes); 3 invalid URL; 2 out of memory; 1 other failure, tested in this
  // order. The posts first refuse a missing or empty |body| with 3. |digest| is the
  // Base64 credential text of a Basic authorisation header, empty for none.
  virtual orva::ErrorCode get(const std::string& url, const std::string& digest) = 0;
  virtual orva::ErrorCode post(const std::string& url, const std::string& digest,
                               const orva::SharedPointer<DynamicBuffer>& body) = 0;
  virtual orva::ErrorCode post_mmf(const std::string& url, const std::string& digest,
                                   const std::string& request_id, const std::string& content_type,
                                   const orva::SharedPointer<DynamicBuffer>& body) = 0;
  // A request package that asks for a zip reply.
  virtual orva::ErrorCode post_zip_request(const std::string& url, const std::string& digest,
                                           const orva::SharedPointer<DynamicBuffer>& body) = 0;
  // True while a session is opening or a request is running.
  virtual bool is_active() const = 0;
  // Ends a running request (to READY) or session opening (to CLOSED) with 0x6006.
  virtual void cancel() = 0;

  State state() const { return m_state; }

 protected:
  explicit NetworkAdapter(Listener& listener) : m_listener(listener), m_state(CLOSED) {}

  // The only way an implementation changes the state: a change to the current state
  // calls nothing and drops |status|; otherwise the state changes first, then the
  // listener hears of it.
  void state_changed(State state, orva::ErrorCode status);

  Listener& listener() const { return m_listener; }

 private:
  NetworkAdapter(const NetworkAdapter&) = delete;
  NetworkAdapter& operator=(const NetworkAdapter&) = delete;

  Listener& m_listener;
  State m_state;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
