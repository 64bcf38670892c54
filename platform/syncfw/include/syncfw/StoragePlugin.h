// Buteo::StoragePlugin: the interface through which the sync daemon reads and writes
// one storage (a store of items) during a sync session.
//
// A plug-in is a shared library that exports, unmangled,
//   Buteo::StoragePlugin* createPlugin(const QString& pluginName);
//   void destroyPlugin(Buteo::StoragePlugin* plugin);
// The daemon makes one plug-in object through createPlugin, calls init with the
// storage's properties, then the item operations, then uninit, and hands the object back
// to destroyPlugin. Between two calls the daemon's thread runs its event loop.
//
// Items returned by the plug-in belong to the caller from then on; items passed in stay
// the caller's. Operation statuses: STATUS_OK, or a negative failure.
// Thread: every call on the daemon's thread that loaded the plug-in; no locks.
#pragma once

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include "syncfw/StorageItem.h"

namespace Buteo {

class StoragePlugin {
 public:
  enum OperationStatus {
    STATUS_OK = 0,
    STATUS_ERROR = -3,
  };

  explicit StoragePlugin(const QString& pluginName);
  virtual ~StoragePlugin();

  // Called once before any item operation; true when the storage can be used.
  virtual bool init(const QMap<QString, QString>& properties) = 0;
  // Ends the session; the last call before the plug-in is destroyed.
  virtual bool uninit() = 0;

  // Lists append to the caller's list; false when the storage cannot give the list.
  virtual bool getAllItems(QList<StorageItem*>& items) = 0;
  virtual bool getAllItemIds(QList<QString>& items) = 0;
  virtual bool getNewItems(QList<StorageItem*>& newItems, const QDateTime& time) = 0;
  virtual bool getNewItemIds(QList<QString>& newItemIds, const QDateTime& time) = 0;
  virtual bool getModifiedItems(QList<StorageItem*>& modifiedItems, const QDateTime& time) = 0;
  virtual bool getModifiedItemIds(QList<QString>& modifiedItemIds, const QDateTime& time) = 0;
  virtual bool getDeletedItemIds(QList<QString>& deletedItemIds, const QDateTime& time) = 0;

  // An empty item of this storage, or null.
  virtual StorageItem* newItem() = 0;
  // The stored item of that id, or null.
  virtual StorageItem* getItem(const QString& itemId) = 0;
  virtual QList<StorageItem*> getItems(const QStringList& itemIdList) = 0;

  // Stores a new item and sets its id.
  virtual OperationStatus addItem(StorageItem& item) = 0;
  virtual QList<OperationStatus> addItems(const QList<StorageItem*>& items) = 0;
  // Replaces the stored item of the item's id.
  virtual OperationStatus modifyItem(StorageItem& item) = 0;
  virtual QList<OperationStatus> modifyItems(const QList<StorageItem*>& items) = 0;
  virtual OperationStatus deleteItem(const QString& itemId) = 0;
  virtual QList<OperationStatus> deleteItems(const QList<QString>& itemIds) = 0;

  const QString& getPluginName() const { return iPluginName; }
  // The value of one property; empty when there is none.
  QString getProperty(const QString& property) const { return iProperties.value(property); }
  void getProperties(QMap<QString, QString>& properties) const { properties = iProperties; }

 protected:
  QString iPluginName;
  QMap<QString, QString> iProperties;

 private:
  StoragePlugin(const StoragePlugin&) = delete;
  StoragePlugin& operator=(const StoragePlugin&) = delete;
};

// The signatures of the two exported entry points.
typedef StoragePlugin* (*CreateStoragePluginFn)(const QString& pluginName);
typedef void (*DestroyStoragePluginFn)(StoragePlugin* plugin);

}  // namespace Buteo
