#include "adaptation_umbo/sync/KeldraBackend.h"

#include <keldra/DatabaseManager.h>
#include <keldra/DynamicBuffer.h>

#include "adaptation_umbo/storage/DataAdapterUmbo.h"
#include "adaptation_umbo/syncml/SyncAdapterUmbo.h"
#include "adaptation_umbo/sync/SimpleItem.h"
#include "transfer/FileManager.h"

#include <cstdint>
#include <string>

#include <QDir>

using orva::ErrorCode;
using orva::keldra::Object;
using orva::keldra::ObjectPtr;
using orva::keldra::internal::LoggerUmbo;
using orva::keldra::internal::SyncExtension;

namespace {

const LoggerUmbo::MsgType kTrace = LoggerUmbo::MSG_TRACE;
const char kProfile[] = "maps-keldra";
const char kLogFile[] = ".cities/OstraMaps.log";

const Buteo::StoragePlugin::OperationStatus kOk = Buteo::StoragePlugin::STATUS_OK;
const Buteo::StoragePlugin::OperationStatus kFailed = Buteo::StoragePlugin::STATUS_ERROR;

// The local ids of the sync extension's system objects.
const unsigned int kFirstReservedId = 0x7FFFFFFBu;

// The process logger, made with the plug-in's log file when the daemon has none yet.
orva::SharedPointer<LoggerUmbo> processLogger() {
#ifdef KELDRA_STORAGE_TEST_LOG_LEVEL_FILE
  // Test builds read the log level from the test's home instead of the system's file.
  LoggerUmbo::set_level_file_path(QDir::homePath().toStdString() +
                                  "/" KELDRA_STORAGE_TEST_LOG_LEVEL_FILE);
#endif
  return LoggerUmbo::instance(kLogFile);
}

void trace(const char* text) { LoggerUmbo::log(text, kTrace); }

// References are logged as 32-bit values, as on the handset.
unsigned int address_word(const void* p) {
  return static_cast<unsigned int>(reinterpret_cast<uintptr_t>(p));
}

const char* statusName(int status) {
  static const char* const kNames[] = {"QUEUED", "STARTED", "PROGRESS", "ERROR", "DONE", "ABORTED"};
  return status >= 0 && status <= 5 ? kNames[status] : "UNKNOWN STATUS";
}

}  // namespace

KeldraBackend::KeldraBackend()
    : mLogger(processLogger()),
      mStatus(ORVA_ERROR_NONE),
      mSyncInterface(nullptr),
      mLastSyncStatus(-1),
      mAllListed(false) {
  mStatic = orva::keldra::Static::instance();
  mSyncInterface = new Buteo::SyncClientInterface();
  if (!connect(mSyncInterface, SIGNAL(syncStatus(QString, int, QString, int)), this,
               SLOT(slotHandleSyncStatus(QString, int, QString, int)))) {
    trace("Failed to connect to mSyncIterface::syncStatus");
  }
  if (!connect(mSyncInterface, SIGNAL(resultsAvailable(QString, Buteo::SyncResults)), this,
               SLOT(slotHandleResultsAvailable(QString, Buteo::SyncResults)))) {
    trace("Failed to connect to mSyncInterface::resultsAvailable");
  }
  trace("KeldraBackend::KeldraBackend()");
}

KeldraBackend::~KeldraBackend() {
  trace("KeldraBackend::~KeldraBackend()");
  // The library objects of a session that never ended go before the thread's Static.
  mStore = nullptr;
  mSyncAdapter = nullptr;
  mSyncExtension = nullptr;
  mDataAdapter = nullptr;
  mRepository = nullptr;
  mConverter = nullptr;
  mStatic = nullptr;
  delete mSyncInterface;
  mSyncInterface = nullptr;
  mLogger = nullptr;
}

void KeldraBackend::handle_progress(float, ErrorCode status) {
  trace("KeldraBackend::handle_progress()");
  mStatus = status;
}

bool KeldraBackend::checkEnv() const {
  if (mStatus == ORVA_ERROR_NONE && mStore.is_valid() && mDataAdapter.is_valid() &&
      mSyncAdapter.is_valid() && mRepository.is_valid() && mSyncExtension.is_valid() &&
      mConverter.is_valid()) {
    return true;
  }
  LoggerUmbo::logf(kTrace, "KeldraBackend::checkEnv: ERR: something's wrong, status %d", mStatus);
  LoggerUmbo::logf(
      kTrace, "KeldraBackend::checkEnv: ERR: data 0x%08X, repo 0x%08X, store 0x%08X, sync 0x%08X",
      address_word(mDataAdapter.get()), address_word(mRepository.get()), address_word(mStore.get()),
      address_word(mSyncAdapter.get()));
  return false;
}

