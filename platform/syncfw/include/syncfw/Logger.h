// Buteo::Logger and Buteo::LogTimer: the sync framework's own log, which the daemon and
// its plug-ins share.
//
// The log is off until the host enables it with a file ("-" for standard error). Each
// line is a level letter (W warning, T trace), a space and the text. LogTimer writes
// "<name> ++" when made and "<name> -- <n> ms" when destroyed.
// Thread: the process's threads may write; lines are written whole under a lock.
#pragma once

#include <QString>

#include <cstdio>
#include <mutex>

namespace Buteo {

class Logger {
 public:
  // The process's logger, made on first use (off).
  static Logger* instance();

  // Starts writing to |path| ("-": standard error), appending; false when it cannot be
  // opened (the log stays off).
  bool enable(const QString& path);
  // Stops writing and closes the file.
  void disable();
  bool enabled() const;

  void warning(const QString& text);
  void trace(const QString& text);

 private:
  Logger() = default;
  ~Logger();
  Logger(const Logger&) = delete;
  Logger& operator=(const Logger&) = delete;

  void write(char level, const QString& text);

  mutable std::mutex iMutex;
  std::FILE* iFile = nullptr;
  bool iOwnsFile = false;
};

class LogTimer {
 public:
  explicit LogTimer(const QString& name);
  ~LogTimer();

 private:
  LogTimer(const LogTimer&) = delete;
  LogTimer& operator=(const LogTimer&) = delete;

  QString iName;
  qint64 iStartMs = 0;
};

}  // namespace Buteo
