#include <tervo/GeoRect.h>

#include <cmath>

namespace orva {

GeoRect::GeoRect() {}

GeoRect::GeoRect(double west, double east, double south, double north)
    : m_top_left(north, west), m_bottom_right(south, east) {}

GeoRect::GeoRect(const GeoCoordinates& top_left, const GeoCoordinates& bottom_right)
    : m_top_left(top_left), m_bottom_right(bottom_right) {}

bool GeoRect::is_valid() const {
  return m_top_left.is_valid() && m_bottom_right.is_valid() && get_south() <= get_north();
}

bool GeoRect::contains(const GeoCoordinates& point) const {
  if (!is_valid() || !point.is_valid()) return false;
  const double lat = point.get_latitude(), lon = point.get_longitude();
  if (lat < get_south() || lat > get_north()) return false;
  const double west = get_west(), east = get_east();
  if (west <= east) return lon >= west && lon <= east;
  return lon >= west || lon <= east;
}

bool GeoRect::operator==(const GeoRect& other) const {
  return m_top_left == other.m_top_left && m_bottom_right == other.m_bottom_right;
}

}  // namespace orva
