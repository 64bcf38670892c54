#include "adaptation_umbo/events/DbusEventHandler.h"
#include "adaptation_umbo/syncml/SyncProfileHandler.h"
#include "adaptation_umbo/base/UmboException.h"

#include "SyncFixture.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QXmlStreamReader>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace {

using keldra_test::read_file;
using orva::keldra::SyncService;
using orva::keldra::internal::SyncProfileHandler;
using orva::keldra::internal::UmboException;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const char kUpdate[] = "updateProfile(maps-keldra)";

SyncService::SyncParams user_params(const std::string& user, const std::string& password) {
  SyncService::SyncParams p;
  p.service = "personal";
  p.user = user;
  p.password = password;
  p.iap = 3;
  p.account = "acc";
  return p;
}

SyncService::SyncParams token_params(const std::string& token) {
  SyncService::SyncParams p = user_params("ignored-user", "ignored-password");
  p.token = token;
  return p;
}

SyncService::SyncParams account_params() { return user_params("", ""); }

// The profile as the daemon expects it, with the given credential lines.
std::string profile(const std::string& server, const std::string& credentials,
                    const std::string& client, const std::string& db) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "\n"
         "<profile  name=\"keldra\" type=\"service\">\n"
         "\n"
         "    <key name=\"Remote database\" value=\"" +
         server +
         "\" />\n"
         "\n" +
         credentials +
         "\n"
         "    <key name=\"http_proxy_host\" value=\"\" />\n"
         "    <key name=\"http_proxy_port\" value=\"\" />\n"
         "\n"
         "    <key name=\"destinationtype\" value=\"online\"/>\n"
         "\n"
         "    <profile name=\"" +
         client +
         "\" type=\"client\" >\n"
         "                <key name=\"use_wbxml\" value=\"false\" />\n"
         "                <key name=\"Sync Transport\" value=\"HTTP\" />\n"
         "                <key name=\"Sync Direction\" value=\"two-way\" />\n"
         "                <key name=\"Sync Protocol\" value=\"SyncML11\" />\n"
         "    </profile>\n"
         "\n"
         "    <profile name=\"hkeldra\" type=\"storage\" >\n"
         "        <key name=\"Local URI\" value=\"" +
         db +
         "\" />\n"
         "        <key name=\"Target URI\" value=\"./server/KeldraDBCompact\" />\n"
         "    </profile>\n"
         "\n"
         "</profile>\n";
}

std::string user_lines(const std::string& user, const std::string& password) {
  return "    <key name=\"Username\" value=\"" + user +
         "\" />\n"
         "    <key name=\"Password\" value=\"" +
         password + "\" />\n";
}

std::string account_line(Accounts::AccountId id) {
  return "    <key name=\"accountid\" value=\"" + std::to_string(id) + "\" />\n";
}

// Every key of the profile read back by an XML reader, as (profile name, key name,
// value) in document order; "!error" when the reader fails.
std::vector<std::vector<std::string>> read_keys(const std::string& text) {
  std::vector<std::vector<std::string>> keys;
  std::vector<std::string> profiles;
  QXmlStreamReader xml(QByteArray::fromStdString(text));
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement() && xml.name() == QLatin1String("profile")) {
      profiles.push_back(xml.attributes().value("name").toString().toStdString());
    } else if (xml.isEndElement() && xml.name() == QLatin1String("profile")) {
      profiles.pop_back();
    } else if (xml.isStartElement() && xml.name() == QLatin1String("key")) {
      keys.push_back({profiles.empty() ? std::string() : profiles.back(),
                      xml.attributes().value("name").toString().toStdString(),
                      xml.attributes().value("value").toString().toStdString()});
    }
  }
  if (xml.hasError()) keys.push_back({"!error", xml.errorString().toStdString()});
  return keys;
}

class ProfileTest : public keldra_test::SyncFixture {
 protected:
  void SetUp() override {
    clear_home(".sync");
    ASSERT_NO_FATAL_FAILURE(SyncFixture::SetUp());
    // The writer tells the daemon through the thread's hub, which its owner initialises.
    hub_ = orva::keldra::internal::DbusEventHandler::instance();
    hub_->init();
  }
  void TearDown() override {
    handler_.reset();
    hub_.release();
    SyncFixture::TearDown();
  }

