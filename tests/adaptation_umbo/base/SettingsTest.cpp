#include "adaptation_umbo/base/Settings.h"

#include "support/LogCapture.h"
#include "support/TestEnv.h"

#include <keldra/LoggerUmbo.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

using orva::SharedPointer;
using orva::keldra::internal::LoggerUmbo;
using orva::keldra::internal::Settings;

// Points the settings at a library and turns on every log type; gives the log lines
// written since.
class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_log.reset(new keldra_test::LogCapture);
    unsetenv("KELDRA_TEST_SYNC_URI");
  }
  void TearDown() override {
    Settings::set_library_path("/usr/lib/libkeldradebug");
    m_log.reset();
    unsetenv("KELDRA_TEST_SYNC_URI");
  }
  std::string log() const { return m_log->text(); }
  int count(const std::string& line) const { return m_log->count(line); }

 private:
  std::unique_ptr<keldra_test::LogCapture> m_log;
};

TEST_F(SettingsTest, DebugLibraryDecidesLoadedFlagAndAddress) {
  const struct {
    const char* name;
    std::string path;
    const char* uri_env;  // value the library's entry point returns; null: unset
    bool loaded;
    std::string uri;
    const char* log_line;
  } cases[] = {
      {"no library", keldra_test::home_dir() + "/missing/libkeldradebug", nullptr, false, "",
       "Settings::Settings: Load was not successful, errorString = "},
      {"no entry point", KELDRADEBUG_NOENTRY_PATH, nullptr, false, "",
       "Settings::Settings: Function getSyncServerUri not found"},
      {"empty address", KELDRADEBUG_URI_PATH, nullptr, true, "",
       "Settings::Settings: Library loaded"},
      {"address", KELDRADEBUG_URI_PATH, "https://sync.test.invalid/keldra", true,
       "https://sync.test.invalid/keldra", "Settings::Settings: Library loaded"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string before = log();
    Settings::set_library_path(c.path);
    if (c.uri_env) {
      setenv("KELDRA_TEST_SYNC_URI", c.uri_env, 1);
    } else {
      unsetenv("KELDRA_TEST_SYNC_URI");
    }
    SharedPointer<Settings> settings = Settings::instance();
    ASSERT_TRUE(settings.is_valid());
    EXPECT_EQ(c.loaded, settings->is_library_loaded());
    EXPECT_EQ(c.uri, settings->sync_redirect_uri());
    const std::string lines = log().substr(before.size());
    EXPECT_NE(std::string::npos, lines.find(c.log_line)) << lines;
  }
}

TEST_F(SettingsTest, OneObjectWhileReferencedAndANewLookAfterwards) {
  Settings::set_library_path(KELDRADEBUG_URI_PATH);
  {
    SharedPointer<Settings> first = Settings::instance();
    SharedPointer<Settings> second = Settings::instance();
    EXPECT_EQ(first.get(), second.get());
    EXPECT_EQ(2u, first->get_ref_count());
    EXPECT_EQ(1, count("]:Settings::Settings ++"));
    EXPECT_EQ(1, count("Settings::Settings: Library loaded"));
    EXPECT_EQ(2, count("]:Settings::instance ++"));
  }
  EXPECT_EQ(1, count("]:Settings::~Settings --"));

  // The last reference is gone: the next instance looks for the library again.
  Settings::set_library_path(KELDRADEBUG_NOENTRY_PATH);
  SharedPointer<Settings> again = Settings::instance();
  EXPECT_FALSE(again->is_library_loaded());
  EXPECT_EQ(2, count("]:Settings::Settings ++"));
}

}  // namespace
