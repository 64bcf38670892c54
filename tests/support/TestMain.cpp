// Test entry point: gives the process its own HOME, TMPDIR and XDG_CONFIG_HOME, creates a Qt core
// application (tests that need an event loop run it), runs the cases, removes the folder.
#include <QCoreApplication>
#include <QDir>

#include <keldra/LoggerUmbo.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

namespace keldra_test {
extern std::string g_home;
}

// LeakSanitizer's built-in suppressions for every test binary. Qt's D-Bus connection
// manager runs on a thread of Qt's own; when the process exits while that thread is
// still winding down, its thread data (about 230 bytes) is now and then reported as
// leaked. The library creates no QThread of its own, so this hides none of its leaks.
extern "C" const char* __lsan_default_suppressions() { return "leak:QThread::QThread\n"; }

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);

  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/keldra-test-XXXXXX";
  char* made = mkdtemp(&pattern[0]);
  if (!made) {
    perror("mkdtemp");
    return 1;
  }
  std::string root = made;
  std::string tmp = root + "/tmp";
  QDir().mkpath(QString::fromStdString(tmp));
  setenv("HOME", root.c_str(), 1);
  setenv("TMPDIR", tmp.c_str(), 1);
  // Qt's settings store (QSettings) lives under the configuration folder.
  const std::string config = root + "/.config";
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  keldra_test::g_home = root;
  // Logging stays off unless a test turns it on: a level file on the machine must not
  // change what the tests see.
  orva::keldra::internal::LoggerUmbo::set_level_file_path(root + "/no_log_level");

  int rc;
  {
    QCoreApplication app(argc, argv);
    rc = RUN_ALL_TESTS();
  }
  if (!std::getenv("KELDRA_KEEP_TEST_HOME")) {
    QDir(QString::fromStdString(root)).removeRecursively();
  }
  return rc;
}