bool KeldraBackend::init() {
  trace("KeldraBackend::init() ++");
  if (orva::keldra::Store::open(mStore) == ORVA_ERROR_NONE && mStore.is_valid()) {
    mStore->init(*this);
    if (mStatus != ORVA_ERROR_NONE) {
      LoggerUmbo::logf(kTrace, "KeldraBackend::init() --, failure: mStatus is %d", mStatus);
      return false;
    }
    mDataAdapter = orva::keldra::DatabaseManager::open(KELD_SERVICE_PERSONAL);
    if (mDataAdapter.is_valid()) {
      auto* umbo = dynamic_cast<orva::keldra::internal::DataAdapterUmbo*>(mDataAdapter.get());
      if (umbo) umbo->setInSync(true);
      mRepository = mDataAdapter->repository();
      mSyncAdapter = mDataAdapter->sync_adapter();
      mSyncExtension = new SyncExtension(mDataAdapter);
    }
    mConverter = orva::keldra::ObjectConverter::create();

    orva::SharedPointer<orva::keldra::internal::FileManager> files =
        orva::keldra::internal::FileManager::open();
    if (!files.is_valid()) {
      trace("KeldraBackend::init() --, failure: unable to open file manager");
      return false;
    }
    std::string account;
    if (files->read_account_id_file(account) == ORVA_ERROR_NONE && mSyncExtension.is_valid()) {
      mSyncExtension->set_current_user(account);
    }
  }

  if (!checkEnv()) {
    trace("KeldraBackend::init() --, failure");
    return false;
  }
  mExtensionIds.clear();
  mAllIds.clear();
  mNewIds.clear();
  mModifiedIds.clear();
  mDeletedIds.clear();
  const ErrorCode err = mSyncExtension->get_added_objects_list(mExtensionIds);
  if (err != ORVA_ERROR_NONE) {
    LoggerUmbo::logf(kTrace, "mSyncExtension->get_added_objects_list ERROR: %d", err);
    return false;
  }
  LoggerUmbo::logf(kTrace, "KeldraBackend::init: found %d extension objects",
                   static_cast<int>(mExtensionIds.size()));
  trace("KeldraBackend::init() --, success");
  return true;
}

bool KeldraBackend::uninit() {
  trace("KeldraBackend::uninit()");
  auto* umbo = dynamic_cast<orva::keldra::internal::DataAdapterUmbo*>(mDataAdapter.get());
  if (umbo) {
    umbo->setInSync(false);
    umbo->flush(false);
  }
  // Only a finished sync has delivered the removals it listed; after any other status
  // the server may not have them yet.
  if (mLastSyncStatus == SYNC_DONE) {
    auto* sync = dynamic_cast<orva::keldra::internal::SyncAdapterUmbo*>(mSyncAdapter.get());
    if (!sync || sync->purge_removed_ids(mDeletedIds) != ORVA_ERROR_NONE) {
      trace("KeldraBackend::uninit():Failed to cleanup removed ids!");
    }
  } else {
    trace("KeldraBackend::uninit(): Warning: Sync failed, can not commit objects!");
  }
  mStore = nullptr;
  mSyncAdapter = nullptr;
  mSyncExtension = nullptr;
  mDataAdapter = nullptr;
  mRepository = nullptr;
  mConverter = nullptr;
  return true;
}

void KeldraBackend::objectsToIds(const std::vector<Object>& objects,
                                 std::vector<unsigned int>& ids) {
  ids.reserve(ids.size() + objects.size());
  for (const Object& object : objects) ids.push_back(object.get_local_id());
}

bool KeldraBackend::computeList(std::vector<unsigned int>& list,
                                const std::vector<unsigned int>& seed, ListFn fn,
                                const char* errorFormat, const char* foundFormat) {
  if (!list.empty()) return true;
  if (!mSyncAdapter.is_valid()) return false;
  std::vector<Object> objects;
  const ErrorCode err = ((*mSyncAdapter).*fn)(objects);
  if (err != ORVA_ERROR_NONE) {
    LoggerUmbo::logf(kTrace, errorFormat, err);
    // Nothing is kept: a list of the system objects alone would tell the server that
    // the store holds nothing else.
    return false;
  }
  if (foundFormat) {
    LoggerUmbo::logf(kTrace, foundFormat, static_cast<int>(objects.size()));
  }
  list = seed;
  objectsToIds(objects, list);
  return true;
}

