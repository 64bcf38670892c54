#include "adaptation_umbo/events/SyncDaemonProxy.h"

#include <QList>
#include <QVariant>

SyncDaemonProxy::SyncDaemonProxy(const QString& service, const QString& path,
                                 const QDBusConnection& connection, QObject* parent)
    : QDBusAbstractInterface(service, path, staticInterfaceName(), connection, parent) {}

SyncDaemonProxy::~SyncDaemonProxy() {}

void SyncDaemonProxy::abortSync(const QString& aProfileId) {
  QList<QVariant> arguments;
  arguments << QVariant::fromValue(aProfileId);
  callWithArgumentList(QDBus::NoBlock, QStringLiteral("abortSync"), arguments);
}

QDBusPendingReply<bool> SyncDaemonProxy::addProfile(const QString& aProfileAsXml) {
  QList<QVariant> arguments;
  arguments << QVariant::fromValue(aProfileAsXml);
  return asyncCallWithArgumentList(QStringLiteral("addProfile"), arguments);
}

QDBusPendingReply<bool> SyncDaemonProxy::getBackUpRestoreState() {
  return asyncCallWithArgumentList(QStringLiteral("getBackUpRestoreState"), QList<QVariant>());
}

QDBusPendingReply<QString> SyncDaemonProxy::getLastSyncResult(const QString& aProfileId) {
  QList<QVariant> arguments;
  arguments << QVariant::fromValue(aProfileId);
  return asyncCallWithArgumentList(QStringLiteral("getLastSyncResult"), arguments);
}

void SyncDaemonProxy::releaseStorages(const QStringList& aStorageNames) {
  QList<QVariant> arguments;
  arguments << QVariant::fromValue(aStorageNames);
  callWithArgumentList(QDBus::NoBlock, QStringLiteral("releaseStorages"), arguments);
}

QDBusPendingReply<bool> SyncDaemonProxy::removeProfile(const QString& aProfileId) {
  QList<QVariant> arguments;
  arguments << QVariant::fromValue(aProfileId);
  return asyncCallWithArgumentList(QStringLiteral("removeProfile"), arguments);
}

QDBusPendingReply<bool> SyncDaemonProxy::requestStorages(const QStringList& aStorageNames) {
  QList<QVariant> arguments;
  arguments << QVariant::fromValue(aStorageNames);
  return asyncCallWithArgumentList(QStringLiteral("requestStorages"), arguments);
}

QDBusPendingReply<QStringList> SyncDaemonProxy::runningSyncs() {
  return asyncCallWithArgumentList(QStringLiteral("runningSyncs"), QList<QVariant>());
}

QDBusPendingReply<bool> SyncDaemonProxy::saveSyncResults(const QString& aProfileId,
                                                         const QString& aSyncResults) {
  QList<QVariant> arguments;
  arguments << QVariant::fromValue(aProfileId) << QVariant::fromValue(aSyncResults);
  return asyncCallWithArgumentList(QStringLiteral("saveSyncResults"), arguments);
}

QDBusPendingReply<bool> SyncDaemonProxy::setSyncSchedule(const QString& aProfileId,
                                                         const QString& aScheduleAsXml) {
  QList<QVariant> arguments;
  arguments << QVariant::fromValue(aProfileId) << QVariant::fromValue(aScheduleAsXml);
  return asyncCallWithArgumentList(QStringLiteral("setSyncSchedule"), arguments);
}

QDBusPendingReply<bool> SyncDaemonProxy::startSync(const QString& aProfileId) {
  QList<QVariant> arguments;
  arguments << QVariant::fromValue(aProfileId);
  return asyncCallWithArgumentList(QStringLiteral("startSync"), arguments);
}

QDBusPendingReply<bool> SyncDaemonProxy::updateProfile(const QString& aProfileAsXml) {
  QList<QVariant> arguments;
  arguments << QVariant::fromValue(aProfileAsXml);
  return asyncCallWithArgumentList(QStringLiteral("updateProfile"), arguments);
}
