#include "RouteObjectImpl.h"

#include <keldra/Waypoint.h>
#include <keldra/WaypointList.h>

#include <vector>

namespace keldra {
namespace qtplugin {

RouteObjectImpl::RouteObjectImpl(QObject* parent) : GenericObjectImpl(parent) {
  m_route.init();
  attach(m_route.object());
}

RouteObjectImpl::RouteObjectImpl(const orva::SharedPointer<orva::keldra::Object>& object,
                                 QObject* parent)
    : GenericObjectImpl(parent) {
  m_route.attach(object);
  attach(m_route.object());
}

RouteObjectImpl::~RouteObjectImpl() = default;

RoutePropertiesImpl* RouteObjectImpl::getRouteProperties() {
  orva::keldra::RouteProperties& section = route().properties();
  return section.is_safe() ? new RoutePropertiesImpl(section.attribute(), this) : nullptr;
}

void RouteObjectImpl::setRouteProperties(RoutePropertiesImpl* options) {
  if (!options) {
    return;
  }
  route().properties() = options->properties();
  emit routePropertiesChanged();
}

QList<QObject*> RouteObjectImpl::getWayPoints() {
  std::vector<orva::keldra::Waypoint> copies;
  route().waypoints().get_waypoints(copies);
  QList<QObject*> points;
  for (const orva::keldra::Waypoint& copy : copies) {
    if (copy.is_safe()) {
      points.append(new WaypointImpl(copy.attribute(), this));
    }
  }
  return points;
}

void RouteObjectImpl::setWayPoints(QList<QObject*> points) {
  std::vector<orva::keldra::Waypoint> copies;
  for (QObject* point : points) {
    if (auto* waypoint = qobject_cast<WaypointImpl*>(point)) {
      copies.push_back(waypoint->waypoint());
    }
  }
  route().waypoints().set_waypoints(copies);
  emit wayPointsChanged();
}

}  // namespace qtplugin
}  // namespace keldra
