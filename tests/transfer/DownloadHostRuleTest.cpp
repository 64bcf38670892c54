// The download host rule: which download addresses may carry the sync server's
// credentials, as a table of server and download addresses.
#include "transfer/DownloadHostRule.h"

#include <gtest/gtest.h>

#include <string>

namespace keldra_test {
namespace {

using orva::keldra::internal::download_digest_allowed;
using orva::keldra::internal::split_url;

struct RuleCase {
  const char* server;
  const char* download;
  orva::ErrorCode code;
  bool allowed;
};

const RuleCase kRuleCases[] = {
    // Same host, any path or port.
    {"https://mobile.example.com/sync", "https://mobile.example.com/files/a.jpg", 0, true},
    {"https://mobile.example.com/sync", "https://mobile.example.com:8443/f", 0, true},
    // The server's download host, in one direction only.
    {"https://mobile.example.com/sync", "https://download.example.com/f", 0, true},
    {"https://download.example.com/sync", "https://mobile.example.com/f", 0, false},
    {"https://mobile.example.com/sync", "https://images.example.com/f", 0, false},
    // The rest of the host must be the same, letter case included.
    {"https://mobile.example.com/sync", "https://mobile.example.org/f", 0, false},
    {"https://mobile.example.com/sync", "https://mobile.EXAMPLE.com/f", 0, false},
    {"https://mobile.example.com/sync", "https://download.example.com.attacker.example/f", 0,
     false},
    // Credentials never go in the clear nor to a host hidden behind user info.
    {"https://mobile.example.com/sync", "http://mobile.example.com/f", 0, false},
    {"https://mobile.example.com/sync", "ftp://mobile.example.com/f", 0, false},
    {"https://mobile.example.com/sync", "https://download.example.com:x@attacker.example/f", 0,
     false},
    {"https://mobile.example.com/sync", "https://user@mobile.example.com/f", 0, false},
    // The host as the parser sees it, not a look-alike in the fragment or query.
    {"https://mobile.example.com/sync", "https://attacker.example#.mobile.example.com/f", 3, false},
    {"https://mobile.example.com/sync", "https://attacker.example?x=mobile.example.com/f", 3,
     false},
    // Addresses that cannot be split.
    {"https://mobile.example.com/sync", "https://download.example.com", 3, false},
    {"https://mobile.example.com/sync", "download.example.com/f", 3, false},
    {"https://mobile.example.com/sync", "https://localhost/a.b/f", 3, false},
    {"https://mobile.example.com/sync", "", 3, false},
    {"no server", "https://mobile.example.com/f", 3, false},
    // Loopback as the tests' server has it.
    {"https://127.0.0.1:4433/sync", "https://127.0.0.1:4433/md/1", 0, true},
};

TEST(DownloadHostRuleTest, DigestGoesOnlyToTheServerOrItsDownloadHostOverHttps) {
  for (const RuleCase& c : kRuleCases) {
    SCOPED_TRACE(std::string(c.server) + " -> " + c.download);
    bool allowed = true;
    std::string rest = "untouched";
    EXPECT_EQ(c.code, download_digest_allowed(c.server, c.download, &allowed, &rest));
    EXPECT_EQ(c.allowed, allowed);
  }
}

TEST(DownloadHostRuleTest, SplitGivesSchemeFirstLabelAndRestOfHost) {
  struct Case {
    const char* url;
    orva::ErrorCode code;
    const char* scheme;
    const char* label;
    const char* rest;
  };
  const Case cases[] = {
      {"s://alpha.beta.gamma:443/path", 0, "s", "alpha", "beta.gamma"},
      {"s://alpha.beta.gamma/files/x", 0, "s", "alpha", "beta.gamma"},
      {"https://user:pw@alpha.beta/x", 0, "https", "alpha", "beta"},
      {"https://alpha.beta", 3, "", "", ""},
      {"alpha.beta/x", 3, "", "", ""},
      {"https://alpha/x.y/z", 3, "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    std::string scheme, label, rest;
    EXPECT_EQ(c.code, split_url(c.url, scheme, label, rest));
    EXPECT_EQ(c.scheme, scheme);
    EXPECT_EQ(c.label, label);
    EXPECT_EQ(c.rest, rest);
  }
}

}  // namespace
}  // namespace keldra_test
