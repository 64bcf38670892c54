// Runner of the QML test files (tst_*.qml): Qt Quick Test's own runner in a process
// with its own HOME, TMPDIR and XDG_CONFIG_HOME, removed at exit, and with logging off.
// Arguments are the runner's (-import, -input, ...).
#include "TestControl.h"

#include <QDir>
#include <QtQml>
#include <QtQuickTest>

#include <keldra/LoggerUmbo.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

// Qt's offscreen platform plug-in never deletes its screen (and what hangs on it: the
// cursor, the window's connections to the screen). Whole stacks are needed to see that
// these allocations come from the platform plug-in, so the unwinder is the slow one.
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libqoffscreen.so\n"
         "leak:QScreen::QScreen\n"
         "leak:QQuickWindowPrivate::init\n";
}

int main(int argc, char** argv) {
  // Started again by a test as another process writing to its store: same HOME, bus.
  if (argc > 1 && std::string(argv[1]) == "--store-writer") {
    const char* home = std::getenv("HOME");
    orva::keldra::internal::LoggerUmbo::set_level_file_path(
        std::string(home ? home : "/nonexistent") + "/no_log_level");
    return TestControl::runWriter(argc, argv);
  }
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/keldra-qmltest-XXXXXX";
  if (!mkdtemp(&pattern[0])) {
    perror("mkdtemp");
    return 1;
  }
  const std::string root = pattern;
  const std::string tmp = root + "/tmp";
  QDir().mkpath(QString::fromStdString(tmp));
  setenv("HOME", root.c_str(), 1);
  setenv("TMPDIR", tmp.c_str(), 1);
  setenv("XDG_CONFIG_HOME", (root + "/.config").c_str(), 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Only the private bus of TestControl.startBus(), never the machine's own.
  unsetenv("DBUS_SESSION_BUS_ADDRESS");
  orva::keldra::internal::LoggerUmbo::set_level_file_path(root + "/no_log_level");

  qmlRegisterSingletonType<TestControl>(
      "KeldraTest", 1, 0, "TestControl",
      [](QQmlEngine*, QJSEngine*) -> QObject* { return new TestControl; });
  const int rc = quick_test_main(argc, argv, "qtplugin", nullptr);

  if (!std::getenv("KELDRA_KEEP_TEST_HOME")) {
    QDir(QString::fromStdString(root)).removeRecursively();
  }
  return rc;
}
