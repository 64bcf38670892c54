// The set-up the sync tests share, made in this order: a log capture (before anything
// holds the logger, as the D-Bus hub does, since the logger reads its level once), a
// private accounts store named after the test, and the shared fake sync daemon with its
// recorded calls cleared, taking every start. A derived fixture clears the home folders it writes to before
// SyncFixture::SetUp() and adds its own parts after it.
#pragma once

#include "SyncTestDaemon.h"
#include "TestAccounts.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace keldra_test {

class SyncFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  // Drops the accounts store, then the log capture.
  void TearDown() override;

  // Removes |folder| (e.g. ".sync") below the test's home with all it holds.
  static void clear_home(const std::string& folder);
  // The daemon's calls since the test began (or the last clear_calls()).
  std::vector<std::string> daemon_calls() const;

  std::unique_ptr<LogCapture> log_;
  std::unique_ptr<TestAccounts> accounts_;
  FakeSyncDaemon* daemon_ = nullptr;
};

}  // namespace keldra_test
