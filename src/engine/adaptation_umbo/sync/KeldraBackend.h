// KeldraBackend: the storage plug-in's work for one sync session of the daemon.
//
// init() opens the "personal" store, its data adapter (marked as being synchronised, so
// change events are held), sync adapter and repository, a sync extension for the
// system objects, and reads the current account from the account id file. The id lists
// (all, new, changed, removed) are computed from the sync adapter on first use and then
// reused; the system objects to send come first in the all and new lists. A list whose
// computation failed is not kept: the next call computes it again. Items carry one
// object each in the compact format, with the local id in decimal as the item id.
//
// Received items are stored as writes from sync (or handed to the sync extension for
// system objects, global ids 995 to 999). Item ids must be decimal local ids from 1 to
// 2^31 - 1; an ordinary object may not be written over or remove a reserved local id
// (0x7FFFFFFB..0x7FFFFFFF) or a stored system object. Statuses: 0, or -3 for every
// refusal and failure, with nothing changed by a refused call; the list forms give one
// status per element. While the environment check fails (the store's initialisation
// failed or was refused, or a library object is missing) every writer and newItem
// refuse.
//
// The daemon's syncStatus reports for "maps-keldra" are followed; uninit() releases the
// held change events through the relay and, when the last status was DONE, forgets the
// recorded removals that this session listed (and only those).
//
// Holds the process logger and the thread's Static from construction to destruction.
// The store reports its opening to the backend from the event loop after init(): the
// loop must have run once before the backend is destroyed, unless the backend holds the
// thread's last Static (whose end drops the pending report), as in the daemon.
// Thread: the daemon's thread that loaded the plug-in; signals and the store's deferred
// report arrive through its event loop. No locks.
#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <keldra/DataAdapter.h>
#include <keldra/ErrorCode.h>
#include <keldra/LoggerUmbo.h>
#include <keldra/Object.h>
#include <keldra/ObjectConverter.h>
#include <keldra/ProgressHandler.h>
#include <keldra/Repository.h>
#include <keldra/SharedPointer.h>
#include <keldra/Static.h>
#include <keldra/Store.h>
#include <keldra/SyncAdapter.h>

#include "adaptation_umbo/syncml/SyncExtension.h"

#include <vector>

#include "syncfw/StorageItem.h"
#include "syncfw/StoragePlugin.h"
#include "syncfw/SyncClientInterface.h"
#include "syncfw/SyncResults.h"

class KeldraBackend : public QObject, public orva::keldra::ProgressHandler {
  Q_OBJECT

 public:
  // The daemon's status values.
  enum SyncStatus {
    SYNC_QUEUED = 0,
    SYNC_STARTED = 1,
    SYNC_PROGRESS = 2,
    SYNC_ERROR = 3,
    SYNC_DONE = 4,
    SYNC_ABORTED = 5
  };

  // Takes the logger and the thread's Static and subscribes to the daemon's signals.
  KeldraBackend();
  ~KeldraBackend() override;

  // True when the store and the sync objects are ready and the system objects listed.
  bool init();
  // Ends the session (see above); always true.
  bool uninit();

  bool getAllItemIds(QList<QString>& items);
  bool getAllItems(QList<Buteo::StorageItem*>& items);
  bool getNewItemIds(QList<QString>& items, const QDateTime& time);
  bool getNewItems(QList<Buteo::StorageItem*>& items, const QDateTime& time);
  bool getModifiedItemIds(QList<QString>& items, const QDateTime& time);
  bool getModifiedItems(QList<Buteo::StorageItem*>& items, const QDateTime& time);
  bool getDeletedItemIds(QList<QString>& items, const QDateTime& time);

  // A new empty item (the caller owns it), or null while the environment check fails.
  Buteo::StorageItem* newItem();
  // The object of that id as a new item, or null.
  Buteo::StorageItem* getItem(const QString& id);
  // getItem of each id, in order; ids without an item are left out.
  QList<Buteo::StorageItem*> getItems(const QStringList& ids);

  Buteo::StoragePlugin::OperationStatus addItem(Buteo::StorageItem& item);
  QList<Buteo::StoragePlugin::OperationStatus> addItems(const QList<Buteo::StorageItem*>& items);
  Buteo::StoragePlugin::OperationStatus modifyItem(Buteo::StorageItem& item);
  QList<Buteo::StoragePlugin::OperationStatus> modifyItems(const QList<Buteo::StorageItem*>& items);
  Buteo::StoragePlugin::OperationStatus deleteItem(const QString& id);
  QList<Buteo::StoragePlugin::OperationStatus> deleteItems(const QList<QString>& ids);

  // The store's initialisation report: keeps the status.
  void handle_progress(float progress, orva::ErrorCode status) override;

 public Q_SLOTS:
  void slotHandleSyncStatus(QString aProfileId, int aStatus, QString aMessage, int aStatusDetails);
  void slotHandleResultsAvailable(QString aProfileId, Buteo::SyncResults aResults);

 private:
  typedef orva::ErrorCode (orva::keldra::SyncAdapter::*ListFn)(
      std::vector<orva::keldra::Object>&) const;

  bool checkEnv() const;
  bool getAllIds();
  bool getNewIds();
  bool getModifiedIds();
  bool getDeletedIds();
  // Fills |list| once: |seed|, then the local ids of |fn|'s objects; on an error the
  // list stays empty (and is computed again next time).
  bool computeList(std::vector<unsigned int>& list, const std::vector<unsigned int>& seed,
                   ListFn fn, const char* errorFormat, const char* foundFormat);
  static void objectsToIds(const std::vector<orva::keldra::Object>& objects,
                           std::vector<unsigned int>& ids);
  static QString backendIdToStorageId(unsigned int id);
  // False for anything but a decimal number from 1 to 2^31 - 1.
  static bool storageIdToBackendId(const QString& id, unsigned int& localId);
  static void backendIdsToStorageIds(const std::vector<unsigned int>& ids, QList<QString>& out);
  void backendIdsToStorageItems(const std::vector<unsigned int>& ids,
                                QList<Buteo::StorageItem*>& out);
  Buteo::StorageItem* backendIdToStorageItem(unsigned int localId);
  orva::keldra::ObjectPtr storageItemToBackendItem(const Buteo::StorageItem& item);
  // Whether an ordinary object may be written at or removed from |localId|.
  bool isOrdinaryId(unsigned int localId) const;

  orva::SharedPointer<orva::keldra::Static> mStatic;
  orva::SharedPointer<orva::keldra::Store> mStore;
  orva::SharedPointer<orva::keldra::SyncAdapter> mSyncAdapter;
  orva::SharedPointer<orva::keldra::DataAdapter> mDataAdapter;
  orva::SharedPointer<orva::keldra::Repository> mRepository;
  orva::SharedPointer<orva::keldra::internal::SyncExtension> mSyncExtension;
  orva::SharedPointer<orva::keldra::internal::LoggerUmbo> mLogger;
  orva::ErrorCode mStatus;
  orva::SharedPointer<orva::keldra::ObjectConverter> mConverter;
  std::vector<unsigned int> mExtensionIds;
  std::vector<unsigned int> mAllIds;
  std::vector<unsigned int> mNewIds;
  std::vector<unsigned int> mModifiedIds;
  std::vector<unsigned int> mDeletedIds;
  Buteo::SyncClientInterface* mSyncInterface;
  int mLastSyncStatus;
  bool mAllListed;
};
