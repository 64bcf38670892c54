#include "support/StorageDriverProcess.h"

#include <QElapsedTimer>

namespace keldra_test {

std::string StorageDriverProcess::program_path() {
#ifdef KELDRA_SYNCFW_DRIVER_PATH
  return KELDRA_SYNCFW_DRIVER_PATH;
#else
  return "syncfw-driver";
#endif
}

StorageDriverProcess::~StorageDriverProcess() {
  if (process_.state() != QProcess::NotRunning) finish();
}

bool StorageDriverProcess::start(const QStringList& arguments) {
  process_.setProcessChannelMode(QProcess::SeparateChannels);
  process_.start(QString::fromStdString(program_path()), arguments);
  if (!process_.waitForStarted(30000)) {
    error_ = "the driver did not start: " + process_.errorString().toStdString();
    return false;
  }
  return true;
}

QString StorageDriverProcess::call(const QString& line) {
  process_.write(line.toUtf8() + '\n');
  QElapsedTimer timer;
  timer.start();
  for (;;) {
    pending_.append(process_.readAllStandardOutput());
    const int end = pending_.indexOf('\n');
    if (end >= 0) {
      const QString out = QString::fromUtf8(pending_.left(end));
      pending_.remove(0, end + 1);
      return out;
    }
    if (process_.state() == QProcess::NotRunning) {
      error_ = "the driver exited during: " + line.toStdString();
      return QStringLiteral("<no answer>");
    }
    if (timer.elapsed() > 30000) {
      error_ = "no answer to: " + line.toStdString();
      return QStringLiteral("<no answer>");
    }
    process_.waitForReadyRead(100);
  }
}

QString StorageDriverProcess::errors() {
  stderr_ += QString::fromLocal8Bit(process_.readAllStandardError());
  return stderr_;
}

int StorageDriverProcess::finish() {
  process_.closeWriteChannel();
  if (!process_.waitForFinished(30000)) {
    process_.kill();
    process_.waitForFinished(5000);
    error_ = "the driver did not exit";
    return -1;
  }
  errors();
  return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

}  // namespace keldra_test
