#include "adaptation_umbo/syncml/SyncMlHandlerUmbo.h"
#include "adaptation_umbo/syncml/SyncProfileHandler.h"

#include "SyncFixture.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using keldra_test::read_file;
using keldra_test::wait_until;
using orva::keldra::SyncMlHandler;
using orva::keldra::SyncService;
using orva::keldra::internal::SyncMlHandlerUmbo;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const char kUpdate[] = "updateProfile(maps-keldra)";
const char kStart[] = "startSync(maps-keldra)";
const char kAbort[] = "abortSync(maps-keldra)";

class RecordingListener : public SyncMlHandler::SyncMlListener {
 public:
  void sync_event(orva::ErrorCode status, float progress) override {
    events.emplace_back(status, progress);
  }
  std::vector<std::pair<orva::ErrorCode, float>> events;
};

SyncService::SyncParams params(const std::string& user, const std::string& password,
                               const std::string& account = "17") {
  SyncService::SyncParams p;
  p.service = "personal";
  p.user = user;
  p.password = password;
  p.account = account;
  return p;
}

class SyncMlHandlerTest : public keldra_test::SyncFixture {
 protected:
  void SetUp() override {
    clear_home(".sync");
    QFile::remove(QString::fromStdString(account_file()));
    ASSERT_NO_FATAL_FAILURE(SyncFixture::SetUp());
    handler_.reset(new SyncMlHandlerUmbo(listener_));
  }
  void TearDown() override {
    handler_.reset();
    SyncFixture::TearDown();
  }

  orva::ErrorCode sync(const SyncService::SyncParams& p) {
    return handler_->synchronize(p, orva::ustring("./KeldraDB"), "https://s/sync");
  }
  static std::string profile_path() {
    return keldra_test::home_dir() + "/.sync/profiles/service/keldra.xml";
  }
  static std::string account_file() { return QDir::tempPath().toStdString() + "/sync_params"; }
  bool profile_exists() const { return QFile::exists(QString::fromStdString(profile_path())); }
  void remove_profile() { QFile::remove(QString::fromStdString(profile_path())); }

  RecordingListener listener_;
  std::unique_ptr<SyncMlHandlerUmbo> handler_;
};

TEST_F(SyncMlHandlerTest, WritesProfileAndAccountFileThenStarts) {
  EXPECT_FALSE(handler_->is_active());
  EXPECT_EQ(sync(params("anna", "secret", "42")), 0);
  EXPECT_TRUE(handler_->is_active());
  EXPECT_THAT(daemon_calls(), ElementsAre(kUpdate, kStart));
  ASSERT_EQ(listener_.events.size(), 1u);
  EXPECT_EQ(listener_.events[0], std::make_pair(ORVA_ERROR_KELDRA_IN_PROGRESS, 0.05f));
  // The listener hears the daemon's reports.
  daemon_->emit_sync_status("maps-keldra", 4, "", 0);
  ASSERT_TRUE(wait_until([&] { return listener_.events.size() == 2; }));
  EXPECT_EQ(listener_.events[1], std::make_pair(ORVA_ERROR_NONE, 1.0f));
  EXPECT_NE(read_file(profile_path()).find("value=\"anna\""), std::string::npos);
  EXPECT_EQ(read_file(account_file()), "42");

  // Same parameters: no rewrite, but the account file is written again and the daemon
  // started again.
  remove_profile();
  EXPECT_EQ(sync(params("anna", "secret", "43")), 0);
  EXPECT_THAT(daemon_calls(), ElementsAre(kUpdate, kStart, kStart));
  EXPECT_FALSE(profile_exists());
  EXPECT_EQ(read_file(account_file()), "43");
}

TEST_F(SyncMlHandlerTest, NoZemAccountGives6004WithoutStarting) {
  ASSERT_NE(accounts_->create("other"), 0u);
  EXPECT_EQ(sync(params("", "")), ORVA_ERROR_KELDRA_LOGIN_FAILED);
  EXPECT_FALSE(handler_->is_active());
  EXPECT_THAT(daemon_calls(), IsEmpty());
  EXPECT_FALSE(QFile::exists(QString::fromStdString(account_file())));
  EXPECT_THAT(listener_.events, IsEmpty());
}

TEST_F(SyncMlHandlerTest, UnwritableValueGives3WithoutStarting) {
  EXPECT_EQ(sync(params("anna", std::string("bad\x01"))), ORVA_ERROR_INVALID_PARAMETERS);
  EXPECT_THAT(daemon_calls(), IsEmpty());
  EXPECT_FALSE(handler_->is_active());
}

