// syncfw-driver: the sync daemon's part for one storage plug-in, driven by a script.
//
//   syncfw-driver [--plugin-dir DIR] [--log FILE] [SCRIPT]
//
// Reads calls (see StorageDriver.h) from SCRIPT, or from standard input when none is
// given, and writes each call's result as one line on standard output. The event loop
// runs while it waits for input, so the daemon's signals reach the plug-in between calls.
// What plug-ins print on standard output goes to standard error. --log enables the framework's log
// into FILE ("-": standard error). Exits with 0 at the end of the script, 2 for bad arguments.
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>

#include "StorageDriver.h"
#include "syncfw/Logger.h"

#ifndef SYNCFW_PLUGIN_DIR
#define SYNCFW_PLUGIN_DIR "."
#endif

// For sanitizer builds (the tests run the driver as a child process): Qt's D-Bus
// connection manager thread may still be winding down at exit, and its thread data is
// then now and then reported as leaked. Neither the driver nor a plug-in creates a QThread.
extern "C" const char* __lsan_default_suppressions() { return "leak:QThread::QThread\n"; }

namespace {

// The results' stream: the process's standard output, kept apart from what plug-ins
// print, which goes to standard error instead.
std::FILE* results = stdout;

void runLines(StorageDriver& driver, QByteArray& pending, bool last) {
  int end;
  while ((end = pending.indexOf('\n')) >= 0 || (last && !pending.isEmpty())) {
    if (end < 0) end = pending.size();
    const QString line = QString::fromUtf8(pending.left(end));
    pending.remove(0, end + 1);
    QString out;
    if (driver.run(line, out)) {
      const QByteArray bytes = out.toUtf8();
      std::fwrite(bytes.constData(), 1, bytes.size(), results);
      std::fputc('\n', results);
      std::fflush(results);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QString pluginDir = QStringLiteral(SYNCFW_PLUGIN_DIR);
  QString script;
  const QStringList args = app.arguments().mid(1);
  for (int i = 0; i < args.size(); ++i) {
    if (args[i] == QLatin1String("--plugin-dir") && i + 1 < args.size()) {
      pluginDir = args[++i];
    } else if (args[i] == QLatin1String("--log") && i + 1 < args.size()) {
      if (!Buteo::Logger::instance()->enable(args[++i])) {
        std::fprintf(stderr, "syncfw-driver: cannot open the log\n");
        return 2;
      }
    } else if (script.isEmpty() && !args[i].startsWith(QLatin1String("--"))) {
      script = args[i];
    } else {
      std::fprintf(stderr, "usage: syncfw-driver [--plugin-dir DIR] [--log FILE] [SCRIPT]\n");
      return 2;
    }
  }

  // A plug-in's console output must not mix with the result lines.
  std::fflush(stdout);
  const int resultsFd = ::dup(STDOUT_FILENO);
  if (resultsFd < 0 || !(results = ::fdopen(resultsFd, "w")) ||
      ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
    std::fprintf(stderr, "syncfw-driver: cannot set up its output\n");
    return 2;
  }

  int fd = STDIN_FILENO;
  if (!script.isEmpty()) {
    fd = ::open(QFile::encodeName(script).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      std::fprintf(stderr, "syncfw-driver: cannot open the script\n");
      return 2;
    }
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);

  int status = 0;
  {
    StorageDriver driver(pluginDir);
    QByteArray pending;
    QSocketNotifier notifier(fd, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, [&]() {
      // No nested activation while the plug-in's calls run the event loop.
      notifier.setEnabled(false);
      char buffer[4096];
      for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
          pending.append(buffer, static_cast<int>(got));
          continue;
        }
        if (got < 0 && errno == EINTR) continue;
        const bool eof = got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        runLines(driver, pending, eof);
        if (eof) {
          app.quit();
        } else {
          notifier.setEnabled(true);
        }
        return;
      }
    });
    status = app.exec();
  }
  if (fd != STDIN_FILENO) ::close(fd);
  std::fclose(results);
  return status;
}
