#include "support/TestEnv.h"

#include <sysinfo/sysinfo.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using keldra_test::home_dir;
using keldra_test::write_file;

const char kVariable[] = "SYSINFO_VALUES_FILE";

// Sets the variable for one test and removes it afterwards.
class SysinfoTest : public ::testing::Test {
 protected:
  void TearDown() override { unsetenv(kVariable); }

  std::string use_file(const std::string& name, const std::string& content) {
    const std::string path = home_dir() + "/sysinfo/" + name;
    EXPECT_TRUE(write_file(path, content));
    setenv(kVariable, path.c_str(), 1);
    return path;
  }

  static std::vector<std::string> keys_of(system_config* context) {
    char** keys = nullptr;
    EXPECT_EQ(0, sysinfo_get_keys(context, &keys));
    std::vector<std::string> out;
    for (char** k = keys; k && *k; ++k) {
      out.push_back(*k);
      free(*k);
    }
    free(keys);
    return out;
  }

  // The value of |key|, or "<none>" when the call fails.
  static std::string value_of(system_config* context, const char* key) {
    uint8_t* value = reinterpret_cast<uint8_t*>(1);
    unsigned long length = 99;
    if (sysinfo_get_value(context, key, &value, &length) != 0) return "<none>";
    std::string out(reinterpret_cast<const char*>(value), length);
    free(value);
    return out;
  }
};

TEST_F(SysinfoTest, UnavailableWithoutAReadableFile) {
  struct Case {
    const char* what;
    const char* variable;  // null: unset
  };
  const std::string missing = home_dir() + "/sysinfo/does-not-exist";
  const Case cases[] = {
      {"variable unset", nullptr},
      {"variable empty", ""},
      {"file missing", missing.c_str()},
      {"a folder", home_dir().c_str()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.variable)
      setenv(kVariable, c.variable, 1);
    else
      unsetenv(kVariable);
    system_config* context = reinterpret_cast<system_config*>(1);
    EXPECT_EQ(-1, sysinfo_init(&context));
    EXPECT_EQ(nullptr, context);
  }
  EXPECT_EQ(-1, sysinfo_init(nullptr));
}

TEST_F(SysinfoTest, ReadsKeysAndValuesFromTheFile) {
  use_file("values",
           "/certs/npc/esn/gsm=356938035643809\n"
           "no separator here\n"
           "/empty=\n"
           "/with/equals=a=b\r\n"
           "/bytes=\xE9\x01z\n"
           "/twice=first\n"
           "/twice=second");
  system_config* context = nullptr;
  ASSERT_EQ(0, sysinfo_init(&context));
  ASSERT_NE(nullptr, context);

  EXPECT_EQ((std::vector<std::string>{"/certs/npc/esn/gsm", "/empty", "/with/equals", "/bytes",
                                      "/twice"}),
            keys_of(context));

  struct Case {
    const char* key;
    std::string value;
  };
  const Case cases[] = {
      {"/certs/npc/esn/gsm", "356938035643809"},
      {"/empty", ""},
      {"/with/equals", "a=b"},
      {"/bytes", std::string("\xE9\x01z", 3)},
      {"/twice", "second"},
      {"/unknown", "<none>"},
      {"no separator here", "<none>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(c.value, value_of(context, c.key));
  }
  sysinfo_finish(context);
}

TEST_F(SysinfoTest, EmptyFileOpensWithNoKeys) {
  use_file("empty", "");
  system_config* context = nullptr;
  ASSERT_EQ(0, sysinfo_init(&context));
  EXPECT_TRUE(keys_of(context).empty());
  sysinfo_finish(context);
}

// The file is read when a session opens: a changed file shows in the next session only.
TEST_F(SysinfoTest, SessionsKeepWhatTheyRead) {
  const std::string path = use_file("changing", "k=old\n");
  system_config* first = nullptr;
  ASSERT_EQ(0, sysinfo_init(&first));
  ASSERT_TRUE(write_file(path, "k=new\n"));
  system_config* second = nullptr;
  ASSERT_EQ(0, sysinfo_init(&second));
  EXPECT_EQ("old", value_of(first, "k"));
  EXPECT_EQ("new", value_of(second, "k"));
  sysinfo_finish(first);
  sysinfo_finish(second);
  sysinfo_finish(nullptr);
}

TEST_F(SysinfoTest, NullArgumentsAreRefused) {
  use_file("args", "k=v\n");
  system_config* context = nullptr;
  ASSERT_EQ(0, sysinfo_init(&context));
  char** keys = nullptr;
  uint8_t* value = nullptr;
  unsigned long length = 0;
  EXPECT_EQ(-1, sysinfo_get_keys(nullptr, &keys));
  EXPECT_EQ(-1, sysinfo_get_keys(context, nullptr));
  EXPECT_EQ(-1, sysinfo_get_value(nullptr, "k", &value, &length));
  EXPECT_EQ(-1, sysinfo_get_value(context, nullptr, &value, &length));
  EXPECT_EQ(-1, sysinfo_get_value(context, "k", nullptr, &length));
  EXPECT_EQ(-1, sysinfo_get_value(context, "k", &value, nullptr));
  sysinfo_finish(context);
}

}  // namespace