bool KeldraBackend::getAllIds() {
  mAllListed = true;
  if (!mAllIds.empty()) return true;
  LoggerUmbo::logf(kTrace, "KeldraBackend::getAllItems: found %d extension objects",
                   static_cast<int>(mExtensionIds.size()));
  if (!computeList(mAllIds, mExtensionIds, &orva::keldra::SyncAdapter::all_objects,
                   "mSyncAdapter->all_objects ERROR: %d", nullptr)) {
    return false;
  }
  LoggerUmbo::logf(kTrace, "KeldraBackend::getAllItems: found %d",
                   static_cast<int>(mAllIds.size()));
  return true;
}

bool KeldraBackend::getNewIds() {
  if (!mNewIds.empty()) return true;
  if (!computeList(mNewIds, mExtensionIds, &orva::keldra::SyncAdapter::new_objects,
                   "mSyncAdapter->new_objects ERROR: %d",
                   "KeldraBackend::getNewIds: found %d added objects")) {
    return false;
  }
  LoggerUmbo::logf(kTrace, "KeldraBackend::getNewIds: found %d added ids",
                   static_cast<int>(mNewIds.size()));
  return true;
}

bool KeldraBackend::getModifiedIds() {
  return computeList(mModifiedIds, std::vector<unsigned int>(),
                     &orva::keldra::SyncAdapter::changed_objects,
                     "mSyncAdapter->changed_objects ERROR: %d",
                     "KeldraBackend::getModifiedIds: found %d changed objects");
}

bool KeldraBackend::getDeletedIds() {
  return computeList(mDeletedIds, std::vector<unsigned int>(),
                     &orva::keldra::SyncAdapter::removed_objects,
                     "mSyncAdapter->removed_objects ERROR: %d",
                     "KeldraBackend::getDeletedIds: found %d removed objects");
}

QString KeldraBackend::backendIdToStorageId(unsigned int id) { return QString::number(id); }

bool KeldraBackend::storageIdToBackendId(const QString& id, unsigned int& localId) {
  if (id.isEmpty() || id.size() > 10) return false;
  for (const QChar c : id) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
  }
  const qulonglong value = id.toULongLong();
  if (value == 0 || value > 0x7FFFFFFFull) return false;
  localId = static_cast<unsigned int>(value);
  return true;
}

void KeldraBackend::backendIdsToStorageIds(const std::vector<unsigned int>& ids,
                                           QList<QString>& out) {
  out.reserve(out.size() + static_cast<int>(ids.size()));
  for (unsigned int id : ids) out.append(backendIdToStorageId(id));
}

void KeldraBackend::backendIdsToStorageItems(const std::vector<unsigned int>& ids,
                                             QList<Buteo::StorageItem*>& out) {
  out.reserve(out.size() + static_cast<int>(ids.size()));
  for (unsigned int id : ids) {
    // An object that cannot be rendered is left out: the daemon takes no null items.
    Buteo::StorageItem* item = backendIdToStorageItem(id);
    if (item) out.append(item);
  }
}

Buteo::StorageItem* KeldraBackend::backendIdToStorageItem(unsigned int localId) {
  if (!mSyncExtension.is_valid()) return nullptr;
  orva::SharedPointer<orva::keldra::DynamicBuffer> buffer;
  const ErrorCode err = mSyncExtension->object_to_transfer_format(
      localId, mAllListed ? SyncExtension::TRANSFER_ALL_LISTED : SyncExtension::TRANSFER_CHANGES,
      buffer);
  if (err != ORVA_ERROR_NONE || !buffer.is_valid()) {
    LoggerUmbo::logf(kTrace, "%s: ERROR: failed to convert object %u, err %d",
                     "backendIdToStorageItem", localId, err);
    return nullptr;
  }
  const unsigned char* data = buffer->get_data();
  const unsigned int length = buffer->get_data_length();
  orva::keldra::internal::DumpCompactMessage(data, length, true, false);
  SimpleItem* item = new SimpleItem();
  item->write(0, QByteArray(reinterpret_cast<const char*>(data), static_cast<int>(length)));
  item->setId(backendIdToStorageId(localId));
  return item;
}

