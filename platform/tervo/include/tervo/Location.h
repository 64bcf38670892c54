// A position fix: coordinates, accuracies, speed, course, time and descriptive texts.
//
// Accuracies are in metres, the speed in metres per second, the course in degrees
// clockwise from north; each of them, like the altitude of the coordinates, is
// ORVA_NO_VALUE (1073741824.0) when it has no value, which is also what a new Location
// holds. The timestamp is in milliseconds since 1970-01-01 UTC; 0 means unknown and is
// the initial value. A location is valid when its coordinates are valid.
// A value type; not shared between threads while it is changed.
#pragma once

#include <tervo/GeoCoordinates.h>
#include <tervo/LocationInfo.h>

namespace orva {

class Location {
 public:
  Location();
  explicit Location(const GeoCoordinates& coordinates);

  bool is_valid() const { return m_coordinates.is_valid(); }

  const GeoCoordinates& get_coordinates() const { return m_coordinates; }
  void set_coordinates(const GeoCoordinates& coordinates) { m_coordinates = coordinates; }

  float get_x_accuracy_m() const { return m_x_accuracy; }
  float get_y_accuracy_m() const { return m_y_accuracy; }
  float get_z_accuracy_m() const { return m_z_accuracy; }
  void set_x_accuracy_m(float metres) { m_x_accuracy = metres; }
  void set_y_accuracy_m(float metres) { m_y_accuracy = metres; }
  void set_z_accuracy_m(float metres) { m_z_accuracy = metres; }

  double get_speed_m_s() const { return m_speed; }
  void set_speed_m_s(double speed) { m_speed = speed; }
  double get_course_degrees() const { return m_course; }
  void set_course_degrees(double course) { m_course = course; }

  long long get_timestamp() const { return m_timestamp; }
  void set_timestamp(long long ms_since_1970) { m_timestamp = ms_since_1970; }

  LocationInfo& get_info() { return m_info; }
  const LocationInfo& get_info() const { return m_info; }

 private:
  GeoCoordinates m_coordinates;
  float m_x_accuracy;
  float m_y_accuracy;
  float m_z_accuracy;
  double m_speed;
  double m_course;
  long long m_timestamp;
  LocationInfo m_info;
};

}  // namespace orva
