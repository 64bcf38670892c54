// Geographic areas. A GeoRect is given by its west, east, south and north edges in
// degrees; west > east means the rectangle crosses the ±180° meridian.
#pragma once

#include <tervo/GeoCoordinates.h>

namespace orva {

class GeoArea {
 public:
  virtual ~GeoArea() {}
  virtual bool is_valid() const = 0;
  virtual bool contains(const GeoCoordinates& point) const = 0;
};

class GeoRect : public GeoArea {
 public:
  GeoRect();  // not valid
  GeoRect(double west, double east, double south, double north);
  GeoRect(const GeoCoordinates& top_left, const GeoCoordinates& bottom_right);

  // Finite edges within range and south <= north.
  bool is_valid() const override;
  // Edges included; across the meridian a point is inside when its longitude is
  // >= west or <= east.
  bool contains(const GeoCoordinates& point) const override;

  GeoCoordinates get_top_left() const { return GeoCoordinates(m_north, m_west); }
  GeoCoordinates get_bottom_right() const { return GeoCoordinates(m_south, m_east); }
  double get_west() const { return m_west; }
  double get_east() const { return m_east; }
  double get_south() const { return m_south; }
  double get_north() const { return m_north; }

  bool operator==(const GeoRect& other) const;

 private:
  double m_west;
  double m_east;
  double m_south;
  double m_north;
};

}  // namespace orva
