#include "PositionImpl.h"

#include <tervo/Location.h>

#include <cmath>
#include <limits>

namespace keldra {
namespace qtplugin {

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// The fix's value, NaN when it is the unknown marker.
double known(double value) { return value == orva::ORVA_NO_VALUE ? kNaN : value; }

double finite_or_unknown(double value) {
  return std::isfinite(value) ? value : orva::ORVA_NO_VALUE;
}

}  // namespace

PositionImpl::PositionImpl(QObject* parent)
    : QObject(parent), m_pool(orva::keldra::StringPool::create()) {
  m_position.init();
}

PositionImpl::PositionImpl(const orva::SharedPointer<orva::keldra::Attribute>& attribute,
                           QObject* parent)
    : QObject(parent), m_pool(orva::keldra::StringPool::create()) {
  m_position.attach(attribute);
}

PositionImpl::~PositionImpl() = default;

GeoCoordinatesImpl* PositionImpl::getCoordinates() {
  orva::GeoCoordinates coordinates;
  m_position.get_coordinates(coordinates);
  if (!coordinates.is_valid()) {
    return new GeoCoordinatesImpl(this);
  }
  return new GeoCoordinatesImpl(coordinates, this);
}

qint32 PositionImpl::getCoordinateDatum() const {
  return m_position.get_datum() == orva::keldra::COORDINATE_DATUM_CHINA ? DATUM_CHINA : DATUM_WGS84;
}

double PositionImpl::getLatitude() const {
  orva::GeoCoordinates coordinates;
  m_position.get_coordinates(coordinates);
  return coordinates.is_valid() ? coordinates.get_latitude() : kNaN;
}

double PositionImpl::getLongitude() const {
  orva::GeoCoordinates coordinates;
  m_position.get_coordinates(coordinates);
  return coordinates.is_valid() ? coordinates.get_longitude() : kNaN;
}

double PositionImpl::getAltitude() const {
  orva::GeoCoordinates coordinates;
  m_position.get_coordinates(coordinates);
  return coordinates.is_valid() ? coordinates.get_altitude() : kNaN;
}

double PositionImpl::getAltitudeAboveSea() const { return kNaN; }

void PositionImpl::setAltitudeAboveSea(double) {}

void PositionImpl::setCoordinates(double latitude, double longitude, qint32 datum,
                                  double altitude) {
  m_position.set_coordinates(orva::GeoCoordinates(latitude, longitude, altitude));
  if (datum == DATUM_WGS84) {
    m_position.set_datum(orva::keldra::COORDINATE_DATUM_WGS84);
  } else if (datum == DATUM_CHINA) {
    m_position.set_datum(orva::keldra::COORDINATE_DATUM_CHINA);
  }
  emit coordinatesChanged();
}

void PositionImpl::setCoordinates(QObject* element, qint32 datum) {
  auto* coord = qobject_cast<GeoCoordinatesImpl*>(element);
  if (!coord) {
    return;
  }
  setCoordinates(coord->getLatitude(), coord->getLongitude(), datum, coord->getAltitude());
}

double PositionImpl::getHorizontalAccuracy() const {
  orva::Location fix;
  m_position.get_location(fix);
  return fix.is_valid() ? known(fix.get_x_accuracy_m()) : kNaN;
}

double PositionImpl::getVerticalAccuracy() const {
  orva::Location fix;
  m_position.get_location(fix);
  return fix.is_valid() ? known(fix.get_z_accuracy_m()) : kNaN;
}

double PositionImpl::getSpeed() const {
  orva::Location fix;
  m_position.get_location(fix);
  return fix.is_valid() ? known(fix.get_speed_m_s()) : kNaN;
}

double PositionImpl::getCourse() const {
  orva::Location fix;
  m_position.get_location(fix);
  return fix.is_valid() ? known(fix.get_course_degrees()) : kNaN;
}

qint64 PositionImpl::getTime() const {
  orva::Location fix;
  m_position.get_location(fix);
  return fix.is_valid() ? fix.get_timestamp() : 0;
}

void PositionImpl::setAccuracy(double horizontal, double vertical) {
  orva::Location fix;
  m_position.get_location(fix);
  if (!fix.is_valid()) {
    return;
  }
  fix.set_x_accuracy_m(static_cast<float>(finite_or_unknown(horizontal)));
  fix.set_z_accuracy_m(static_cast<float>(finite_or_unknown(vertical)));
  m_position.set_location(fix);
  emit horizontalAccuracyChanged();
  emit verticalAccuracyChanged();
}

void PositionImpl::setTime(qint64 time) {
  orva::Location fix;
  m_position.get_location(fix);
  if (!fix.is_valid()) {
    return;
  }
  fix.set_timestamp(time);
  m_position.set_location(fix);
  emit timeChanged();
}

void PositionImpl::setSpeed(double speed) {
  orva::Location fix;
  m_position.get_location(fix);
  if (!fix.is_valid()) {
    return;
  }
  fix.set_speed_m_s(finite_or_unknown(speed));
  m_position.set_location(fix);
  emit speedChanged();
}

void PositionImpl::setCourse(double course) {
  if (!(course >= 0.0 && course <= 360.0)) {
    return;
  }
  orva::Location fix;
  m_position.get_location(fix);
  if (!fix.is_valid()) {
    return;
  }
  fix.set_course_degrees(course);
  m_position.set_location(fix);
  emit courseChanged();
}

}  // namespace qtplugin
}  // namespace keldra
