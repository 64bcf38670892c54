// A store opened on a fresh database file under the test's home (with the private bus
// and its relay running, as an application has them, and the trace log on), places
// stored in it, and a progress listener that records what the cache reports.
#pragma once

#include "support/DbusTestBus.h"
#include "support/LogCapture.h"

#include <keldra/ErrorCode.h>
#include <keldra/ObjectCache.h>
#include <keldra/ProgressHandler.h>
#include <keldra/SharedPointer.h>
#include <keldra/Store.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace keldra_test {

typedef std::pair<float, orva::ErrorCode> Report;

struct Reports : public orva::keldra::ProgressHandler {
  void handle_progress(float progress, orva::ErrorCode status) override {
    seen.push_back(Report(progress, status));
    if (on_report) on_report(progress, status);
  }
  // True once a final report (anything but 0x6001) arrived.
  bool ended() const {
    return !seen.empty() && seen.back().second != ORVA_ERROR_KELDRA_IN_PROGRESS;
  }
  std::vector<Report> seen;
  std::function<void(float, orva::ErrorCode)> on_report;
};

// Runs the Qt event loop for about |ms| milliseconds.
void pump_for(int ms);

class CacheTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Stores a place named |name| (in its metadata); its local id.
  unsigned int add_place(const std::string& name);
  // Stores |count| places named "place <n>" in one transaction; their local ids.
  std::vector<unsigned int> add_places(unsigned int count);
  // A new cache of the store, listened to by |reports|.
  orva::SharedPointer<orva::keldra::ObjectCache> new_cache(Reports& reports);
  // The loaded objects' ids, in order.
  static std::vector<unsigned int> ids_of(const orva::keldra::ObjectCache& cache);
  // Forgets earlier reports, loads and waits for the final report.
  static void load_all(orva::keldra::ObjectCache& cache, Reports& reports);

  static std::string db_path();

  // Every log type on, from before the store (and with it the logger) is made.
  std::unique_ptr<LogCapture> m_log;
  orva::SharedPointer<orva::keldra::Store> m_store;
};

}  // namespace keldra_test
