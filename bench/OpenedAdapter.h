// The Qt network adapter as the network benchmarks drive it: opened on the default
// access point, with a listener that counts the ends of its requests, their last status
// and the body bytes handed over. Owns the adapter and the listener (the listener
// outlives the adapter). Single-threaded: everything happens on the caller's thread,
// whose event loop runs while it waits.
#pragma once

#include <QCoreApplication>

#include <keldra/DynamicBuffer.h>

#include "adaptation_umbo/transfer/NetworkAdapterUmbo.h"

namespace keldra_bench {

class OpenedAdapter {
 public:
  typedef orva::keldra::internal::NetworkAdapter NetworkAdapter;

  class EndListener : public NetworkAdapter::Listener {
   public:
    void handle_network_state_change(orva::ErrorCode status,
                                     NetworkAdapter::State state) override {
      if (state == NetworkAdapter::READY) {
        ++ends;
        last_status = status;
      }
    }
    void handle_network_response_head(const NetworkAdapter::Response&) override {}
    void handle_network_response_body(
        const orva::SharedPointer<orva::keldra::DynamicBuffer>& body) override {
      body_bytes += body->get_data_length();
    }
    void handle_network_progress(float) override {}

    long ends = 0;  // requests ended since the adapter was ready
    orva::ErrorCode last_status = 0;
    unsigned long long body_bytes = 0;
  };

  // Opens the adapter and waits until it is ready.
  OpenedAdapter() : adapter(new orva::keldra::internal::NetworkAdapterUmbo(listener)) {
    adapter->open(0);
    while (adapter->state() != NetworkAdapter::READY) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    listener.ends = 0;  // the opening's READY is no request's end
  }

  // Waits in the event loop, blocked between events (a timed wait would spin), until
  // |count| requests in all have ended.
  void wait_for_ends(long count) const {
    while (listener.ends < count) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }

  EndListener listener;
  orva::SharedPointer<NetworkAdapter> adapter;
};

}  // namespace keldra_bench
