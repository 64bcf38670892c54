#include "KeldraPlugin.h"

#include "AddressImpl.h"
#include "BoundingBoxImpl.h"
#include "CollectionObjectImpl.h"
#include "ContactImpl.h"
#include "FileSyncOptionsImpl.h"
#include "GenericObjectImpl.h"
#include "GeoCoordinatesImpl.h"
#include "GeoRectImpl.h"
#include "ImageLinkImpl.h"
#include "KeldraImpl.h"
#include "LocationObjectImpl.h"
#include "MapsLocationPropertiesImpl.h"
#include "MetadataImpl.h"
#include "ObjectLinkImpl.h"
#include "PositionImpl.h"
#include "RouteObjectImpl.h"
#include "RoutePropertiesImpl.h"
#include "SearchCriteriaImpl.h"
#include "SearchSortingImpl.h"
#include "StoreImpl.h"
#include "SyncServiceImpl.h"
#include "WaypointImpl.h"

#include <QtQml>

using namespace keldra::qtplugin;

KeldraPlugin::KeldraPlugin(QObject* parent) : QQmlExtensionPlugin(parent) {}

// The module's element types in their fixed order.
void KeldraPlugin::registerTypes(const char* uri) {
  qmlRegisterType<AddressImpl>(uri, 1, 0, "Address");
  qmlRegisterType<BoundingBoxImpl>(uri, 1, 0, "BoundingBox");
  qmlRegisterType<CollectionObjectImpl>(uri, 1, 0, "CollectionObject");
  qmlRegisterType<ContactImpl>(uri, 1, 0, "Contact");
  qmlRegisterType<FileSyncOptionsImpl>(uri, 1, 0, "FileSyncOptions");
  qmlRegisterType<GenericObjectImpl>(uri, 1, 0, "GenericObject");
  qmlRegisterType<GeoCoordinatesImpl>(uri, 1, 0, "GeoCoordinates");
  qmlRegisterType<GeoRectImpl>(uri, 1, 0, "GeoRect");
  qmlRegisterType<ImageLinkImpl>(uri, 1, 0, "ImageLink");
  qmlRegisterType<LocationObjectImpl>(uri, 1, 0, "LocationObject");
  qmlRegisterType<MapsLocationPropertiesImpl>(uri, 1, 0, "MapsLocationProperties");
  qmlRegisterType<MetadataImpl>(uri, 1, 0, "Metadata");
  qmlRegisterType<ObjectLinkImpl>(uri, 1, 0, "ObjectLink");
  qmlRegisterType<PositionImpl>(uri, 1, 0, "Position");
  qmlRegisterType<RouteObjectImpl>(uri, 1, 0, "RouteObject");
  qmlRegisterType<RoutePropertiesImpl>(uri, 1, 0, "RouteProperties");
  qmlRegisterType<SearchCriteriaImpl>(uri, 1, 0, "SearchCriteria");
  qmlRegisterType<SearchSortingImpl>(uri, 1, 0, "SearchSorting");
  qmlRegisterType<StoreImpl>(uri, 1, 0, "Store");
  qmlRegisterType<SyncServiceImpl>(uri, 1, 0, "SyncService");
  qmlRegisterType<KeldraImpl>(uri, 1, 0, "Keldra");
  qmlRegisterType<WaypointImpl>(uri, 1, 0, "Waypoint");
}

void KeldraPlugin::initializeEngine(QQmlEngine*, const char*) {}
