#include "syncfw/SyncClientInterface.h"

#include <QDBusConnection>

namespace Buteo {

namespace {

const char kService[] = "com.meego.msyncd";
const char kPath[] = "/synchronizer";
const char kInterface[] = "com.meego.msyncd";

// Queued connections carry the results by value between threads.
const int kResultsType = qRegisterMetaType<Buteo::SyncResults>("Buteo::SyncResults");

}  // namespace

SyncClientInterface::SyncClientInterface() {
  (void)kResultsType;
  QDBusConnection bus = QDBusConnection::sessionBus();
  const bool status = bus.connect(QLatin1String(kService), QLatin1String(kPath),
                                  QLatin1String(kInterface), QStringLiteral("syncStatus"), this,
                                  SLOT(onSyncStatus(QString, int, QString, int)));
  const bool results = bus.connect(QLatin1String(kService), QLatin1String(kPath),
                                   QLatin1String(kInterface), QStringLiteral("resultsAvailable"),
                                   this, SLOT(onResultsAvailable(QString, QString)));
  iValid = status && results;
}

SyncClientInterface::~SyncClientInterface() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  bus.disconnect(QLatin1String(kService), QLatin1String(kPath), QLatin1String(kInterface),
                 QStringLiteral("syncStatus"), this,
                 SLOT(onSyncStatus(QString, int, QString, int)));
  bus.disconnect(QLatin1String(kService), QLatin1String(kPath), QLatin1String(kInterface),
                 QStringLiteral("resultsAvailable"), this,
                 SLOT(onResultsAvailable(QString, QString)));
}

void SyncClientInterface::onSyncStatus(QString aProfileId, int aStatus, QString aMessage,
                                       int aStatusDetails) {
  emit syncStatus(aProfileId, aStatus, aMessage, aStatusDetails);
}

void SyncClientInterface::onResultsAvailable(QString aProfileId, QString aResultsAsXml) {
  emit resultsAvailable(aProfileId, SyncResults::fromXml(aResultsAsXml));
}

}  // namespace Buteo
