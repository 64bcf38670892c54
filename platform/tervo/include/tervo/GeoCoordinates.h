// Geographic coordinates: latitude and longitude in degrees (WGS 84), altitude in
// metres. Valid coordinates have a finite latitude in -90..90 and a finite longitude
// in -180..180; the altitude is free and 1073741824.0 (ORVA_NO_VALUE) means none.
#pragma once

namespace orva {

// Marker of an altitude, accuracy, speed or course that has no value (2^30).
constexpr double ORVA_NO_VALUE = 1073741824.0;

class GeoCoordinates {
 public:
  // Coordinates that are not valid (NaN latitude and longitude, no altitude).
  GeoCoordinates();
  GeoCoordinates(double latitude, double longitude, double altitude = ORVA_NO_VALUE);

  bool is_valid() const;

  double get_latitude() const { return m_latitude; }
  double get_longitude() const { return m_longitude; }
  double get_altitude() const { return m_altitude; }
  void set_latitude(double latitude) { m_latitude = latitude; }
  void set_longitude(double longitude) { m_longitude = longitude; }
  void set_altitude(double altitude) { m_altitude = altitude; }

  // Great-circle distance in metres (haversine on a sphere of radius 6371010 m, the
  // radius the search's area restriction uses). NaN when either side is not valid.
  double get_distance_m(const GeoCoordinates& other) const;
  // Initial bearing towards other in degrees 0..360 (0 north, 90 east); NaN when
  // either side is not valid or both are the same point.
  double get_heading(const GeoCoordinates& other) const;

  // Brings a longitude into -180..180 (wrapping) and a latitude into -90..90
  // (reflecting over the pole, which also turns the longitude by 180°).
  static void normalize_coordinates(double& latitude, double& longitude);

  // Equal latitude, longitude and altitude; two invalid coordinates are equal.
  bool operator==(const GeoCoordinates& other) const;
  bool operator!=(const GeoCoordinates& other) const { return !(*this == other); }

 private:
  double m_latitude;
  double m_longitude;
  double m_altitude;
};

}  // namespace orva
