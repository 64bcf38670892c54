#include <keldra/PositionCriterion.h>

#include <cmath>
#include <limits>

namespace orva {
namespace keldra {

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();

// The rectangle from its edges: top-left (north, west), bottom-right (south, east).
orva::GeoRect rect_from_edges(double south, double north, double west, double east) {
  return orva::GeoRect(orva::GeoCoordinates(north, west, orva::ORVA_NO_VALUE),
                       orva::GeoCoordinates(south, east, orva::ORVA_NO_VALUE));
}
}  // namespace

PositionCriterion::PositionCriterion() : m_radius(kNaN), m_check_bbox(false) {}

PositionCriterion::PositionCriterion(const orva::GeoCoordinates& centre, double radius)
    : m_centre(centre), m_radius(radius), m_check_bbox(false) {}

PositionCriterion::PositionCriterion(const orva::GeoRect& rect)
    : m_rect(rect), m_radius(kNaN), m_check_bbox(false) {}

PositionCriterion::PositionCriterion(double south, double north, double west, double east)
    : m_rect(rect_from_edges(south, north, west, east)), m_radius(kNaN), m_check_bbox(false) {}

PositionCriterion::~PositionCriterion() {}

void PositionCriterion::set_rect(double south, double north, double west, double east) {
  m_rect = rect_from_edges(south, north, west, east);
}

void PositionCriterion::set_circle(const orva::GeoCoordinates& centre, double radius) {
  m_centre = centre;
  m_radius = radius;
}

void PositionCriterion::get_rect(double& south, double& north, double& west, double& east) const {
  if (!m_rect.is_valid()) {
    south = north = west = east = kNaN;
    return;
  }
  south = m_rect.get_bottom_right().get_latitude();
  north = m_rect.get_top_left().get_latitude();
  west = m_rect.get_top_left().get_longitude();
  east = m_rect.get_bottom_right().get_longitude();
}

void PositionCriterion::get_circle(orva::GeoCoordinates& centre, double& radius) const {
  centre = m_centre;
  radius = m_radius;
}

bool PositionCriterion::match(const orva::GeoCoordinates& point) const {
  if (m_centre.is_valid() && std::isfinite(m_radius)) {
    const double d = m_centre.get_distance_m(point);
    if (!m_rect.is_valid()) return d <= m_radius;
    return d <= m_radius && m_rect.contains(point);
  }
  if (!m_rect.is_valid()) return true;
  return m_rect.contains(point);
}

int PositionCriterion::get_type() const { return TYPE_POSITION; }

}  // namespace keldra
}  // namespace orva
