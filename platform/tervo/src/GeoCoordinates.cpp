#include <tervo/GeoCoordinates.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace orva {

namespace {
const double kEarthRadiusM = 6371010.0;
const double kRadPerDeg = 0.017453292519943295;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
}  // namespace

GeoCoordinates::GeoCoordinates() : m_latitude(kNaN), m_longitude(kNaN), m_altitude(ORVA_NO_VALUE) {}

GeoCoordinates::GeoCoordinates(double latitude, double longitude, double altitude)
    : m_latitude(latitude), m_longitude(longitude), m_altitude(altitude) {}

bool GeoCoordinates::is_valid() const {
  return std::isfinite(m_latitude) && std::isfinite(m_longitude) && m_latitude >= -90.0 &&
         m_latitude <= 90.0 && m_longitude >= -180.0 && m_longitude <= 180.0;
}

double GeoCoordinates::get_distance_m(const GeoCoordinates& other) const {
  if (!is_valid() || !other.is_valid()) return kNaN;
  const double lat1 = m_latitude * kRadPerDeg, lat2 = other.m_latitude * kRadPerDeg;
  const double dlat = lat2 - lat1;
  const double dlon = (other.m_longitude - m_longitude) * kRadPerDeg;
  double a = std::sin(dlat / 2) * std::sin(dlat / 2) +
             std::cos(lat1) * std::cos(lat2) * std::sin(dlon / 2) * std::sin(dlon / 2);
  // Rounding can take the term just past 1 for antipodal points; sqrt(1 - a) would be NaN.
  a = std::min(1.0, std::max(0.0, a));
  return 2.0 * kEarthRadiusM * std::atan2(std::sqrt(a), std::sqrt(1.0 - a));
}

double GeoCoordinates::get_heading(const GeoCoordinates& other) const {
  if (!is_valid() || !other.is_valid()) return kNaN;
  if (m_latitude == other.m_latitude && m_longitude == other.m_longitude) return kNaN;
  const double lat1 = m_latitude * kRadPerDeg, lat2 = other.m_latitude * kRadPerDeg;
  const double dlon = (other.m_longitude - m_longitude) * kRadPerDeg;
  const double y = std::sin(dlon) * std::cos(lat2);
  const double x =
      std::cos(lat1) * std::sin(lat2) - std::sin(lat1) * std::cos(lat2) * std::cos(dlon);
  double deg = std::atan2(y, x) / kRadPerDeg;
  if (deg < 0) deg += 360.0;
  if (deg >= 360.0) deg -= 360.0;
  return deg;
}

void GeoCoordinates::normalize_coordinates(double& latitude, double& longitude) {
  if (!std::isfinite(latitude) || !std::isfinite(longitude)) return;
  // Latitude: fold into -180..180 first, then reflect over the poles.
  latitude = std::fmod(latitude, 360.0);
  if (latitude > 180.0) latitude -= 360.0;
  if (latitude < -180.0) latitude += 360.0;
  if (latitude > 90.0) {
    latitude = 180.0 - latitude;
    longitude += 180.0;
  } else if (latitude < -90.0) {
    latitude = -180.0 - latitude;
    longitude += 180.0;
  }
  longitude = std::fmod(longitude, 360.0);
  if (longitude > 180.0) longitude -= 360.0;
  if (longitude < -180.0) longitude += 360.0;
}

bool GeoCoordinates::operator==(const GeoCoordinates& other) const {
  auto same = [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); };
  return same(m_latitude, other.m_latitude) && same(m_longitude, other.m_longitude) &&
         same(m_altitude, other.m_altitude);
}

}  // namespace orva
