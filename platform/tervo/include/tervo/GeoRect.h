// Latitude/longitude rectangle, held as its top-left (north-west) and bottom-right
// (south-east) corners in degrees. A west edge greater than the east edge means the
// rectangle crosses the ±180° meridian. The corners' altitudes are carried along but
// play no part in validity or containment.
#pragma once

#include <tervo/GeoArea.h>
#include <tervo/GeoCoordinates.h>

namespace orva {

class GeoRect : public GeoArea {
 public:
  GeoRect();  // NaN corners: not valid
  // Longitudes first, then latitudes. keldra::PositionCriterion's four-number forms
  // take the other order, (south, north, west, east); both stay as callers rely on them.
  GeoRect(double west, double east, double south, double north);
  GeoRect(const GeoCoordinates& top_left, const GeoCoordinates& bottom_right);

  // Edges finite, latitudes in -90..90 with south <= north, longitudes in -180..180.
  bool is_valid() const override;
  // Edges included; across the meridian a point is inside when its longitude is
  // >= west or <= east.
  bool contains(const GeoCoordinates& point) const override;

  const GeoCoordinates& get_top_left() const { return m_top_left; }
  const GeoCoordinates& get_bottom_right() const { return m_bottom_right; }
  // The corners themselves, for changing an edge in place.
  GeoCoordinates& get_top_left() { return m_top_left; }
  GeoCoordinates& get_bottom_right() { return m_bottom_right; }

  double get_west() const { return m_top_left.get_longitude(); }
  double get_east() const { return m_bottom_right.get_longitude(); }
  double get_south() const { return m_bottom_right.get_latitude(); }
  double get_north() const { return m_top_left.get_latitude(); }

  // Same corners (as GeoCoordinates compares them).
  bool operator==(const GeoRect& other) const;
  bool operator!=(const GeoRect& other) const { return !(*this == other); }

 private:
  GeoCoordinates m_top_left;
  GeoCoordinates m_bottom_right;
};

}  // namespace orva