TEST_F(SyncMlHandlerTest, CancelStopsListeningAndAborts) {
  ASSERT_EQ(sync(params("anna", "secret")), 0);
  handler_->cancel();
  EXPECT_FALSE(handler_->is_active());
  EXPECT_THAT(daemon_calls(), ElementsAre(kUpdate, kStart, kAbort));
  // No longer listening: a later report reaches no one.
  daemon_->emit_sync_status("maps-keldra", 4, "", 0);
  wait_until([] { return false; }, 300);
  EXPECT_EQ(listener_.events.size(), 1u);
}

TEST_F(SyncMlHandlerTest, SetActive) {
  ASSERT_EQ(sync(params("anna", "secret")), 0);
  handler_->setActive(false);
  EXPECT_FALSE(handler_->is_active());
}

// The accounts store's signals, from another manager over the bus, drive the rewrite
// of the account-mode profile.
TEST_F(SyncMlHandlerTest, AccountRemovedAndAddedRewriteTheProfile) {
  const Accounts::AccountId first = accounts_->create("zem");
  ASSERT_NE(first, 0u);
  ASSERT_EQ(sync(params("", "")), 0);
  EXPECT_NE(read_file(profile_path()).find("\"accountid\" value=\"" + std::to_string(first)),
            std::string::npos);
  ASSERT_EQ(handler_->profile_handler().online_account_id(), first);

  // Same parameters, account known: no rewrite.
  remove_profile();
  ASSERT_EQ(sync(params("", "")), 0);
  EXPECT_FALSE(profile_exists());

  // A second zem account while one is known changes nothing.
  const Accounts::AccountId second = accounts_->create("zem");
  ASSERT_NE(second, 0u);
  keldra_test::wait_until([] { return false; }, 300);
  ASSERT_EQ(sync(params("", "")), 0);
  EXPECT_FALSE(profile_exists());

  // Removing the known one: forgotten, and the next sync rewrites with the other.
  ASSERT_TRUE(accounts_->remove(first));
  ASSERT_TRUE(keldra_test::wait_until(
      [&] { return handler_->profile_handler().online_account() == nullptr; }));
  EXPECT_TRUE(
      log_->has("SyncProfileHandler::handleAccountRemoved: account removed was zem account"));
  ASSERT_EQ(sync(params("", "")), 0);
  EXPECT_NE(read_file(profile_path()).find("\"accountid\" value=\"" + std::to_string(second)),
            std::string::npos);

  // Removing the last one, then syncing: 0x6004; an account added then is taken up and
  // the next sync writes it.
  ASSERT_TRUE(accounts_->remove(second));
  ASSERT_TRUE(keldra_test::wait_until(
      [&] { return handler_->profile_handler().online_account() == nullptr; }));
  daemon_->clear_calls();
  EXPECT_EQ(sync(params("", "")), ORVA_ERROR_KELDRA_LOGIN_FAILED);
  EXPECT_THAT(daemon_calls(), IsEmpty());
  const Accounts::AccountId third = accounts_->create("zem");
  ASSERT_TRUE(keldra_test::wait_until(
      [&] { return handler_->profile_handler().online_account_id() == third; }));
  EXPECT_TRUE(
      log_->has("SyncProfileHandler::handleAccountCreated: account created was zem account"));
  remove_profile();
  ASSERT_EQ(sync(params("", "")), 0);
  EXPECT_NE(read_file(profile_path()).find("\"accountid\" value=\"" + std::to_string(third)),
            std::string::npos);
  EXPECT_THAT(daemon_calls(), ElementsAre(kUpdate, kStart));
}

TEST_F(SyncMlHandlerTest, OtherProvidersAccountsAreIgnored) {
  ASSERT_EQ(sync(params("anna", "secret")), 0);
  const Accounts::AccountId other = accounts_->create("other");
  ASSERT_NE(other, 0u);
  keldra_test::wait_until([] { return false; }, 300);
  EXPECT_EQ(handler_->profile_handler().online_account(), nullptr);
}

TEST_F(SyncMlHandlerTest, AnswersToItsDriverInterface) {
  QObject* object = handler_.get();
  EXPECT_EQ(object->qt_metacast("SyncMlHandler"),
            static_cast<void*>(static_cast<SyncMlHandler*>(handler_.get())));
  EXPECT_STREQ(object->metaObject()->className(), "orva::keldra::internal::SyncMlHandlerUmbo");
}

TEST_F(SyncMlHandlerTest, FactoryMakesThePlatformHandler) {
  handler_.reset();
  RecordingListener listener;
  std::unique_ptr<SyncMlHandler> made(SyncMlHandler::CreateInstance(listener));
  ASSERT_NE(dynamic_cast<SyncMlHandlerUmbo*>(made.get()), nullptr);
  EXPECT_EQ(
      made->synchronize(params("anna", "secret"), orva::ustring("./KeldraDB"), "https://s/sync"),
      0);
  EXPECT_TRUE(made->is_active());
  EXPECT_THAT(daemon_calls(), ElementsAre(kUpdate, kStart));
  made->cancel();
  EXPECT_FALSE(made->is_active());
}

}  // namespace
