#include "MemoryStorage.h"

bool MemoryItem::write(qint64 offset, const QByteArray& data) {
  mData.resize(static_cast<int>(offset));
  mData.append(data);
  return true;
}

bool MemoryItem::read(qint64 offset, qint64 length, QByteArray& data) const {
  data = mData.mid(static_cast<int>(offset), static_cast<int>(length));
  return true;
}

bool MemoryItem::resize(qint64 size) {
  mData.resize(static_cast<int>(size));
  return true;
}

bool MemoryStorage::init(const QMap<QString, QString>& properties) {
  iProperties = properties;
  iProperties.insert(QStringLiteral("Storage"), QStringLiteral("memory"));
  mClient.reset(new Buteo::SyncClientInterface());
  connect(mClient.get(), &Buteo::SyncClientInterface::syncStatus, this, &MemoryStorage::onStatus);
  connect(mClient.get(), &Buteo::SyncClientInterface::resultsAvailable, this,
          &MemoryStorage::onResults);
  return mClient->isValid() && properties.value(QStringLiteral("fail")).isEmpty();
}

bool MemoryStorage::uninit() {
  mClient.reset();
  return true;
}

void MemoryStorage::onStatus(QString profile, int status, QString message, int details) {
  mHeard << QStringLiteral("status/%1/%2/%3/%4").arg(profile).arg(status).arg(message).arg(details);
}

void MemoryStorage::onResults(QString profile, Buteo::SyncResults results) {
  mHeard << QStringLiteral("results/%1/%2/%3")
                .arg(profile)
                .arg(results.majorCode())
                .arg(results.minorCode());
}

bool MemoryStorage::getAllItemIds(QList<QString>& ids) {
  for (int id : mItems.keys()) ids << QString::number(id);
  return true;
}

bool MemoryStorage::getAllItems(QList<Buteo::StorageItem*>& items) {
  for (int id : mItems.keys()) items << getItem(QString::number(id));
  return true;
}

bool MemoryStorage::getNewItems(QList<Buteo::StorageItem*>& items, const QDateTime&) {
  return getAllItems(items);
}

bool MemoryStorage::getNewItemIds(QList<QString>& ids, const QDateTime&) {
  return getAllItemIds(ids);
}

bool MemoryStorage::getModifiedItems(QList<Buteo::StorageItem*>&, const QDateTime&) { return true; }

bool MemoryStorage::getModifiedItemIds(QList<QString>&, const QDateTime&) { return true; }

bool MemoryStorage::getDeletedItemIds(QList<QString>& ids, const QDateTime&) {
  ids << mHeard;
  return true;
}

Buteo::StorageItem* MemoryStorage::getItem(const QString& id) {
  const auto found = mItems.constFind(id.toInt());
  if (found == mItems.constEnd()) return nullptr;
  MemoryItem* item = new MemoryItem();
  item->write(0, found.value());
  item->setId(id);
  return item;
}

QList<Buteo::StorageItem*> MemoryStorage::getItems(const QStringList& ids) {
  QList<Buteo::StorageItem*> items;
  for (const QString& id : ids) items << getItem(id);
  return items;
}

Buteo::StoragePlugin::OperationStatus MemoryStorage::addItem(Buteo::StorageItem& item) {
  QByteArray data;
  item.read(0, item.getSize(), data);
  const int id = mNextId++;
  mItems.insert(id, data);
  item.setId(QString::number(id));
  return STATUS_OK;
}

QList<Buteo::StoragePlugin::OperationStatus> MemoryStorage::addItems(
    const QList<Buteo::StorageItem*>& items) {
  QList<OperationStatus> out;
  for (Buteo::StorageItem* item : items) out << addItem(*item);
  return out;
}

Buteo::StoragePlugin::OperationStatus MemoryStorage::modifyItem(Buteo::StorageItem& item) {
  const int id = item.getId().toInt();
  if (!mItems.contains(id)) return STATUS_ERROR;
  QByteArray data;
  item.read(0, item.getSize(), data);
  mItems.insert(id, data);
  return STATUS_OK;
}

QList<Buteo::StoragePlugin::OperationStatus> MemoryStorage::modifyItems(
    const QList<Buteo::StorageItem*>& items) {
  QList<OperationStatus> out;
  for (Buteo::StorageItem* item : items) out << modifyItem(*item);
  return out;
}

Buteo::StoragePlugin::OperationStatus MemoryStorage::deleteItem(const QString& id) {
  return mItems.remove(id.toInt()) ? STATUS_OK : STATUS_ERROR;
}

QList<Buteo::StoragePlugin::OperationStatus> MemoryStorage::deleteItems(const QList<QString>& ids) {
  QList<OperationStatus> out;
  for (const QString& id : ids) out << deleteItem(id);
  return out;
}

extern "C" Buteo::StoragePlugin* createPlugin(const QString& name) {
  return new MemoryStorage(name);
}

extern "C" void destroyPlugin(Buteo::StoragePlugin* plugin) { delete plugin; }
