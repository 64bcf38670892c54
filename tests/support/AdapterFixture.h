// A fresh "personal" adapter over a new database file under the test's home, its
// observer registered through the adapter, and a peer on the private bus that hears
// what the relay broadcasts.
#pragma once

#include "support/EventsTestSupport.h"
#include "support/DbusTestBus.h"
#include "support/LogCapture.h"

#include <keldra/DataAdapter.h>
#include <keldra/Object.h>
#include <keldra/ProgressHandler.h>
#include <keldra/Repository.h>
#include <keldra/SharedPointer.h>
#include <keldra/Static.h>

#include "adaptation_umbo/storage/DataAdapterUmbo.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

namespace keldra_test {

struct RecordingHandler : public orva::keldra::ProgressHandler {
  void handle_progress(float progress, orva::ErrorCode status) override {
    reports.push_back(std::make_pair(progress, status));
  }
  std::vector<std::pair<float, orva::ErrorCode>> reports;
};

class AdapterTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A place that the store accepts, with modified marks set.
  static orva::keldra::Object place(const char* name);
  // Inserts a new place through the repository; its local id (0 on failure).
  unsigned int insert(const char* name = "place");
  // Waits until everything sent so far has reached the peer and the observer.
  void settle_bus() { ASSERT_TRUE(settle(*peer_)); }
  // The wire form of created events of these local ids: one call or one batch.
  static Broadcast created_on_wire(const std::vector<unsigned int>& ids);

  // Held as a store holds it: the thread's string pool and manager live while it does.
  orva::SharedPointer<orva::keldra::Static> static_;
  orva::SharedPointer<orva::keldra::DataAdapter> adapter_;
  orva::keldra::internal::DataAdapterUmbo* umbo_ = nullptr;
  orva::SharedPointer<orva::keldra::Repository> repo_;
  std::unique_ptr<Peer> peer_;
  RecordingObserver observer_;
  // Set before SetUp to read back the log of the test (every type allowed).
  bool capture_log_ = false;
  std::unique_ptr<LogCapture> log_;
};

}  // namespace keldra_test
