#include "syncfw/Logger.h"

#include <QDateTime>

namespace Buteo {

Logger* Logger::instance() {
  // Never destroyed: plug-ins may log from static destructors after main returned.
  static Logger* logger = new Logger();
  return logger;
}

Logger::~Logger() { disable(); }

bool Logger::enable(const QString& path) {
  std::lock_guard<std::mutex> lock(iMutex);
  if (iOwnsFile && iFile) std::fclose(iFile);
  iFile = nullptr;
  iOwnsFile = false;
  if (path == QLatin1String("-")) {
    iFile = stderr;
    return true;
  }
  iFile = std::fopen(path.toLocal8Bit().constData(), "a");
  iOwnsFile = iFile != nullptr;
  return iFile != nullptr;
}

void Logger::disable() {
  std::lock_guard<std::mutex> lock(iMutex);
  if (iOwnsFile && iFile) std::fclose(iFile);
  iFile = nullptr;
  iOwnsFile = false;
}

bool Logger::enabled() const {
  std::lock_guard<std::mutex> lock(iMutex);
  return iFile != nullptr;
}

void Logger::warning(const QString& text) { write('W', text); }
void Logger::trace(const QString& text) { write('T', text); }

void Logger::write(char level, const QString& text) {
  std::lock_guard<std::mutex> lock(iMutex);
  if (!iFile) return;
  const QByteArray line = text.toUtf8();
  std::fprintf(iFile, "%c %s\n", level, line.constData());
  std::fflush(iFile);
}

LogTimer::LogTimer(const QString& name) : iName(name) {
  Logger* logger = Logger::instance();
  if (!logger->enabled()) return;
  iStartMs = QDateTime::currentMSecsSinceEpoch();
  logger->trace(iName + QLatin1String(" ++"));
}

LogTimer::~LogTimer() {
  Logger* logger = Logger::instance();
  if (!logger->enabled()) return;
  const qint64 elapsed = iStartMs ? QDateTime::currentMSecsSinceEpoch() - iStartMs : 0;
  logger->trace(QStringLiteral("%1 -- %2 ms").arg(iName).arg(elapsed));
}

}  // namespace Buteo
