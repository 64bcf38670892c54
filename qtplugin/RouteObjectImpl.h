// The "RouteObject" element: a generic object element over a route (class "route")
// with its route properties and waypoints.
//
// The properties element handed out is a live view of the route's section; waypoint
// elements handed out are copies, which reach the route only through setWayPoints.
//
// Thread: the QML engine's thread. Owned by the engine or by the element that made it.
#pragma once

#include "GenericObjectImpl.h"
#include "LiveView.h"
#include "RoutePropertiesImpl.h"
#include "WaypointImpl.h"

#include <QList>

#include <keldra/StorableRoute.h>

namespace keldra {
namespace qtplugin {

class RouteObjectImpl : public GenericObjectImpl {
  Q_OBJECT
  Q_PROPERTY(keldra::qtplugin::RoutePropertiesImpl* properties READ getRouteProperties WRITE
                 setRouteProperties NOTIFY routePropertiesChanged)
  Q_PROPERTY(QList<QObject*> wayPoints READ getWayPoints WRITE setWayPoints NOTIFY wayPointsChanged)

 public:
  // Over a new route.
  explicit RouteObjectImpl(QObject* parent = nullptr);
  // Over |object|, which must be of class "route".
  RouteObjectImpl(const orva::SharedPointer<orva::keldra::Object>& object, QObject* parent);
  ~RouteObjectImpl() override;

  // Null while the route has no properties section.
  Q_INVOKABLE keldra::qtplugin::RoutePropertiesImpl* getRouteProperties();
  // New Waypoint elements (children of this element) over copies, in route order.
  Q_INVOKABLE QList<QObject*> getWayPoints();

 public slots:
  // Copies the element's section into the route; null is ignored.
  void setRouteProperties(keldra::qtplugin::RoutePropertiesImpl* options);
  // Copies of the Waypoint entries, in order (other entries are skipped), replace the
  // route's waypoints. Every call emits wayPointsChanged.
  void setWayPoints(QList<QObject*> points);

 signals:
  void routePropertiesChanged();
  void wayPointsChanged();

 private:
  orva::keldra::StorableRoute& route() const { return refreshedObject(m_route); }

  mutable orva::keldra::StorableRoute m_route;
};

}  // namespace qtplugin
}  // namespace keldra
