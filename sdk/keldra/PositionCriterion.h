// PositionCriterion: objects with a stored position inside an area.
//
// The area is a rectangle, a circle (centre and radius in metres), or both: an object
// matches when one of its positions lies in the rectangle and, when a circle is set
// too, within the radius of the centre; with only a circle, within the radius. A
// rectangle that is not valid means "no rectangle", a centre that is not valid "no
// circle"; a criterion with neither cannot be searched (the search refuses it with 3).
// The bounding-box flag is only stored and returned.
//
// Rectangles given as four numbers have the top-left corner (north, west) and the
// bottom-right corner (south, east), both without altitude. The four numbers come
// latitudes first: (south, north, west, east), while orva::GeoRect's constructor takes
// (west, east, south, north); both orders stay, as callers rely on them.
//
// A value; see Criterion (the service id "personal" is required).
#pragma once

#include <keldra/Criterion.h>

#include <tervo/GeoCoordinates.h>
#include <tervo/GeoRect.h>

namespace orva {
namespace keldra {

class PositionCriterion : public Criterion {
 public:
  // No rectangle, no circle (radius NaN).
  PositionCriterion();
  // The circle; no rectangle.
  PositionCriterion(const orva::GeoCoordinates& centre, double radius);
  // The rectangle; no circle.
  explicit PositionCriterion(const orva::GeoRect& rect);
  // Latitudes first; GeoRect(west, east, south, north) is the same area.
  PositionCriterion(double south, double north, double west, double east);
  ~PositionCriterion();

  // Replace the rectangle; the circle stays.
  void set_rect(const orva::GeoRect& rect) { m_rect = rect; }
  // Latitudes first, as the constructor.
  void set_rect(double south, double north, double west, double east);
  // Replaces centre and radius; the rectangle stays.
  void set_circle(const orva::GeoCoordinates& centre, double radius);

  void get_rect(orva::GeoRect& rect) const { rect = m_rect; }
  // The four edges of a valid rectangle; four NaN values when it is not valid.
  void get_rect(double& south, double& north, double& west, double& east) const;
  void get_circle(orva::GeoCoordinates& centre, double& radius) const;

  void set_check_bbox(bool check) { m_check_bbox = check; }
  bool is_bbox_checked() const { return m_check_bbox; }

  // Whether |point| lies in the area, tested in memory. A circle counts only with a
  // valid centre and a finite radius; with neither rectangle nor circle every point
  // matches.
  bool match(const orva::GeoCoordinates& point) const;

  int get_type() const override;

 private:
  orva::GeoRect m_rect;
  orva::GeoCoordinates m_centre;
  double m_radius;
  bool m_check_bbox;
};

}  // namespace keldra
}  // namespace orva
