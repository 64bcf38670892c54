// Test-side handle of the daemon stand-in for storage plug-ins (tools/syncfw-driver): a
// child process on the test's session bus, fed one call at a time on its standard
// input; each call's one-line result is read back.
//
// The child inherits HOME, TMPDIR and DBUS_SESSION_BUS_ADDRESS, so it shares the test's
// home, temporary folder and private bus. Waits are bounded (about 30 s); a child that
// dies or stalls gives "<no answer>" and error() says why. Not thread-safe.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <string>

namespace keldra_test {

class StorageDriverProcess {
 public:
  // Where the driver program of the build tree is.
  static std::string program_path();

  StorageDriverProcess() = default;
  // Ends the child (closing its input first, so it can destroy its plug-in).
  ~StorageDriverProcess();

  // Starts the driver with |arguments|; false with error() set when it does not run.
  bool start(const QStringList& arguments = QStringList());
  // Sends one call and returns its result line (without the line end).
  QString call(const QString& line);
  // Closes the input and waits for the exit; the exit code, or -1.
  int finish();
  // What the child wrote on its standard error so far.
  QString errors();
  const std::string& error() const { return error_; }

 private:
  QProcess process_;
  QByteArray pending_;
  QString stderr_;
  std::string error_;
};

}  // namespace keldra_test