ObjectPtr KeldraBackend::storageItemToBackendItem(const Buteo::StorageItem& item) {
  if (!mConverter.is_valid()) mConverter = orva::keldra::ObjectConverter::create();
  if (!mConverter.is_valid()) return ObjectPtr();
  QByteArray data;
  item.read(0, item.getSize(), data);
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data.constData());
  orva::keldra::internal::DumpCompactMessage(bytes, static_cast<unsigned int>(data.size()), false,
                                             false);
  ObjectPtr object(new Object());
  const ErrorCode err = mConverter->decode(bytes, static_cast<unsigned int>(data.size()), object,
                                           KELDRA_COMPACT_MIME_TYPE);
  if (err != ORVA_ERROR_NONE || !object.is_valid()) {
    LoggerUmbo::logf(
        kTrace, "KeldraBackend::storageItemToBackendItem: failed to decode object, err %d", err);
    return ObjectPtr();
  }
  unsigned int localId = 0;
  if (!storageIdToBackendId(item.getId(), localId)) localId = 0;
  object->set_local_id(localId);
  return object;
}

bool KeldraBackend::isOrdinaryId(unsigned int localId) const {
  if (localId >= kFirstReservedId) return false;
  // A stored system object keeps the global id of its kind.
  const unsigned long long globalId = mRepository->get_object_global_id(localId);
  return SyncExtension::extension_object_gid_to_lid(globalId) == 0;
}

bool KeldraBackend::getAllItemIds(QList<QString>& items) {
  trace("KeldraBackend::getAllItemIds ++");
  const bool ok = getAllIds();
  if (ok) backendIdsToStorageIds(mAllIds, items);
  trace("KeldraBackend::getAllItemIds --");
  return ok;
}

bool KeldraBackend::getAllItems(QList<Buteo::StorageItem*>& items) {
  trace("KeldraBackend::getAllItems ++");
  const bool ok = getAllIds();
  if (ok) backendIdsToStorageItems(mAllIds, items);
  trace("KeldraBackend::getAllItems --");
  return ok;
}

bool KeldraBackend::getNewItemIds(QList<QString>& items, const QDateTime&) {
  trace("KeldraBackend::getNewItemIds ++");
  const bool ok = getNewIds();
  if (ok) backendIdsToStorageIds(mNewIds, items);
  trace("KeldraBackend::getNewItemIds --");
  return ok;
}

bool KeldraBackend::getNewItems(QList<Buteo::StorageItem*>& items, const QDateTime&) {
  trace("KeldraBackend::getNewItems ++");
  const bool ok = getNewIds();
  if (ok) backendIdsToStorageItems(mNewIds, items);
  trace("KeldraBackend::getNewItems --");
  return ok;
}

bool KeldraBackend::getModifiedItemIds(QList<QString>& items, const QDateTime&) {
  trace("KeldraBackend::getModifiedItemIds ++");
  const bool ok = getModifiedIds();
  if (ok) backendIdsToStorageIds(mModifiedIds, items);
  trace("KeldraBackend::getModifiedItemIds --");
  return ok;
}

bool KeldraBackend::getModifiedItems(QList<Buteo::StorageItem*>& items, const QDateTime&) {
  trace("KeldraBackend::getModifiedItems ++");
  const bool ok = getModifiedIds();
  if (ok) backendIdsToStorageItems(mModifiedIds, items);
  trace("KeldraBackend::getModifiedItems --");
  return ok;
}

bool KeldraBackend::getDeletedItemIds(QList<QString>& items, const QDateTime&) {
  trace("KeldraBackend::getDeletedItemIds ++");
  const bool ok = getDeletedIds();
  if (ok) backendIdsToStorageIds(mDeletedIds, items);
  trace("KeldraBackend::getDeletedItemIds --");
  return ok;
}

Buteo::StorageItem* KeldraBackend::newItem() {
  trace("KeldraBackend::newItem ++");
  Buteo::StorageItem* item = checkEnv() ? new SimpleItem() : nullptr;
  trace("KeldraBackend::newItem --");
  return item;
}

Buteo::StorageItem* KeldraBackend::getItem(const QString& id) {
  LoggerUmbo::logf(kTrace, "KeldraBackend::getItem ++: id '%s'", id.toUtf8().constData());
  unsigned int localId = 0;
  Buteo::StorageItem* item =
      storageIdToBackendId(id, localId) ? backendIdToStorageItem(localId) : nullptr;
  trace("KeldraBackend::getItem --");
  return item;
}

QList<Buteo::StorageItem*> KeldraBackend::getItems(const QStringList& ids) {
  LoggerUmbo::logf(kTrace, "KeldraBackend::getItems ++: count %d", ids.size());
  QList<Buteo::StorageItem*> items;
  for (const QString& id : ids) {
    Buteo::StorageItem* item = getItem(id);
    if (item) items.append(item);
  }
  trace("KeldraBackend::getItems --");
  return items;
}