  SyncProfileHandler& handler() {
    if (!handler_) handler_.reset(new SyncProfileHandler());
    return *handler_;
  }
  // Runs set_sync_parameters; the code of an UmboException, else 0.
  int set(const SyncService::SyncParams& params, const std::string& db = "./KeldraDB",
          const std::string& server = "https://sync.example.com:443/sync") {
    try {
      handler().set_sync_parameters(params, orva::ustring(db.c_str()), server);
      return 0;
    } catch (const UmboException& e) {
      return e.get_reason();
    }
  }
  std::string file() const { return read_file(path()); }
  bool file_exists() const { return QFile::exists(QString::fromStdString(path())); }
  void remove_file() { QFile::remove(QString::fromStdString(path())); }
  static std::string dir() { return keldra_test::home_dir() + "/.sync/profiles/service"; }
  static std::string path() { return dir() + "/keldra.xml"; }
  // Names in the profile folder: a write leaves nothing beside the profile.
  static QStringList folder() {
    return QDir(QString::fromStdString(dir()))
        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
  }

  orva::SharedPointer<orva::keldra::internal::DbusEventHandler> hub_;
  std::unique_ptr<SyncProfileHandler> handler_;
};

// The three credential cases, byte for byte.
struct CredentialCase {
  const char* name;
  std::function<SyncService::SyncParams()> params;
  std::function<std::string(Accounts::AccountId)> credentials;
  const char* client;
};

void PrintTo(const CredentialCase& c, std::ostream* os) { *os << c.name; }

class ProfileCredentials : public ProfileTest,
                           public ::testing::WithParamInterface<CredentialCase> {};

