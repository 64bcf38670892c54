// KeldraStorage: the storage plug-in "hkeldra" of the sync daemon, over the "personal"
// store. The library exports createPlugin and destroyPlugin for the daemon.
//
// init() takes the daemon's properties, adds "CTCaps_SyncML11" and "CTCaps_SyncML12"
// from the CTCaps files of the XML data folder (empty when a file is missing), and makes
// and starts the backend, whose result it returns; the backend stays until uninit()
// (or the destructor) ends and deletes it. Every item operation is the backend's; with
// no backend (before init, after uninit) the lists give false, the item getters null and
// the writers -3. Each operation is timed with the framework's log timer.
//
// Items returned are new SimpleItems owned by the caller. Thread: the daemon's thread
// that loaded the plug-in; no locks.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include "syncfw/StorageItem.h"
#include "syncfw/StoragePlugin.h"

class KeldraBackend;

class KeldraStorage : public Buteo::StoragePlugin {
 public:
  explicit KeldraStorage(const QString& pluginName);
  // Ends a session that uninit() did not end.
  ~KeldraStorage() override;

  bool init(const QMap<QString, QString>& properties) override;
  bool uninit() override;
  bool getAllItems(QList<Buteo::StorageItem*>& items) override;
  bool getAllItemIds(QList<QString>& items) override;
  bool getNewItems(QList<Buteo::StorageItem*>& newItems, const QDateTime& time) override;
  bool getNewItemIds(QList<QString>& newItemIds, const QDateTime& time) override;
  bool getModifiedItems(QList<Buteo::StorageItem*>& modifiedItems, const QDateTime& time) override;
  bool getModifiedItemIds(QList<QString>& modifiedItemIds, const QDateTime& time) override;
  bool getDeletedItemIds(QList<QString>& deletedItemIds, const QDateTime& time) override;
  Buteo::StorageItem* newItem() override;
  Buteo::StorageItem* getItem(const QString& itemId) override;
  QList<Buteo::StorageItem*> getItems(const QStringList& itemIdList) override;
  OperationStatus addItem(Buteo::StorageItem& item) override;
  QList<OperationStatus> addItems(const QList<Buteo::StorageItem*>& items) override;
  OperationStatus modifyItem(Buteo::StorageItem& item) override;
  QList<OperationStatus> modifyItems(const QList<Buteo::StorageItem*>& items) override;
  OperationStatus deleteItem(const QString& itemId) override;
  QList<OperationStatus> deleteItems(const QList<QString>& itemIds) override;

  // The bytes of the XML data folder's file |fileName|; empty (with a framework
  // warning) when it cannot be opened.
  QByteArray getCtCaps(const QString& fileName) const;

 private:
  KeldraBackend* mBackend = nullptr;
};
