#include <keldra/Position.h>

#include <keldra/Field.h>

#include <tervo/GeoCoordinates.h>
#include <tervo/Location.h>

#include <cmath>

namespace orva {
namespace keldra {

namespace {

// What the geo types give for an altitude, accuracy, speed or course without value.
const double kNoValue = 1073741824.0;
const float kNoValueF = 1073741824.0f;

}  // namespace

StringPool::StringSet* PositionStrings::create_strings(StringPool& pool) {
  PositionStrings* s = new PositionStrings;
  pool.init_handle(s->position, "position");
  pool.init_handle(s->latitude, "latitude");
  pool.init_handle(s->longitude, "longitude");
  pool.init_handle(s->altitude, "altitude");
  pool.init_handle(s->accuracy, "accuracy");
  pool.init_handle(s->alt_accuracy, "alt_accuracy");
  pool.init_handle(s->altitude_above_sea, "altitude_above_sea");
  pool.init_handle(s->speed, "speed");
  pool.init_handle(s->course, "course");
  pool.init_handle(s->time, "time");
  pool.init_handle(s->datum, "datum");
  return s;
}

Position::Position() : m_strings(view_strings<PositionStrings>()) {}

Position::Position(const Position& other) : AttributeHandle(other), m_strings(other.m_strings) {
  copy(other);
  attach_child_handles();
}

Position& Position::operator=(const Position& other) {
  if (this != &other) {
    m_strings = other.m_strings;
    AttributeHandle::operator=(other);
  }
  return *this;
}

const StringPool::StringHandle& Position::get_class_name_handle() const {
  return m_strings->position;
}

ErrorCode Position::set_coordinates(const orva::GeoCoordinates& coordinates) {
  if (!coordinates.is_valid()) return ORVA_ERROR_INVALID_PARAMETERS;
  ErrorCode result = set_field(m_strings->latitude, coordinates.get_latitude());
  if (result != ORVA_ERROR_NONE) return result;
  result = set_field(m_strings->longitude, coordinates.get_longitude());
  if (result != ORVA_ERROR_NONE) return result;
  float altitude = internal::narrow_to_float(coordinates.get_altitude());
  if (std::isfinite(altitude) && altitude != kNoValueF) {
    return set_field(m_strings->altitude, altitude);
  }
  remove_field(m_strings->altitude);
  return ORVA_ERROR_NONE;
}

void Position::get_coordinates(orva::GeoCoordinates& coordinates) const {
  if (!is_safe()) return;
  // A field of another type leaves its value as set here.
  double latitude = std::nan("");
  double longitude = std::nan("");
  if (!get_field(m_strings->latitude, latitude) || !get_field(m_strings->longitude, longitude)) {
    coordinates = orva::GeoCoordinates();
    return;
  }
  coordinates.set_latitude(latitude);
  coordinates.set_longitude(longitude);
  float altitude = kNoValueF;
  coordinates.set_altitude(get_field(m_strings->altitude, altitude) ? altitude : kNoValue);
}

ErrorCode Position::set_location(const orva::Location& location) {
  if (!location.is_valid()) return ORVA_ERROR_INVALID_PARAMETERS;
  const orva::GeoCoordinates coordinates = location.get_coordinates();
  const float accuracy = location.get_x_accuracy_m();
  const float alt_accuracy = location.get_z_accuracy_m();
  const float course = internal::narrow_to_float(location.get_course_degrees());
  const float speed = internal::narrow_to_float(location.get_speed_m_s());
  const long long timestamp = location.get_timestamp();

  ErrorCode result = set_coordinates(coordinates);
  // Each value is written while everything before succeeded; otherwise, and when it
  // has no value, its field goes.
  auto write = [&](const StringPool::StringHandle& name, bool has_value, float value) {
    if (result == ORVA_ERROR_NONE && has_value) {
      result = set_field(name, value);
    } else {
      remove_field(name);
    }
  };
  write(m_strings->accuracy, accuracy != kNoValueF, accuracy);
  write(m_strings->alt_accuracy,
        coordinates.get_altitude() != kNoValue && alt_accuracy != kNoValueF, alt_accuracy);
  write(m_strings->course, course != kNoValueF, course);
  write(m_strings->speed, speed != kNoValueF, speed);
  if (result == ORVA_ERROR_NONE && timestamp != 0) {
    result = set_time_field(m_strings->time, timestamp);
  }
  return result;
}

void Position::get_location(orva::Location& location) const {
  orva::GeoCoordinates coordinates;
  get_coordinates(coordinates);
  location.set_coordinates(coordinates);
  if (!is_safe()) return;
  if (coordinates.is_valid()) {
    auto read = [this](const StringPool::StringHandle& name) {
      float value = kNoValueF;
      if (!get_field(name, value) || !std::isfinite(value)) value = kNoValueF;
      return value;
    };
    const float accuracy = read(m_strings->accuracy);
    const float alt_accuracy =
        coordinates.get_altitude() != kNoValue ? read(m_strings->alt_accuracy) : kNoValueF;
    float course = read(m_strings->course);
    const float speed = read(m_strings->speed);
    location.set_x_accuracy_m(accuracy);
    location.set_y_accuracy_m(accuracy);
    location.set_z_accuracy_m(alt_accuracy);
    location.set_speed_m_s(speed);
    if (course < 0.0f || course > 360.0f) course = kNoValueF;
    location.set_course_degrees(course);
  }
  long long timestamp = 0;
  if (get_time_field(m_strings->time, timestamp)) location.set_timestamp(timestamp);
}

ErrorCode Position::set_datum(CoordinateDatum datum) {
  return set_field(m_strings->datum, static_cast<int>(datum));
}

CoordinateDatum Position::get_datum() const {
  int datum = COORDINATE_DATUM_WGS84;
  get_field(m_strings->datum, datum);
  return static_cast<CoordinateDatum>(datum);
}

ErrorCode Position::set_timestamp(long long timestamp) {
  return set_time_field(m_strings->time, timestamp);
}

long long Position::get_timestamp() const {
  long long timestamp = 0;
  get_time_field(m_strings->time, timestamp);
  return timestamp;
}

}  // namespace keldra
}  // namespace orva
