#include "KeldraPlugin.h"

#include "BoundingBoxImpl.h"
#include "GeoCoordinatesImpl.h"
#include "GeoRectImpl.h"
#include "KeldraImpl.h"
#include "ObjectLinkImpl.h"
#include "SearchCriteriaImpl.h"
#include "SearchSortingImpl.h"

#include <QtQml>

using namespace keldra::qtplugin;

KeldraPlugin::KeldraPlugin(QObject* parent) : QQmlExtensionPlugin(parent) {}

// The module's element types in their fixed order.
void KeldraPlugin::registerTypes(const char* uri) {
  qmlRegisterType<BoundingBoxImpl>(uri, 1, 0, "BoundingBox");
  qmlRegisterType<GeoCoordinatesImpl>(uri, 1, 0, "GeoCoordinates");
  qmlRegisterType<GeoRectImpl>(uri, 1, 0, "GeoRect");
  qmlRegisterType<ObjectLinkImpl>(uri, 1, 0, "ObjectLink");
  qmlRegisterType<SearchCriteriaImpl>(uri, 1, 0, "SearchCriteria");
  qmlRegisterType<SearchSortingImpl>(uri, 1, 0, "SearchSorting");
  qmlRegisterType<KeldraImpl>(uri, 1, 0, "Keldra");
}

void KeldraPlugin::initializeEngine(QQmlEngine*, const char*) {}
