// A storage plug-in for the driver's tests: items kept in memory, and what it heard of
// the daemon given back as its "deleted" ids ("status/<profile>/<status>/<message>/<details>",
// "results/<profile>/<major>/<minor>"), so that a script sees the signals arrive.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QStringList>

#include <memory>

#include "syncfw/StoragePlugin.h"
#include "syncfw/SyncClientInterface.h"

class MemoryItem : public Buteo::StorageItem {
 public:
  bool write(qint64 offset, const QByteArray& data) override;
  bool read(qint64 offset, qint64 length, QByteArray& data) const override;
  bool resize(qint64 size) override;
  qint64 getSize() const override { return mData.size(); }

 private:
  QByteArray mData;
};

class MemoryStorage : public QObject, public Buteo::StoragePlugin {
  Q_OBJECT

 public:
  explicit MemoryStorage(const QString& name) : Buteo::StoragePlugin(name) {}

  bool init(const QMap<QString, QString>& properties) override;
  bool uninit() override;
  bool getAllItems(QList<Buteo::StorageItem*>& items) override;
  bool getAllItemIds(QList<QString>& items) override;
  bool getNewItems(QList<Buteo::StorageItem*>& items, const QDateTime& time) override;
  bool getNewItemIds(QList<QString>& ids, const QDateTime& time) override;
  bool getModifiedItems(QList<Buteo::StorageItem*>& items, const QDateTime& time) override;
  bool getModifiedItemIds(QList<QString>& ids, const QDateTime& time) override;
  bool getDeletedItemIds(QList<QString>& ids, const QDateTime& time) override;
  Buteo::StorageItem* newItem() override { return new MemoryItem(); }
  Buteo::StorageItem* getItem(const QString& id) override;
  QList<Buteo::StorageItem*> getItems(const QStringList& ids) override;
  OperationStatus addItem(Buteo::StorageItem& item) override;
  QList<OperationStatus> addItems(const QList<Buteo::StorageItem*>& items) override;
  OperationStatus modifyItem(Buteo::StorageItem& item) override;
  QList<OperationStatus> modifyItems(const QList<Buteo::StorageItem*>& items) override;
  OperationStatus deleteItem(const QString& id) override;
  QList<OperationStatus> deleteItems(const QList<QString>& ids) override;

 private Q_SLOTS:
  void onStatus(QString profile, int status, QString message, int details);
  void onResults(QString profile, Buteo::SyncResults results);

 private:
  std::unique_ptr<Buteo::SyncClientInterface> mClient;
  QMap<int, QByteArray> mItems;
  int mNextId = 1;
  QStringList mHeard;
};
