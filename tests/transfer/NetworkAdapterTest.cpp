#include "transfer/NetworkAdapter.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using orva::keldra::DynamicBuffer;
using orva::keldra::internal::NetworkAdapter;

struct StatusCase {
  unsigned int http_status;
  orva::ErrorCode code;
};

TEST(NetworkAdapterStatus, MapsEveryRangeAndItsBorders) {
  const StatusCase cases[] = {
      {0, 1},        {100, 1},      {199, 1},
      {200, 0},      {204, 0},      {299, 0},
      {300, 1},      {302, 1},      {399, 1},
      {400, 3},      {401, 0x6004}, {402, 1},
      {403, 0x6004}, {404, 8},      {405, 1},
      {499, 1},      {500, 0x6005}, {503, 0x6005},
      {599, 0x6005}, {600, 0x6005}, {0xFFFFFFFFu, 0x6005},
  };
  for (const StatusCase& c : cases) {
    EXPECT_EQ(NetworkAdapter::http_status_to_error_code(c.http_status), c.code)
        << "HTTP " << c.http_status;
  }
}

// Records the state changes it hears.
class StateRecorder : public NetworkAdapter::Listener {
 public:
  void handle_network_state_change(orva::ErrorCode status, NetworkAdapter::State state) override {
    changes.emplace_back(status, state);
  }
  void handle_network_response_head(const NetworkAdapter::Response&) override {}
  void handle_network_response_body(const orva::SharedPointer<DynamicBuffer>&) override {}
  void handle_network_progress(float) override {}

  std::vector<std::pair<orva::ErrorCode, NetworkAdapter::State>> changes;
};

// The smallest adapter: moves through the states on request.
class SteppingAdapter : public NetworkAdapter {
 public:
  explicit SteppingAdapter(Listener& listener) : NetworkAdapter(listener) {}
  void step(State state, orva::ErrorCode status) { state_changed(state, status); }

  orva::ErrorCode open(unsigned int) override { return 0; }
  void close() override {}
  orva::ErrorCode get(const std::string&, const std::string&) override { return 0; }
  orva::ErrorCode post(const std::string&, const std::string&,
                       const orva::SharedPointer<DynamicBuffer>&) override {
    return 0;
  }
  orva::ErrorCode post_mmf(const std::string&, const std::string&, const std::string&,
                           const std::string&, const orva::SharedPointer<DynamicBuffer>&) override {
    return 0;
  }
  orva::ErrorCode post_zip_request(const std::string&, const std::string&,
                                   const orva::SharedPointer<DynamicBuffer>&) override {
    return 0;
  }
  bool is_active() const override { return false; }
  void cancel() override {}
};

TEST(NetworkAdapterState, ReportsOnlyRealChangesAfterStoringThem) {
  StateRecorder recorder;
  orva::SharedPointer<SteppingAdapter> adapter(new SteppingAdapter(recorder));
  EXPECT_EQ(adapter->state(), NetworkAdapter::CLOSED);

  adapter->step(NetworkAdapter::CLOSED, 5);  // no change: the failure is dropped
  adapter->step(NetworkAdapter::PREPARING, 0);
  adapter->step(NetworkAdapter::READY, 0);
  adapter->step(NetworkAdapter::READY, 0x6005);  // dropped as well
  adapter->step(NetworkAdapter::REQUEST_SENT, 0);
  adapter->step(NetworkAdapter::READY, 0x6004);
  adapter->step(NetworkAdapter::CLOSED, 0);

  const std::vector<std::pair<orva::ErrorCode, NetworkAdapter::State>> expected = {
      {0, NetworkAdapter::PREPARING},    {0, NetworkAdapter::READY},
      {0, NetworkAdapter::REQUEST_SENT}, {0x6004, NetworkAdapter::READY},
      {0, NetworkAdapter::CLOSED},
  };
  EXPECT_EQ(recorder.changes, expected);
  EXPECT_EQ(adapter->state(), NetworkAdapter::CLOSED);
}

}  // namespace
