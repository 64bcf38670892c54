#include "SyncFixture.h"

#include "support/TestEnv.h"

#include <QDir>
#include <QString>

namespace keldra_test {

void SyncFixture::SetUp() {
  log_.reset(new LogCapture);
  accounts_.reset(
      new TestAccounts(::testing::UnitTest::GetInstance()->current_test_info()->name()));
  ASSERT_TRUE(accounts_->ready()) << accounts_->error();
  std::string error;
  daemon_ = shared_fake_daemon(error);
  ASSERT_NE(daemon_, nullptr) << error;
  daemon_->clear_calls();
  // A test that made the shared daemon refuse starts may have ended before undoing it.
  daemon_->set_start_answer(true);
}

void SyncFixture::TearDown() {
  accounts_.reset();
  log_.reset();
}

void SyncFixture::clear_home(const std::string& folder) {
  QDir(QString::fromStdString(home_dir() + "/" + folder)).removeRecursively();
}

std::vector<std::string> SyncFixture::daemon_calls() const {
  return keldra_test::daemon_calls(*daemon_);
}

}  // namespace keldra_test
