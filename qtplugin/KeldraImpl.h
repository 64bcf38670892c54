// The "Keldra" element: the factory of the QML module. It opens the local store and the
// sync service on first use and hands out Store and SyncService elements over them (all
// SyncService elements of one factory share its one service); it makes new, empty
// object, value and link elements; it writes and deletes the server redirection file,
// deletes the local database and starts a new log. It declares the status, sharing and
// state enumerations whose values the other elements report, and the one mapping from
// library result codes to status values.
//
// Every element it makes is its child. resetLocalDatabase refuses (false) while the
// database is open in this process; it releases the factory's own store first.
//
// Thread: the QML engine's thread. Owned by the engine or by its QObject parent.
#pragma once

#include "AddressImpl.h"
#include "BoundingBoxImpl.h"
#include "CollectionObjectImpl.h"
#include "ContactImpl.h"
#include "ElementMacros.h"
#include "GenericObjectImpl.h"
#include "GeoCoordinatesImpl.h"
#include "GeoRectImpl.h"
#include "ImageLinkImpl.h"
#include "LocationObjectImpl.h"
#include "MapsLocationPropertiesImpl.h"
#include "MetadataImpl.h"
#include "ObjectLinkImpl.h"
#include "PositionImpl.h"
#include "RouteObjectImpl.h"
#include "RoutePropertiesImpl.h"
#include "StoreImpl.h"
#include "SyncServiceImpl.h"
#include "WaypointImpl.h"

#include <QObject>
#include <QString>

#include <keldra/SharedPointer.h>
#include <keldra/Store.h>
#include <keldra/SyncService.h>

namespace keldra {
namespace qtplugin {

// The redirection file is QDir::homePath() + KELDRA_CITIES_FOLDER + KELDRA_REDIRECTION_FILE.
extern const char* const KELDRA_CITIES_FOLDER;
extern const char* const KELDRA_REDIRECTION_FILE;

class KeldraImpl : public QObject {
  Q_OBJECT

 public:
  enum OpStatus {
    STATUS_INPROGRESS = 0,
    STATUS_OK = 1,
    STATUS_ERROR_NETWORK_PROBLEM = 2,
    STATUS_ERROR_WRONG_LOGIN = 3,
    STATUS_CANCELED = 4,
    STATUS_ERROR_UNKNOWN = 5
  };
  Q_ENUM(OpStatus)

  // The library's sharing model numbers.
  enum ObjectSharing {
    SHARING_PRIVATE = 0,
    SHARING_PUBLIC_READONLY = 1,
    SHARING_PUBLIC_READWRITE = 2,
    SHARING_DELETED_BY_OWNER = 3
  };
  Q_ENUM(ObjectSharing)

  // The low bits of an object's flags word.
  enum ObjectStates {
    STATE_MODIFIED = 1,
    STATE_HAS_LOCAL_ONLY_CONTENT = 4,
    STATE_HAS_REMOTE_ONLY_CONTENT = 8,
    STATE_LINKS_MODIFIED = 2
  };
  Q_ENUM(ObjectStates)

  KELDRA_QML_CONSTANT(OpStatus, STATUS_INPROGRESS)
  KELDRA_QML_CONSTANT(OpStatus, STATUS_OK)
  KELDRA_QML_CONSTANT(OpStatus, STATUS_ERROR_NETWORK_PROBLEM)
  KELDRA_QML_CONSTANT(OpStatus, STATUS_ERROR_WRONG_LOGIN)
  KELDRA_QML_CONSTANT(OpStatus, STATUS_CANCELED)
  KELDRA_QML_CONSTANT(OpStatus, STATUS_ERROR_UNKNOWN)
  KELDRA_QML_CONSTANT(ObjectSharing, SHARING_PRIVATE)
  KELDRA_QML_CONSTANT(ObjectSharing, SHARING_PUBLIC_READONLY)
  KELDRA_QML_CONSTANT(ObjectSharing, SHARING_PUBLIC_READWRITE)
  KELDRA_QML_CONSTANT(ObjectSharing, SHARING_DELETED_BY_OWNER)
  KELDRA_QML_CONSTANT(ObjectStates, STATE_MODIFIED)
  KELDRA_QML_CONSTANT(ObjectStates, STATE_HAS_LOCAL_ONLY_CONTENT)
  KELDRA_QML_CONSTANT(ObjectStates, STATE_HAS_REMOTE_ONLY_CONTENT)
  KELDRA_QML_CONSTANT(ObjectStates, STATE_LINKS_MODIFIED)