Buteo::StoragePlugin::OperationStatus KeldraBackend::addItem(Buteo::StorageItem& item) {
  trace("KeldraBackend::addItem ++");
  ErrorCode err = ORVA_ERROR_INVALID_PARAMETERS;
  ObjectPtr object;
  if (checkEnv()) object = storageItemToBackendItem(item);
  if (object.is_valid()) {
    unsigned int localId = 0;
    if (mSyncExtension->is_extension_object(object)) {
      err = mSyncExtension->handle_extension_object_received(object, localId);
    } else {
      err = mSyncAdapter->add_object(*object);
      localId = object->get_local_id();
    }
    if (err == ORVA_ERROR_NONE) item.setId(backendIdToStorageId(localId));
  }
  LoggerUmbo::logf(kTrace, "KeldraBackend::addItem --, err %d", err);
  return err == ORVA_ERROR_NONE ? kOk : kFailed;
}

Buteo::StoragePlugin::OperationStatus KeldraBackend::modifyItem(Buteo::StorageItem& item) {
  trace("KeldraBackend::modifyItem ++");
  ErrorCode err = ORVA_ERROR_INVALID_PARAMETERS;
  unsigned int localId = 0;
  ObjectPtr object;
  if (checkEnv() && storageIdToBackendId(item.getId(), localId)) {
    object = storageItemToBackendItem(item);
  }
  if (object.is_valid()) {
    if (mSyncExtension->is_extension_object(object)) {
      unsigned int reserved = 0;
      err = mSyncExtension->handle_extension_object_received(object, reserved);
    } else if (isOrdinaryId(localId)) {
      err = mSyncAdapter->replace_object(localId, *object);
    }
  }
  LoggerUmbo::logf(kTrace, "KeldraBackend::modifyItem --, err %d", err);
  return err == ORVA_ERROR_NONE ? kOk : kFailed;
}

Buteo::StoragePlugin::OperationStatus KeldraBackend::deleteItem(const QString& id) {
  trace("KeldraBackend::deleteItem ++");
  ErrorCode err = ORVA_ERROR_INVALID_PARAMETERS;
  unsigned int localId = 0;
  if (checkEnv() && storageIdToBackendId(id, localId) && isOrdinaryId(localId)) {
    err = mSyncAdapter->delete_object(localId);
  }
  LoggerUmbo::logf(kTrace, "KeldraBackend::deleteItem --, err %d", err);
  return err == ORVA_ERROR_NONE ? kOk : kFailed;
}

QList<Buteo::StoragePlugin::OperationStatus> KeldraBackend::addItems(
    const QList<Buteo::StorageItem*>& items) {
  trace("KeldraBackend::addItems ++");
  QList<Buteo::StoragePlugin::OperationStatus> statuses;
  const bool ready = checkEnv();
  for (Buteo::StorageItem* item : items) {
    statuses.append(ready && item ? addItem(*item) : kFailed);
  }
  trace("KeldraBackend::addItems --");
  return statuses;
}

QList<Buteo::StoragePlugin::OperationStatus> KeldraBackend::modifyItems(
    const QList<Buteo::StorageItem*>& items) {
  trace("KeldraBackend::modifyItems ++");
  QList<Buteo::StoragePlugin::OperationStatus> statuses;
  const bool ready = checkEnv();
  for (Buteo::StorageItem* item : items) {
    statuses.append(ready && item ? modifyItem(*item) : kFailed);
  }
  trace("KeldraBackend::modifyItems --");
  return statuses;
}

QList<Buteo::StoragePlugin::OperationStatus> KeldraBackend::deleteItems(const QList<QString>& ids) {
  trace("KeldraBackend::deleteItems ++");
  QList<Buteo::StoragePlugin::OperationStatus> statuses;
  const bool ready = checkEnv();
  for (const QString& id : ids) statuses.append(ready ? deleteItem(id) : kFailed);
  trace("KeldraBackend::deleteItems --");
  return statuses;
}

void KeldraBackend::slotHandleSyncStatus(QString aProfileId, int aStatus, QString, int) {
  if (aProfileId != QLatin1String(kProfile)) return;
  mLastSyncStatus = aStatus;
  LoggerUmbo::log(std::string("KeldraBackend::slotHandleSyncStatus: ") + statusName(aStatus),
                  kTrace);
}

void KeldraBackend::slotHandleResultsAvailable(QString, Buteo::SyncResults aResults) {
  LoggerUmbo::logf(kTrace, "slotHandleResultsAvailable: major code %d, minor code %d",
                   aResults.majorCode(), aResults.minorCode());
}
