// The parameter check and the authorisation digest, and what they leave in the log.
#include "support/LogCapture.h"

#include <keldra/SyncService.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using orva::keldra::SyncService;
using keldra_test::LogCapture;

SyncService::SyncParams make_params(const std::string& user, const std::string& password,
                                    const std::string& token) {
  SyncService::SyncParams p;
  p.service = "personal";
  p.user = user;
  p.password = password;
  p.token = token;
  p.iap = 7;
  p.account = "acc-1";
  return p;
}

TEST(SyncParams, CheckAcceptsTokenOrUserWithPasswordOrNothing) {
  struct Case {
    const char* what;
    const char* user;
    const char* password;
    const char* token;
    orva::ErrorCode result;
    const char* message;  // null: neither refusal message
  };
  const Case cases[] = {
      {"user and password", "anna", "s3cret!", "", 0, nullptr},
      {"nothing: the online account", "", "", "", 0, nullptr},
      {"token alone", "", "", "tok-XYZ", 0, nullptr},
      {"token wins over a lone user", "anna", "", "tok-XYZ", 0, nullptr},
      {"token wins over a lone password", "", "s3cret!", "tok-XYZ", 0, nullptr},
      {"user without password", "anna", "", "", 3,
       "SyncService::check_sync_params: No password defined."},
      {"password without user", "", "s3cret!", "", 3,
       "SyncService::check_sync_params: No username defined."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LogCapture log;
    EXPECT_EQ(c.result, SyncService::check_sync_params(make_params(c.user, c.password, c.token)));
    EXPECT_TRUE(log.has("SyncService::check_sync_params: iap 7, user '" + std::string(c.user) +
                        "', account 'acc-1'"));
    EXPECT_TRUE(log.has("SyncService::check_sync_params: token length " +
                        std::to_string(std::string(c.token).size())));
    EXPECT_EQ(*c.token == 0,
              log.has("SyncService::check_sync_params: No token defined, checking username and "
                      "password."));
    EXPECT_EQ(c.message != nullptr,
              log.has("No password defined.") || log.has("No username defined."));
    if (c.message) {
      EXPECT_TRUE(log.has(c.message));
    }
    // Credentials never reach the log.
    if (*c.token) {
      EXPECT_FALSE(log.has(c.token));
    }
    if (*c.password) {
      EXPECT_FALSE(log.has(c.password));
    }
  }
}

TEST(SyncParams, AuthDigestIsBase64OfTheCredentials) {
  struct Case {
    const char* what;
    std::string user;
    std::string password;
    std::string token;
    std::string digest;
  };
  const Case cases[] = {
      {"user and password", "user", "secret", "", "dXNlcjpzZWNyZXQ="},
      {"empty password", "user", "", "", "dXNlcjo="},
      {"UTF-8 and a colon in the password", "j\xC3\xB6rg", "p\xC3\xA4ss:w", "",
       "asO2cmc6cMOkc3M6dw=="},
      {"token", "", "", "abc123", "X3Rva2VuX2FiYzEyMzpicnVubW9zZXQ="},
      {"token ignores user and password", "user", "secret", "abc123",
       "X3Rva2VuX2FiYzEyMzpicnVubW9zZXQ="},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LogCapture log;
    std::string digest = "previous";
    EXPECT_EQ(0, SyncService::create_auth_digest(make_params(c.user, c.password, c.token), digest));
    EXPECT_EQ(c.digest, digest);
    EXPECT_FALSE(log.has(c.digest));
  }
}

TEST(SyncParams, AuthDigestWithoutTokenOrUserIsRefused) {
  const SyncService::SyncParams cases[] = {make_params("", "", ""), make_params("", "pw", "")};
  for (const auto& params : cases) {
    LogCapture log;
    std::string digest = "kept as it was";
    EXPECT_EQ(3, SyncService::create_auth_digest(params, digest));
    EXPECT_EQ("kept as it was", digest);
    EXPECT_TRUE(log.has("SyncService::create_auth_digest: no token or username"));
  }
}

}  // namespace