 public:
  explicit KeldraImpl(QObject* parent = nullptr);
  ~KeldraImpl() override;

  // A new Store element over the factory's store (opened on first success), or null.
  Q_INVOKABLE keldra::qtplugin::StoreImpl* openLocalStore();
  // Always null.
  Q_INVOKABLE keldra::qtplugin::StoreImpl* openGlobalStore();
  // A new SyncService element over the factory's one sync service, or null.
  Q_INVOKABLE keldra::qtplugin::SyncServiceImpl* openSyncService();
  Q_INVOKABLE keldra::qtplugin::GenericObjectImpl* createGenericObject();
  Q_INVOKABLE keldra::qtplugin::LocationObjectImpl* createLocationObject();
  Q_INVOKABLE keldra::qtplugin::RouteObjectImpl* createRouteObject();
  Q_INVOKABLE keldra::qtplugin::CollectionObjectImpl* createCollectionObject();
  Q_INVOKABLE keldra::qtplugin::MetadataImpl* createMetadata();
  Q_INVOKABLE keldra::qtplugin::GeoRectImpl* createGeoRect();
  Q_INVOKABLE keldra::qtplugin::GeoCoordinatesImpl* createGeoCoordinates();
  Q_INVOKABLE keldra::qtplugin::BoundingBoxImpl* createBoundingBox();
  Q_INVOKABLE keldra::qtplugin::AddressImpl* createAddress();
  Q_INVOKABLE keldra::qtplugin::ContactImpl* createContact();
  Q_INVOKABLE keldra::qtplugin::PositionImpl* createPosition();
  Q_INVOKABLE keldra::qtplugin::WaypointImpl* createWayPoint();
  Q_INVOKABLE keldra::qtplugin::RoutePropertiesImpl* createRouteProperties();
  Q_INVOKABLE keldra::qtplugin::ObjectLinkImpl* createGlobalLink(quint64 gid);
  Q_INVOKABLE keldra::qtplugin::ObjectLinkImpl* createLocalLink(quint32 lid);
  // Without |file| an empty image link; else a new frame linking |file|.
  Q_INVOKABLE keldra::qtplugin::ImageLinkImpl* createImageLink(
      keldra::qtplugin::ObjectLinkImpl* file = nullptr, qint32 frameIndex = 0,
      qint32 maskFrameIndex = -1);
  Q_INVOKABLE keldra::qtplugin::MapsLocationPropertiesImpl* createMapsLocationProperties();
  // Writes the server string and a line end to the redirection file.
  Q_INVOKABLE bool setTargetServer(QString server);
  // Removes the database file with its journal and WAL files; false while the database
  // is open in this process (a Store element or another holder keeps it), or when the
  // file could not be removed.
  Q_INVOKABLE bool resetLocalDatabase();
  // Starts a new log file; |save| keeps the old log and dump under time-stamped names.
  Q_INVOKABLE void resetLog(bool save);
  Q_INVOKABLE bool deleteRedirectionFile();

  // The factory's store, opened when not held yet (empty when that fails).
  orva::SharedPointer<orva::keldra::Store> getStore();
  // The factory's one sync service, taken on first use.
  orva::SharedPointer<orva::keldra::SyncService> getSyncService();

  // The OpStatus value of a library result code: 0 is STATUS_OK, 0x6001 in progress,
  // 0x6004 wrong login, 0x6005 network problem, 0x6006 cancelled, anything else
  // STATUS_ERROR_UNKNOWN.
  static int errorCodeToStatus(int err);

 private:
  orva::SharedPointer<orva::keldra::Store> m_store;
  orva::SharedPointer<orva::keldra::SyncService> m_syncService;
};

}  // namespace qtplugin
}  // namespace keldra
