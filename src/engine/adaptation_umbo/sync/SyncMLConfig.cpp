#include "adaptation_umbo/sync/SyncMLConfig.h"

#include <QDir>

#include "syncfw/Logger.h"

#ifndef KELDRA_SYNC_XML_DIR
#define KELDRA_SYNC_XML_DIR "/etc/sync/xml/"
#endif

namespace {

const QString kXmlDataPath = QStringLiteral(KELDRA_SYNC_XML_DIR);
const QString kDatabaseSuffix = QStringLiteral("/.sync/sync-app/");

}  // namespace

SyncMLConfig::SyncMLConfig() { Buteo::LogTimer timer(QLatin1String(__PRETTY_FUNCTION__)); }

SyncMLConfig::~SyncMLConfig() { Buteo::LogTimer timer(QLatin1String(__PRETTY_FUNCTION__)); }

QString SyncMLConfig::getXmlDataPath() {
  Buteo::LogTimer timer(QLatin1String(__PRETTY_FUNCTION__));
  return kXmlDataPath;
}

QString SyncMLConfig::getDatabasePath() {
  Buteo::LogTimer timer(QLatin1String(__PRETTY_FUNCTION__));
  const QString path = QDir::homePath() + kDatabaseSuffix;
  QDir().mkpath(path);
  return path;
}
