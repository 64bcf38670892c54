#include <keldra/BoundingBox.h>

#include <tervo/GeoCoordinates.h>
#include <tervo/Location.h>

#include <cfloat>
#include <cmath>
#include <limits>

namespace orva {
namespace keldra {

namespace {

// The altitude the geo types give when there is none.
const double kNoAltitude = 1073741824.0;
const float kNoAltitudeF = 1073741824.0f;

// Whether |bound| is a stored altitude bound worth keeping.
bool is_bound(float bound) { return std::isfinite(bound) && bound != kNoAltitudeF; }

}  // namespace

StringPool::StringSet* BoundingBoxStrings::create_strings(StringPool& pool) {
  BoundingBoxStrings* s = new BoundingBoxStrings;
  pool.init_handle(s->box, "box");
  pool.init_handle(s->minlat, "minlat");
  pool.init_handle(s->maxlat, "maxlat");
  pool.init_handle(s->minlong, "minlong");
  pool.init_handle(s->maxlong, "maxlong");
  pool.init_handle(s->minalt, "minalt");
  pool.init_handle(s->maxalt, "maxalt");
  pool.init_handle(s->datum, "datum");
  return s;
}

BoundingBox::BoundingBox() : m_strings(view_strings<BoundingBoxStrings>()) {}

BoundingBox::BoundingBox(const BoundingBox& other)
    : AttributeHandle(other), m_strings(other.m_strings) {
  copy(other);
  attach_child_handles();
}

BoundingBox& BoundingBox::operator=(const BoundingBox& other) {
  if (this != &other) {
    m_strings = other.m_strings;
    AttributeHandle::operator=(other);
  }
  return *this;
}

const StringPool::StringHandle& BoundingBox::get_class_name_handle() const {
  return m_strings->box;
}

ErrorCode BoundingBox::set_rect(const orva::GeoRect& rect) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  double minlat = nan, maxlat = nan, minlong = nan, maxlong = nan;
  if (rect.is_valid()) {
    maxlat = rect.get_top_left().get_latitude();
    minlat = rect.get_bottom_right().get_latitude();
    minlong = rect.get_top_left().get_longitude();
    maxlong = rect.get_bottom_right().get_longitude();
  }
  ErrorCode result = set_field(m_strings->minlat, minlat);
  if (result == ORVA_ERROR_NONE) result = set_field(m_strings->maxlat, maxlat);
  if (result == ORVA_ERROR_NONE) result = set_field(m_strings->minlong, minlong);
  if (result == ORVA_ERROR_NONE) result = set_field(m_strings->maxlong, maxlong);
  return result;
}

orva::GeoRect BoundingBox::get_rect() const {
  if (!is_safe()) return orva::GeoRect();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  double minlat = nan, maxlat = nan, minlong = nan, maxlong = nan;
  get_field(m_strings->minlat, minlat);
  get_field(m_strings->minlong, minlong);
  get_field(m_strings->maxlat, maxlat);
  get_field(m_strings->maxlong, maxlong);
  return orva::GeoRect(orva::GeoCoordinates(maxlat, minlong, kNoAltitude),
                       orva::GeoCoordinates(minlat, maxlong, kNoAltitude));
}

ErrorCode BoundingBox::extend(const orva::Location& location) {
  // A point off the globe would move an edge out of range, and a rectangle that is not
  // valid is stored as four NaN edges: the box would be lost.
  if (!location.is_valid()) return ORVA_ERROR_INVALID_PARAMETERS;
  const orva::GeoCoordinates& point = location.get_coordinates();
  orva::GeoRect rect = get_rect();
  ErrorCode result = ORVA_ERROR_NONE;
  if (!rect.is_valid()) {
    result = set_rect(orva::GeoRect(point, point));
  } else if (!rect.contains(point)) {
    orva::GeoCoordinates& top_left = rect.get_top_left();
    orva::GeoCoordinates& bottom_right = rect.get_bottom_right();
    if (point.get_latitude() > top_left.get_latitude()) {
      top_left.set_latitude(point.get_latitude());
    }
    if (point.get_latitude() < bottom_right.get_latitude()) {
      bottom_right.set_latitude(point.get_latitude());
    }
    if (point.get_longitude() < top_left.get_longitude()) {
      top_left.set_longitude(point.get_longitude());
    }
    if (point.get_longitude() > bottom_right.get_longitude()) {
      bottom_right.set_longitude(point.get_longitude());
    }
    result = set_rect(rect);
  }
  if (result != ORVA_ERROR_NONE) return result;

  // A location without altitude must not become a bound of the range, nor may a
  // value that no float can hold.
  const double raw_altitude = point.get_altitude();
  if (!std::isfinite(raw_altitude) || std::fabs(raw_altitude) > FLT_MAX) return ORVA_ERROR_NONE;
  const float altitude = static_cast<float>(raw_altitude);
  if (!is_bound(altitude)) return ORVA_ERROR_NONE;
  const float max_altitude = get_max_altitude();
  if (!is_bound(max_altitude) || altitude > max_altitude) {
    result = set_max_altitude(altitude);
    if (result != ORVA_ERROR_NONE) return result;
  }
  const float min_altitude = get_min_altitude();
  if (!is_bound(min_altitude) || altitude < min_altitude) return set_min_altitude(altitude);
  return ORVA_ERROR_NONE;
}

ErrorCode BoundingBox::set_min_altitude(float altitude) {
  return set_field(m_strings->minalt, altitude);
}

ErrorCode BoundingBox::set_max_altitude(float altitude) {
  return set_field(m_strings->maxalt, altitude);
}

float BoundingBox::get_min_altitude() const { return get_float_val(m_strings->minalt); }

float BoundingBox::get_max_altitude() const { return get_float_val(m_strings->maxalt); }

ErrorCode BoundingBox::set_datum(CoordinateDatum datum) {
  return set_field(m_strings->datum, static_cast<int>(datum));
}

CoordinateDatum BoundingBox::get_datum() const {
  int datum = COORDINATE_DATUM_WGS84;
  get_field(m_strings->datum, datum);
  return static_cast<CoordinateDatum>(datum);
}

}  // namespace keldra
}  // namespace orva
