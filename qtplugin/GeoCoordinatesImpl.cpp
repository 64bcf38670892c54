#include "GeoCoordinatesImpl.h"

#include <limits>

namespace keldra {
namespace qtplugin {

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
}

GeoCoordinatesImpl::GeoCoordinatesImpl(QObject* parent) : QObject(parent) {}

GeoCoordinatesImpl::GeoCoordinatesImpl(const orva::GeoCoordinates& coordinates, QObject* parent)
    : QObject(parent) {
  m_coordinates.set_altitude(coordinates.get_altitude());
  m_coordinates.set_latitude(coordinates.get_latitude());
  m_coordinates.set_longitude(coordinates.get_longitude());
}

GeoCoordinatesImpl::~GeoCoordinatesImpl() = default;

double GeoCoordinatesImpl::getLongitude() const {
  return m_coordinates.is_valid() ? m_coordinates.get_longitude() : kNaN;
}

double GeoCoordinatesImpl::getLatitude() const {
  return m_coordinates.is_valid() ? m_coordinates.get_latitude() : kNaN;
}

double GeoCoordinatesImpl::getAltitude() const {
  return m_coordinates.is_valid() ? m_coordinates.get_altitude() : orva::ORVA_NO_VALUE;
}

void GeoCoordinatesImpl::setLongitude(double longitude) {
  m_coordinates.set_longitude(longitude);
  emit longitudeChanged();
}

void GeoCoordinatesImpl::setLatitude(double latitude) {
  m_coordinates.set_latitude(latitude);
  emit latitudeChanged();
}

void GeoCoordinatesImpl::setAltitude(double altitude) {
  m_coordinates.set_altitude(altitude);
  emit altitudeChanged();
}

double GeoCoordinatesImpl::distance(GeoCoordinatesImpl* other) const {
  if (!other) {
    return kNaN;
  }
  orva::GeoCoordinates target;
  target.set_longitude(other->getLongitude());
  target.set_latitude(other->getLatitude());
  return m_coordinates.get_distance_m(target);
}

double GeoCoordinatesImpl::heading(GeoCoordinatesImpl* other) const {
  if (!other) {
    return kNaN;
  }
  orva::GeoCoordinates target;
  target.set_longitude(other->getLongitude());
  target.set_latitude(other->getLatitude());
  return m_coordinates.get_heading(target);
}

bool GeoCoordinatesImpl::equals(GeoCoordinatesImpl* other) const {
  if (!other) {
    return false;
  }
  orva::GeoCoordinates target;
  target.set_longitude(other->getLongitude());
  target.set_latitude(other->getLatitude());
  target.set_altitude(other->getAltitude());
  return m_coordinates == target;
}

}  // namespace qtplugin
}  // namespace keldra
