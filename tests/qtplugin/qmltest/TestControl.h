// What the QML test files need beyond the module, as the singleton "TestControl" of the
// test-only module "KeldraTest" 1.0: the private bus with the relay and the fake sync
// daemon (startBus() must come before the first store or sync element of the process),
// the daemon's recorded calls and signals, files under the test's HOME and of the source
// tree (the documentation's snippets), and writes to the store from another process
// (this runner started again in its writer mode).
//
// Thread: the QML engine's thread.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class TestControl : public QObject {
  Q_OBJECT

 public:
  explicit TestControl(QObject* parent = nullptr);

  // Starts (once per process) the private bus with the relay and the fake sync daemon.
  Q_INVOKABLE bool startBus();
  Q_INVOKABLE QString error() const { return m_error; }

  // The daemon's calls since the last clear, as "method(arg,...)".
  Q_INVOKABLE QStringList daemonCalls();
  Q_INVOKABLE void clearDaemonCalls();
  // The daemon's syncStatus signal for the profile "maps-keldra".
  Q_INVOKABLE void emitSyncStatus(int status, int details);

  // Another process inserts an object of |className| (its local id, 0 on failure) or
  // removes |localId| (true on success); both wait until the relay has its event.
  Q_INVOKABLE quint32 insertInOtherProcess(QString className);
  Q_INVOKABLE bool removeInOtherProcess(quint32 localId);

  // A file of the project's source tree (path relative to its top), as UTF-8 text;
  // empty when it cannot be read.
  Q_INVOKABLE QString readSource(QString path) const;

  // Paths relative to the test's HOME.
  Q_INVOKABLE bool fileExists(QString path) const;
  Q_INVOKABLE bool writeFile(QString path, QString content) const;
  Q_INVOKABLE QString readFile(QString path) const;
  Q_INVOKABLE bool removePath(QString path) const;
  Q_INVOKABLE QStringList listFolder(QString path) const;

  // Follows |object|'s life: a handle for alive().
  Q_INVOKABLE int watch(QObject* object);
  Q_INVOKABLE bool alive(int handle) const;

  // Runs the event loop for |ms| milliseconds.
  Q_INVOKABLE void spin(int ms) const;

  // The writer mode of the runner (argv: --store-writer insert <class> | remove <lid>):
  // prints the local id and returns the exit code.
  static int runWriter(int argc, char** argv);

 private:
  QString runChild(const QStringList& arguments, bool* ok);

  QString m_error;
  QList<QPointer<QObject>> m_watched;
};
