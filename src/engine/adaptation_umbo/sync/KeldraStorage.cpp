#include "adaptation_umbo/sync/KeldraStorage.h"

#include <QFile>

#include "adaptation_umbo/sync/KeldraBackend.h"
#include "adaptation_umbo/sync/SyncMLConfig.h"

#include <cstring>

#include "syncfw/Logger.h"

#define KELDRA_LOG_TIMER() Buteo::LogTimer logTimer(QLatin1String(__PRETTY_FUNCTION__))

namespace {

// The file's text up to its first zero byte, as 8-bit text.
QString ctCapsText(const QByteArray& bytes) {
  const int end = static_cast<int>(qstrnlen(bytes.constData(), static_cast<uint>(bytes.size())));
  return QString::fromLatin1(bytes.constData(), end);
}

// One failure per element of a list call that no backend can serve.
QList<Buteo::StoragePlugin::OperationStatus> failures(int count) {
  QList<Buteo::StoragePlugin::OperationStatus> statuses;
  for (int i = 0; i < count; ++i) statuses.append(Buteo::StoragePlugin::STATUS_ERROR);
  return statuses;
}

}  // namespace

KeldraStorage::KeldraStorage(const QString& pluginName) : Buteo::StoragePlugin(pluginName) {
  KELDRA_LOG_TIMER();
}

KeldraStorage::~KeldraStorage() {
  KELDRA_LOG_TIMER();
  if (mBackend) {
    mBackend->uninit();
    delete mBackend;
    mBackend = nullptr;
  }
}

QByteArray KeldraStorage::getCtCaps(const QString& fileName) const {
  KELDRA_LOG_TIMER();
  QFile file(SyncMLConfig::getXmlDataPath() + fileName);
  if (!file.open(QIODevice::ReadOnly)) {
    Buteo::Logger* logger = Buteo::Logger::instance();
    if (logger->enabled()) {
      logger->warning(QStringLiteral("%1:%2:Failed to open CTCaps file for keldra storage: \"%3\"")
                          .arg(QLatin1String(__FILE__))
                          .arg(__LINE__)
                          .arg(fileName));
    }
    return QByteArray();
  }
  const QByteArray bytes = file.readAll();
  file.close();
  return bytes;
}

bool KeldraStorage::init(const QMap<QString, QString>& properties) {
  KELDRA_LOG_TIMER();
  iProperties = properties;
  iProperties.insert(QStringLiteral("CTCaps_SyncML11"),
                     ctCapsText(getCtCaps(QStringLiteral("CTCaps_keldra_11.xml"))));
  iProperties.insert(QStringLiteral("CTCaps_SyncML12"),
                     ctCapsText(getCtCaps(QStringLiteral("CTCaps_keldra_12.xml"))));
  // A second init ends the first session first: one backend per session.
  if (mBackend) {
    mBackend->uninit();
    delete mBackend;
  }
  mBackend = new KeldraBackend();
  return mBackend->init();
}

bool KeldraStorage::uninit() {
  KELDRA_LOG_TIMER();
  if (!mBackend) return true;
  const bool ok = mBackend->uninit();
  delete mBackend;
  mBackend = nullptr;
  return ok;
}

bool KeldraStorage::getAllItems(QList<Buteo::StorageItem*>& items) {
  KELDRA_LOG_TIMER();
  return mBackend && mBackend->getAllItems(items);
}

bool KeldraStorage::getAllItemIds(QList<QString>& items) {
  KELDRA_LOG_TIMER();
  return mBackend && mBackend->getAllItemIds(items);
}

bool KeldraStorage::getNewItems(QList<Buteo::StorageItem*>& newItems, const QDateTime& time) {
  KELDRA_LOG_TIMER();
  return mBackend && mBackend->getNewItems(newItems, time);
}

bool KeldraStorage::getNewItemIds(QList<QString>& newItemIds, const QDateTime& time) {
  KELDRA_LOG_TIMER();
  return mBackend && mBackend->getNewItemIds(newItemIds, time);
}

bool KeldraStorage::getModifiedItems(QList<Buteo::StorageItem*>& modifiedItems,
                                     const QDateTime& time) {
  KELDRA_LOG_TIMER();
  return mBackend && mBackend->getModifiedItems(modifiedItems, time);
}

bool KeldraStorage::getModifiedItemIds(QList<QString>& modifiedItemIds, const QDateTime& time) {
  KELDRA_LOG_TIMER();
  return mBackend && mBackend->getModifiedItemIds(modifiedItemIds, time);
}

bool KeldraStorage::getDeletedItemIds(QList<QString>& deletedItemIds, const QDateTime& time) {
  KELDRA_LOG_TIMER();
  return mBackend && mBackend->getDeletedItemIds(deletedItemIds, time);
}

Buteo::StorageItem* KeldraStorage::newItem() {
  KELDRA_LOG_TIMER();
  return mBackend ? mBackend->newItem() : nullptr;
}

Buteo::StorageItem* KeldraStorage::getItem(const QString& itemId) {
  KELDRA_LOG_TIMER();
  return mBackend ? mBackend->getItem(itemId) : nullptr;
}

QList<Buteo::StorageItem*> KeldraStorage::getItems(const QStringList& itemIdList) {
  KELDRA_LOG_TIMER();
  return mBackend ? mBackend->getItems(itemIdList) : QList<Buteo::StorageItem*>();
}

Buteo::StoragePlugin::OperationStatus KeldraStorage::addItem(Buteo::StorageItem& item) {
  KELDRA_LOG_TIMER();
  return mBackend ? mBackend->addItem(item) : STATUS_ERROR;
}

QList<Buteo::StoragePlugin::OperationStatus> KeldraStorage::addItems(
    const QList<Buteo::StorageItem*>& items) {
  KELDRA_LOG_TIMER();
  return mBackend ? mBackend->addItems(items) : failures(items.size());
}

Buteo::StoragePlugin::OperationStatus KeldraStorage::modifyItem(Buteo::StorageItem& item) {
  KELDRA_LOG_TIMER();
  return mBackend ? mBackend->modifyItem(item) : STATUS_ERROR;
}

QList<Buteo::StoragePlugin::OperationStatus> KeldraStorage::modifyItems(
    const QList<Buteo::StorageItem*>& items) {
  KELDRA_LOG_TIMER();
  return mBackend ? mBackend->modifyItems(items) : failures(items.size());
}

Buteo::StoragePlugin::OperationStatus KeldraStorage::deleteItem(const QString& itemId) {
  KELDRA_LOG_TIMER();
  return mBackend ? mBackend->deleteItem(itemId) : STATUS_ERROR;
}

QList<Buteo::StoragePlugin::OperationStatus> KeldraStorage::deleteItems(
    const QList<QString>& itemIds) {
  KELDRA_LOG_TIMER();
  return mBackend ? mBackend->deleteItems(itemIds) : failures(itemIds.size());
}

extern "C" __attribute__((visibility("default"))) Buteo::StoragePlugin* createPlugin(
    const QString& pluginName) {
  return new KeldraStorage(pluginName);
}

extern "C" __attribute__((visibility("default"))) void destroyPlugin(Buteo::StoragePlugin* plugin) {
  delete plugin;
}