TEST_P(ProfileCredentials, WritesTheProfileByteForByte) {
  accounts_->create("other");
  const Accounts::AccountId zem = accounts_->create("zem");
  ASSERT_NE(zem, 0u);
  ASSERT_EQ(set(GetParam().params(), "./KeldraDB", "https://sync.example.com:443/sync"), 0);
  EXPECT_EQ(file(), profile("https://sync.example.com:443/sync", GetParam().credentials(zem),
                            GetParam().client, "./KeldraDB"));
  EXPECT_THAT(daemon_calls(), ElementsAre(kUpdate));
  EXPECT_EQ(folder(), QStringList{"keldra.xml"});
  // It holds a password: readable by its owner only.
  struct stat st;
  ASSERT_EQ(stat(path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileCredentials,
    ::testing::Values(
        CredentialCase{"UserAndPassword", [] { return user_params("anna", "secret"); },
                       [](Accounts::AccountId) { return user_lines("anna", "secret"); }, "syncml"},
        CredentialCase{"UserWithEmptyPassword", [] { return user_params("anna", ""); },
                       [](Accounts::AccountId) { return user_lines("anna", ""); }, "syncml"},
        CredentialCase{"TokenReplacesUserAndPassword", [] { return token_params("T0k3n"); },
                       [](Accounts::AccountId) { return user_lines("_token_T0k3n", "brunmoset"); },
                       "syncml"},
        // Reserved characters as references, line breaks and tabs as character references.
        CredentialCase{"EscapedValues", [] { return user_params("a&b", "q\"<x>&'\t\n\r"); },
                       [](Accounts::AccountId) {
                         return user_lines("a&amp;b", "q&quot;&lt;x&gt;&amp;'&#9;&#10;&#13;");
                       },
                       "syncml"},
        CredentialCase{"OnlineAccount", [] { return account_params(); },
                       [](Accounts::AccountId id) { return account_line(id); }, "zemsyncml"},
        CredentialCase{"PasswordWithoutUserUsesAccount", [] { return user_params("", "stray"); },
                       [](Accounts::AccountId id) { return account_line(id); }, "zemsyncml"}),
    [](const ::testing::TestParamInfo<CredentialCase>& info) {
      return std::string(info.param.name);
    });

TEST_F(ProfileTest, DatabaseNameAndServerAddressAsGiven) {
  ASSERT_EQ(set(user_params("u", "p"), "./OtherDB", "https://china.example.cn:443/sync"), 0);
  EXPECT_EQ(file(), profile("https://china.example.cn:443/sync", user_lines("u", "p"), "syncml",
                            "./OtherDB"));
}

// Values that XML reserves must read back unchanged and never add keys.
struct HostileCase {
  const char* name;
  std::string value;
};

void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.name; }

class ProfileHostileValues : public ProfileTest, public ::testing::WithParamInterface<HostileCase> {
 protected:
  // The keys of a profile written for user "u", password "p", db and server as given.
  static std::vector<std::vector<std::string>> expected_keys(const std::string& user,
                                                             const std::string& password,
                                                             const std::string& db,
                                                             const std::string& server) {
    return {{"keldra", "Remote database", server},
            {"keldra", "Username", user},
            {"keldra", "Password", password},
            {"keldra", "http_proxy_host", ""},
            {"keldra", "http_proxy_port", ""},
            {"keldra", "destinationtype", "online"},
            {"syncml", "use_wbxml", "false"},
            {"syncml", "Sync Transport", "HTTP"},
            {"syncml", "Sync Direction", "two-way"},
            {"syncml", "Sync Protocol", "SyncML11"},
            {"hkeldra", "Local URI", db},
            {"hkeldra", "Target URI", "./server/KeldraDBCompact"}};
  }
};

TEST_P(ProfileHostileValues, PasswordReadsBackUnchanged) {
  const std::string& value = GetParam().value;
  ASSERT_EQ(set(user_params("u", value), "./KeldraDB", "https://s/sync"), 0);
  EXPECT_EQ(read_keys(file()), expected_keys("u", value, "./KeldraDB", "https://s/sync"));
}

TEST_P(ProfileHostileValues, EveryWrittenValueReadsBackUnchanged) {
  const std::string& value = GetParam().value;
  ASSERT_EQ(set(user_params("u" + value, "p"), "./db" + value, "https://s/sync" + value), 0);
  EXPECT_EQ(read_keys(file()),
            expected_keys("u" + value, "p", "./db" + value, "https://s/sync" + value));
}

TEST_P(ProfileHostileValues, TokenReadsBackUnchanged) {
  const std::string& value = GetParam().value;
  ASSERT_EQ(set(token_params(value), "./KeldraDB", "https://s/sync"), 0);
  EXPECT_EQ(read_keys(file()),
            expected_keys("_token_" + value, "brunmoset", "./KeldraDB", "https://s/sync"));
}

INSTANTIATE_TEST_SUITE_P(
    Values, ProfileHostileValues,
    ::testing::Values(HostileCase{"Quote", "pa\"ss"}, HostileCase{"LessThan", "a<b"},
                      HostileCase{"Ampersand", "fish&chips"},
                      HostileCase{"EntityText", "&amp;&lt;&#65;"},
                      HostileCase{"GreaterThan", "a>b"}, HostileCase{"Apostrophe", "it's"},
                      HostileCase{"InjectsKey", "x\" /><key name=\"Username\" value=\"evil"},
                      HostileCase{"ClosesProfile", "\"/></profile><profile name=\"x"},
                      HostileCase{"CdataEnd", "]]>"}, HostileCase{"Comment", "<!-- c -->"},
                      HostileCase{"TabLineFeedReturn", "a\tb\nc\rd\r\n"},
                      HostileCase{"OuterBlanks", "  two  blanks  "},
                      HostileCase{"NonAscii", "p\xC3\xA4ss \xE2\x82\xAC \xF0\x9F\x98\x80"}),
    [](const ::testing::TestParamInfo<HostileCase>& info) { return std::string(info.param.name); });

// Values no XML document can carry are refused with 3; the old profile stays and
// nothing is remembered.
TEST_F(ProfileTest, ValueXmlCannotCarryIsRefused) {
  ASSERT_EQ(set(user_params("u", "good")), 0);
  const std::string before = file();
  daemon_->clear_calls();
  for (const std::string& bad :
       {std::string("bell\x07"), std::string("nul\0x", 5), std::string("bad\xFF utf8"),
        std::string("\xED\xA0\x80"), std::string("\xEF\xBF\xBE")}) {
    EXPECT_EQ(set(user_params("u", bad)), 3) << bad;
    EXPECT_EQ(file(), before);
    EXPECT_EQ(folder(), QStringList{"keldra.xml"});
  }
  EXPECT_THAT(daemon_calls(), IsEmpty());
  // The good parameters are still the remembered ones.
  EXPECT_EQ(set(user_params("u", "good")), 0);
  EXPECT_THAT(daemon_calls(), IsEmpty());
}

// The rewrite rules: which calls rewrite the profile (and tell the daemon).
struct RewriteStep {
  SyncService::SyncParams params;
  std::string db;
  std::string server;
  bool rewrites;
};

struct RewriteCase {
  const char* name;
  std::vector<RewriteStep> steps;
};

void PrintTo(const RewriteCase& c, std::ostream* os) { *os << c.name; }

RewriteStep step(SyncService::SyncParams params, bool rewrites, std::string db = "./KeldraDB",
                 std::string server = "https://s/sync") {
  return RewriteStep{std::move(params), std::move(db), std::move(server), rewrites};
}

template <class Change>
SyncService::SyncParams changed(Change change) {
  SyncService::SyncParams p = user_params("anna", "secret");
  change(p);
  return p;
}

class ProfileRewriteRules : public ProfileTest,
                            public ::testing::WithParamInterface<RewriteCase> {};

TEST_P(ProfileRewriteRules, RewritesOnlyWhenNeeded) {
  ASSERT_NE(accounts_->create("zem"), 0u);
  int index = 0;
  int expected_updates = 0;
  for (const RewriteStep& s : GetParam().steps) {
    remove_file();
    ASSERT_EQ(set(s.params, s.db, s.server), 0) << "step " << index;
    EXPECT_EQ(file_exists(), s.rewrites) << "step " << index;
    if (s.rewrites) ++expected_updates;
    EXPECT_EQ(static_cast<int>(daemon_calls().size()), expected_updates) << "step " << index;
    ++index;
  }
}

const SyncService::SyncParams kUser = user_params("anna", "secret");

INSTANTIATE_TEST_SUITE_P(
    Rules, ProfileRewriteRules,
    ::testing::Values(
        RewriteCase{"SameUserTwiceWritesOnce", {step(kUser, true), step(kUser, false)}},
        RewriteCase{"AccessPoint",
                    {step(kUser, true), step(changed([](auto& p) { p.iap = 4; }), true)}},
        RewriteCase{"UserName",
                    {step(kUser, true), step(changed([](auto& p) { p.user = "bert"; }), true)}},
        RewriteCase{"Password",
                    {step(kUser, true), step(changed([](auto& p) { p.password = "x"; }), true)}},
        RewriteCase{"Service",
                    {step(kUser, true), step(changed([](auto& p) { p.service = "other"; }), true)}},
        RewriteCase{"Token",
                    {step(kUser, true), step(changed([](auto& p) { p.token = "t"; }), true),
                     step(changed([](auto& p) { p.token = "t"; }), false)}},
        RewriteCase{"DatabaseName", {step(kUser, true), step(kUser, true, "./Other")}},
        RewriteCase{"ServerAddress",
                    {step(kUser, true), step(kUser, true, "./KeldraDB", "https://c/sync")}},
        RewriteCase{"AccountIdAloneDoesNot",
                    {step(kUser, true), step(changed([](auto& p) { p.account = "77"; }), false)}},
        RewriteCase{"OnlineAccountOnceWritten",
                    {step(account_params(), true), step(account_params(), false)}},
        // The first write happens even when the parameters equal the initial ones.
        RewriteCase{"FirstCallEqualToInitialValues",
                    {step(SyncService::SyncParams(), true, "./KeldraDB", ""),
                     step(SyncService::SyncParams(), false, "./KeldraDB", "")}},
        RewriteCase{"UserThenAccountThenUser",
                    {step(kUser, true), step(account_params(), true), step(kUser, true)}}),
    [](const ::testing::TestParamInfo<RewriteCase>& info) { return std::string(info.param.name); });

TEST_F(ProfileTest, NoZemAccountGives6004AndKeepsTheOldProfile) {
  ASSERT_NE(accounts_->create("other"), 0u);
  ASSERT_EQ(set(user_params("u", "p")), 0);
  const std::string before = file();
  daemon_->clear_calls();
  EXPECT_EQ(set(account_params()), ORVA_ERROR_KELDRA_LOGIN_FAILED);
  EXPECT_THAT(daemon_calls(), IsEmpty());
  EXPECT_EQ(file(), before);
  EXPECT_EQ(folder(), QStringList{"keldra.xml"});
  EXPECT_TRUE(log_->has("SyncProfileHandler::findZemAccountId, zem account not found!"));
  EXPECT_TRUE(log_->has("SyncProfileHandler::write_params_to_file, zem account was not found!"));
  // Not remembered: the user's parameters still count as the last written.
  EXPECT_EQ(set(user_params("u", "p")), 0);
  EXPECT_THAT(daemon_calls(), IsEmpty());
}

TEST_F(ProfileTest, EmptyAccountsStoreSaysSo) {
  EXPECT_EQ(handler().findZemAccount(), nullptr);
  EXPECT_TRUE(
      log_->has("SyncProfileHandler::findZemAccountId, trying to use account, but no "
                "accounts on the device!"));
}

TEST_F(ProfileTest, FirstZemAccountInStoreOrderIsTheOnlineAccount) {
  const Accounts::AccountId a = accounts_->create("zem");
  const Accounts::AccountId other = accounts_->create("other");
  const Accounts::AccountId b = accounts_->create("zem");
  // The store lists its accounts in an order of its own; the first zem there counts.
  const Accounts::AccountIdList order = accounts_->ids();
  ASSERT_EQ(order.size(), 3);
  const Accounts::AccountId first = order.indexOf(a) < order.indexOf(b) ? a : b;
  Accounts::Account* found = handler().findZemAccount();
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->id(), first);
  EXPECT_NE(found->id(), other);
}

