#include "posstream/PositionStreamItem.h"

#include <keldra/LoggerUmbo.h>
#include <tervo/Location.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace orva {
namespace keldra {
namespace internal {

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const float kNaNf = std::numeric_limits<float>::quiet_NaN();

// A finite accuracy must not be negative; NaN (absent) passes.
bool accuracy_ok(float accuracy) { return !std::isfinite(accuracy) || accuracy >= 0.0f; }
}  // namespace

PositionStreamItem::PositionStreamItem() : flags(0), byte_value(0) { reset(); }

void PositionStreamItem::reset() {
  flags = 0;
  byte_value = 0;
  time = 0;
  latitude = kNaN;
  longitude = kNaN;
  altitude = kNaN;
  additional_value = kNaNf;
  horizontal_accuracy = kNaNf;
  vertical_accuracy = kNaNf;
  speed = kNaN;
  course = kNaN;
}

bool PositionStreamItem::is_valid() const {
  if (!std::isfinite(latitude) || !std::isfinite(longitude)) return false;
  if (latitude < -90.0 || latitude > 90.0) return false;
  if (longitude < -180.0 || longitude >= 180.0) return false;
  return accuracy_ok(horizontal_accuracy) && accuracy_ok(vertical_accuracy);
}

void PositionStreamItem::get(orva::Location& location) const {
  if (!is_valid()) return;
  location.set_timestamp(time);
  orva::GeoCoordinates coordinates;
  if (flags & FLAG_COORDINATES) {
    coordinates.set_latitude(latitude);
    coordinates.set_longitude(longitude);
  }
  if (flags & FLAG_ALTITUDE) coordinates.set_altitude(altitude);
  location.set_coordinates(coordinates);
  if (flags & FLAG_HORIZONTAL_ACCURACY) {
    location.set_x_accuracy_m(horizontal_accuracy);
    location.set_y_accuracy_m(horizontal_accuracy);
  }
  if (flags & FLAG_VERTICAL_ACCURACY) location.set_z_accuracy_m(vertical_accuracy);
  if (flags & FLAG_COURSE) location.set_course_degrees(course);
  if (flags & FLAG_SPEED) location.set_speed_m_s(speed);
}

void PositionStreamItem::set(const orva::Location& location) {
  reset();
  time = location.get_timestamp();

  const orva::GeoCoordinates& coordinates = location.get_coordinates();
  if (coordinates.is_valid()) {
    latitude = coordinates.get_latitude();
    longitude = coordinates.get_longitude();
    flags |= FLAG_COORDINATES;
  }
  if (coordinates.get_altitude() != orva::ORVA_NO_VALUE) {
    altitude = coordinates.get_altitude();
    if (std::isfinite(altitude)) flags |= FLAG_ALTITUDE;
  }
  // The location's accuracies are floats: compare them as such with the marker.
  const float no_value_f = static_cast<float>(orva::ORVA_NO_VALUE);
  if (location.get_x_accuracy_m() != no_value_f) {
    horizontal_accuracy = location.get_x_accuracy_m();
    if (std::isfinite(horizontal_accuracy)) flags |= FLAG_HORIZONTAL_ACCURACY;
  }
  if ((flags & FLAG_ALTITUDE) && location.get_z_accuracy_m() != no_value_f) {
    vertical_accuracy = location.get_z_accuracy_m();
    if (std::isfinite(vertical_accuracy)) flags |= FLAG_VERTICAL_ACCURACY;
  }
  if (location.get_course_degrees() != orva::ORVA_NO_VALUE) {
    course = location.get_course_degrees();
    if (std::isfinite(course)) flags |= FLAG_COURSE;
  }
  if (location.get_speed_m_s() != orva::ORVA_NO_VALUE) {
    speed = location.get_speed_m_s();
    if (std::isfinite(speed)) flags |= FLAG_SPEED;
  }
}

void PositionStreamItem::dump() const {
  // The time is shown as a 32-bit long, as on the handset.
  LoggerUmbo::logf(LoggerUmbo::MSG_DUMP, "PositionStreamItem: %10.6f %10.6f %10.6f %ld", latitude,
                   longitude, altitude, static_cast<long>(static_cast<std::int32_t>(time)));
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
