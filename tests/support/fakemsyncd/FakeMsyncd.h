// A stand-in for the platform's sync daemon, for tests: owns "com.meego.msyncd" on the
// session bus and serves "/synchronizer" (interface "com.meego.msyncd") with the
// requests the library makes, recording each call with its arguments. Its signals are
// emitted from the daemon's own connection, as the real daemon's are, when a test asks
// through the control object "/control" (interface "com.ostra.keldra.test.FakeMsyncd"):
//
//   int callCount()               calls recorded so far
//   QStringList call(int index)   [method, arguments...] of one call; empty when out of range
//   void clearCalls()
//   void emitSyncStatus(s profile, i status, s message, i details)
//   void emitTransferProgress(s profile, i database, i type, s mime, i committed)
//   void emitResultsAvailable(s profile, s results)
//   void setStartAnswer(b accepted)  what startSync answers from now on (true at first)
//
// A signal emitted by a control call goes out before that call's reply.
#pragma once

#include <QDBusAbstractAdaptor>
#include <QObject>
#include <QString>
#include <QStringList>
#include <vector>

// The daemon object at "/synchronizer".
class FakeMsyncd : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "com.meego.msyncd")

 public:
  FakeMsyncd();

  const std::vector<QStringList>& calls() const { return calls_; }
  void clear() { calls_.clear(); }
  void set_start_answer(bool accepted) { start_answer_ = accepted; }

 Q_SIGNALS:
  void syncStatus(QString aProfileName, int aStatus, QString aMessage, int aMoreDetails);
  void transferProgress(QString aProfileName, int aTransferDatabase, int aTransferType,
                        QString aMimeType, int aCommittedItems);
  void resultsAvailable(QString aProfileName, QString aResultsAsXml);

 public Q_SLOTS:
  bool startSync(QString aProfileId);
  Q_NOREPLY void abortSync(QString aProfileId);
  bool updateProfile(QString aProfileAsXml);

 private:
  std::vector<QStringList> calls_;
  bool start_answer_ = true;
};

// The control object at "/control".
class FakeMsyncdControl : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "com.ostra.keldra.test.FakeMsyncd")

 public:
  explicit FakeMsyncdControl(FakeMsyncd& daemon) : daemon_(daemon) {}

 public Q_SLOTS:
  int callCount();
  QStringList call(int index);
  void clearCalls();
  void emitSyncStatus(QString profile, int status, QString message, int details);
  void emitTransferProgress(QString profile, int database, int type, QString mime, int committed);
  void emitResultsAvailable(QString profile, QString results);
  void setStartAnswer(bool accepted);

 private:
  FakeMsyncd& daemon_;
};