// A profile that could not be written is not remembered: the same parameters write it
// at the next call. The daemon is still told, as before.
TEST_F(ProfileTest, FailedWriteIsTriedAgain) {
  const std::string blocker = keldra_test::home_dir() + "/.sync/profiles/service";
  ASSERT_TRUE(keldra_test::write_file(blocker, "a file where the folder belongs"));
  EXPECT_EQ(set(user_params("u", "p")), 0);
  EXPECT_TRUE(
      log_->has("ERROR: SyncProfileHandler::write_params_to_file: failed to create "
                "directory '" +
                keldra_test::home_dir() + "//.sync/profiles/service/'!"));
  EXPECT_THAT(daemon_calls(), ElementsAre(kUpdate));

  QFile::remove(QString::fromStdString(blocker));
  EXPECT_EQ(set(user_params("u", "p")), 0);
  EXPECT_EQ(file(), profile("https://sync.example.com:443/sync", user_lines("u", "p"), "syncml",
                            "./KeldraDB"));
  EXPECT_THAT(daemon_calls(), ElementsAre(kUpdate, kUpdate));
}

TEST_F(ProfileTest, ProfileThatCannotBeReplacedIsTriedAgain) {
  // A folder in the profile's place: the new file cannot be renamed over it.
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(path())));
  EXPECT_EQ(set(user_params("u", "p")), 0);
  EXPECT_TRUE(
      log_->has("ERROR: SyncProfileHandler::write_params_to_file: failed to open profile file!"));
  EXPECT_EQ(folder(), QStringList{"keldra.xml"});

  ASSERT_TRUE(QDir(QString::fromStdString(path())).removeRecursively());
  EXPECT_EQ(set(user_params("u", "p")), 0);
  EXPECT_EQ(file(), profile("https://sync.example.com:443/sync", user_lines("u", "p"), "syncml",
                            "./KeldraDB"));
}

TEST_F(ProfileTest, WriteParamsToFileUsesTheRememberedValues) {
  ASSERT_EQ(set(token_params("abc")), 0);
  remove_file();
  handler().write_params_to_file();
  EXPECT_EQ(file(), profile("https://sync.example.com:443/sync",
                            user_lines("_token_abc", "brunmoset"), "syncml", "./KeldraDB"));
}

TEST_F(ProfileTest, WritesAreLogged) {
  ASSERT_EQ(set(token_params("abc")), 0);
  ASSERT_EQ(set(user_params("anna", "secret")), 0);
  EXPECT_TRUE(
      log_->has("SyncProfileHandler::set_sync_parameters: sync parameters changed, writing "
                "new parameters"));
  EXPECT_TRUE(
      log_->has("SyncProfileHandler::write_params_to_file (using token): "
                "https://sync.example.com:443/sync, brunmoset, syncml, ./KeldraDB"));
  EXPECT_TRUE(
      log_->has("SyncProfileHandler::write_params_to_file (normal): "
                "https://sync.example.com:443/sync, anna, syncml, ./KeldraDB"));
  EXPECT_FALSE(log_->has("secret"));
}

}  // namespace
