#include "GeoRectImpl.h"

#include <keldra/LoggerUmbo.h>

#include <limits>

namespace keldra {
namespace qtplugin {

using orva::keldra::internal::LoggerUmbo;

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
}

GeoRectImpl::GeoRectImpl(QObject* parent)
    : QObject(parent), m_datum(orva::keldra::COORDINATE_DATUM_WGS84) {}

GeoRectImpl::GeoRectImpl(orva::GeoRect rect, orva::keldra::CoordinateDatum datum, QObject* parent)
    : QObject(parent), m_rect(rect), m_datum(datum) {}

GeoRectImpl::~GeoRectImpl() = default;

double GeoRectImpl::getMinLatitude() const {
  return m_rect.is_valid() ? m_rect.get_bottom_right().get_latitude() : kNaN;
}

double GeoRectImpl::getMaxLatitude() const {
  return m_rect.is_valid() ? m_rect.get_top_left().get_latitude() : kNaN;
}

double GeoRectImpl::getMinLongitude() const {
  return m_rect.is_valid() ? m_rect.get_top_left().get_longitude() : kNaN;
}

double GeoRectImpl::getMaxLongitude() const {
  return m_rect.is_valid() ? m_rect.get_bottom_right().get_longitude() : kNaN;
}

qint32 GeoRectImpl::getCoordinateDatum() const {
  return m_datum == orva::keldra::COORDINATE_DATUM_CHINA ? 1 : 0;
}

void GeoRectImpl::setBounds(double west, double east, double south, double north, qint32 datum) {
  orva::GeoRect rect(west, east, south, north);
  if (!rect.is_valid()) {
    LoggerUmbo::log("rect not valid", LoggerUmbo::MSG_TRACE);
    return;
  }
  LoggerUmbo::log("rect valid", LoggerUmbo::MSG_TRACE);
  m_rect = rect;
  m_datum =
      datum == 1 ? orva::keldra::COORDINATE_DATUM_CHINA : orva::keldra::COORDINATE_DATUM_WGS84;
  emit minLatitudeChanged();
  emit maxLatitudeChanged();
  emit minLongitudeChanged();
  emit maxLongitudeChanged();
  emit coordinateDatumChanged();
}

void GeoRectImpl::setBounds(double west, double east, double south, double north) {
  setBounds(west, east, south, north, 0);
}

}  // namespace qtplugin
}  // namespace keldra
