// Reading the account id file back, as the storage plug-in does in the daemon's process.
#include "transfer/FileManager.h"

#include "support/TestEnv.h"

#include <QDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using orva::keldra::internal::FileManager;

class AccountIdRead : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_tmp_ = std::getenv("TMPDIR");
    tmp_ = keldra_test::home_dir() + "/account-read-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
    QDir().mkpath(QString::fromStdString(tmp_));
    setenv("TMPDIR", tmp_.c_str(), 1);
    path_ = tmp_ + "/sync_params";
  }
  void TearDown() override { setenv("TMPDIR", saved_tmp_.c_str(), 1); }

  std::string saved_tmp_;
  std::string tmp_;
  std::string path_;
};

TEST_F(AccountIdRead, FirstLineOfAtMost63Characters) {
  struct Case {
    const char* name;
    std::string content;
    std::string account;
  };
  const Case cases[] = {
      {"plain", "abc", "abc"},
      {"line end kept", "abc\nsecond", "abc\n"},
      {"long", std::string(100, 'x'), std::string(63, 'x')},
      {"empty first line", "\nrest", "\n"},
  };
  auto files = FileManager::open();
  for (const Case& c : cases) {
    ASSERT_TRUE(keldra_test::write_file(path_, c.content));
    std::string account = "before";
    EXPECT_EQ(0, files->read_account_id_file(account)) << c.name;
    EXPECT_EQ(c.account, account) << c.name;
  }
}

TEST_F(AccountIdRead, WrittenIdReadsBack) {
  auto files = FileManager::open();
  ASSERT_EQ(0, files->write_account_id_file("abc"));
  std::string account;
  EXPECT_EQ(0, files->read_account_id_file(account));
  EXPECT_EQ("abc", account);
}

TEST_F(AccountIdRead, MissingOrEmptyFileGivesOneAndLeavesTheValue) {
  auto files = FileManager::open();
  std::string account = "kept";
  EXPECT_EQ(1, files->read_account_id_file(account));  // no file yet
  ASSERT_TRUE(keldra_test::write_file(path_, ""));
  EXPECT_EQ(1, files->read_account_id_file(account));
  EXPECT_EQ("kept", account);
}

}  // namespace
