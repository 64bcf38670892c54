#include <tervo/GeoRect.h>

#include <cmath>
#include <limits>

namespace orva {

GeoRect::GeoRect()
    : m_west(std::numeric_limits<double>::quiet_NaN()),
      m_east(std::numeric_limits<double>::quiet_NaN()),
      m_south(std::numeric_limits<double>::quiet_NaN()),
      m_north(std::numeric_limits<double>::quiet_NaN()) {}

GeoRect::GeoRect(double west, double east, double south, double north)
    : m_west(west), m_east(east), m_south(south), m_north(north) {}

GeoRect::GeoRect(const GeoCoordinates& top_left, const GeoCoordinates& bottom_right)
    : m_west(top_left.get_longitude()),
      m_east(bottom_right.get_longitude()),
      m_south(bottom_right.get_latitude()),
      m_north(top_left.get_latitude()) {}

bool GeoRect::is_valid() const {
  auto lon_ok = [](double v) { return std::isfinite(v) && v >= -180.0 && v <= 180.0; };
  auto lat_ok = [](double v) { return std::isfinite(v) && v >= -90.0 && v <= 90.0; };
  return lon_ok(m_west) && lon_ok(m_east) && lat_ok(m_south) && lat_ok(m_north) && m_south <= m_north;
}

bool GeoRect::contains(const GeoCoordinates& point) const {
  if (!is_valid() || !point.is_valid()) return false;
  const double lat = point.get_latitude(), lon = point.get_longitude();
  if (lat < m_south || lat > m_north) return false;
  if (m_west <= m_east) return lon >= m_west && lon <= m_east;
  return lon >= m_west || lon <= m_east;
}

bool GeoRect::operator==(const GeoRect& other) const {
  return m_west == other.m_west && m_east == other.m_east && m_south == other.m_south &&
         m_north == other.m_north;
}

}  // namespace orva
