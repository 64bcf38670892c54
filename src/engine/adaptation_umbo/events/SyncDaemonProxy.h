// Proxy of the platform's sync daemon ("com.meego.msyncd" at "/synchronizer" on the
// session bus, interface "com.meego.msyncd").
//
// The library uses startSync (called by the hub, which watches the reply for a failure
// or a refusal, false), abortSync and updateProfile (reached through the hub's signals),
// and listens to syncStatus, transferProgress and resultsAvailable; it never waits for a
// reply. Qt delivers the signals only from the current owner of the daemon's name. Made
// and owned by the thread's DbusEventHandler, used on its thread.
#pragma once

#include <QDBusAbstractInterface>
#include <QDBusConnection>
#include <QDBusPendingReply>
#include <QString>
#include <QStringList>

class SyncDaemonProxy : public QDBusAbstractInterface {
  Q_OBJECT

 public:
  static inline const char* staticInterfaceName() { return "com.meego.msyncd"; }

  SyncDaemonProxy(const QString& service, const QString& path, const QDBusConnection& connection,
                  QObject* parent = nullptr);
  ~SyncDaemonProxy() override;

 Q_SIGNALS:
  void backupDone();
  void backupInProgress();
  void restoreDone();
  void restoreInProgress();
  void resultsAvailable(QString aProfileName, QString aResultsAsXml);
  void signalProfileChanged(QString aProfileName, int aChangeType, QString aProfileAsXml);
  void syncStatus(QString aProfileName, int aStatus, QString aMessage, int aMoreDetails);
  void transferProgress(QString aProfileName, int aTransferDatabase, int aTransferType,
                        QString aMimeType, int aCommittedItems);

 public Q_SLOTS:
  // Sent without a reply.
  void abortSync(const QString& aProfileId);
  QDBusPendingReply<bool> addProfile(const QString& aProfileAsXml);
  QDBusPendingReply<bool> getBackUpRestoreState();
  QDBusPendingReply<QString> getLastSyncResult(const QString& aProfileId);
  // Sent without a reply.
  void releaseStorages(const QStringList& aStorageNames);
  QDBusPendingReply<bool> removeProfile(const QString& aProfileId);
  QDBusPendingReply<bool> requestStorages(const QStringList& aStorageNames);
  QDBusPendingReply<QStringList> runningSyncs();
  QDBusPendingReply<bool> saveSyncResults(const QString& aProfileId, const QString& aSyncResults);
  QDBusPendingReply<bool> setSyncSchedule(const QString& aProfileId, const QString& aScheduleAsXml);
  QDBusPendingReply<bool> startSync(const QString& aProfileId);
  QDBusPendingReply<bool> updateProfile(const QString& aProfileAsXml);
};
