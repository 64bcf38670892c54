#include "transfer/FileManager.h"

#include "support/TestEnv.h"

#include <QDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using keldra_test::read_file;
using keldra_test::write_file;
using orva::keldra::internal::FileManager;

class AccountIdFile : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_tmp_ = std::getenv("TMPDIR");
    tmp_ = keldra_test::home_dir() + "/account-id-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
    QDir().mkpath(QString::fromStdString(tmp_));
    setenv("TMPDIR", tmp_.c_str(), 1);
    path_ = tmp_ + "/sync_params";
  }
  void TearDown() override { setenv("TMPDIR", saved_tmp_.c_str(), 1); }

  // Names in the temporary folder: a write must leave nothing but the file.
  QStringList entries() const {
    return QDir(QString::fromStdString(tmp_))
        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden);
  }
  mode_t mode() const {
    struct stat st;
    return lstat(path_.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
  }

  std::string saved_tmp_;
  std::string tmp_;
  std::string path_;
};

struct Content {
  const char* name;
  std::string account;
  std::string stored;
};

class AccountIdContent : public AccountIdFile, public ::testing::WithParamInterface<Content> {};

TEST_P(AccountIdContent, FileHoldsIdWithoutLineEnd) {
  // A longer earlier id must not leave its tail behind.
  ASSERT_TRUE(write_file(path_, "previous-account-id-that-is-longer\n"));
  auto files = FileManager::open();
  ASSERT_TRUE(files.is_valid());
  EXPECT_EQ(files->write_account_id_file(GetParam().account), 0);
  EXPECT_EQ(read_file(path_), GetParam().stored);
  EXPECT_EQ(entries(), QStringList{"sync_params"});
}

INSTANTIATE_TEST_SUITE_P(
    Ids, AccountIdContent,
    ::testing::Values(Content{"Decimal", "42", "42"}, Content{"Empty", "", ""},
                      Content{"EndsAtZeroByte", std::string("7\0tail", 6), "7"},
                      Content{"LineEndKept", "12\n", "12\n"},
                      Content{"Utf8", "k\xC3\xA4yttäjä", "k\xC3\xA4yttäjä"}),
    [](const ::testing::TestParamInfo<Content>& info) { return std::string(info.param.name); });

TEST_F(AccountIdFile, OwnerOnlyEvenWhenOldFileWasOpen) {
  ASSERT_TRUE(write_file(path_, "1"));
  ASSERT_EQ(chmod(path_.c_str(), 0666), 0);
  EXPECT_EQ(FileManager::open()->write_account_id_file("2"), 0);
  EXPECT_EQ(mode(), 0600u);
  EXPECT_EQ(read_file(path_), "2");
}

TEST_F(AccountIdFile, LinkAtTheNameIsReplacedNotFollowed) {
  const std::string victim = keldra_test::home_dir() + "/victim-" +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name();
  ASSERT_TRUE(write_file(victim, "keep"));
  ASSERT_EQ(symlink(victim.c_str(), path_.c_str()), 0);
  EXPECT_EQ(FileManager::open()->write_account_id_file("5"), 0);
  EXPECT_EQ(read_file(victim), "keep");
  struct stat st;
  ASSERT_EQ(lstat(path_.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(read_file(path_), "5");
}

TEST_F(AccountIdFile, UnusableFolderGivesOne) {
  // Qt has no temporary path for a missing TMPDIR; the file must not land in "/".
  setenv("TMPDIR", (tmp_ + "/missing").c_str(), 1);
  struct stat st;
  const bool root_had_file = lstat("/sync_params", &st) == 0;
  EXPECT_EQ(FileManager::open()->write_account_id_file("3"), 1);
  if (!root_had_file) {
    EXPECT_NE(lstat("/sync_params", &st), 0);
  }

  // A folder in the file's place cannot be replaced; nothing is left beside it.
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(path_)));
  setenv("TMPDIR", tmp_.c_str(), 1);
  EXPECT_EQ(FileManager::open()->write_account_id_file("3"), 1);
  EXPECT_EQ(entries(), QStringList{"sync_params"});
}

TEST(FileManager, OpenGivesANewObjectEachCall) {
  auto a = FileManager::open();
  auto b = FileManager::open();
  ASSERT_TRUE(a.is_valid() && b.is_valid());
  EXPECT_NE(a.get(), b.get());
  EXPECT_EQ(a->get_ref_count(), 1u);
}

}  // namespace
