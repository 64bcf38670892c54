// Position: the view of an attribute of class "position", one geographic fix.
//
// Fields: "latitude" and "longitude" (double, degrees); "altitude", "accuracy",
// "alt_accuracy", "speed" and "course" (float); "time" (timestamp); "datum" (int32,
// CoordinateDatum). The geo types give a value that has none as 1073741824.0; such a
// value is never stored: its field is removed instead, and an absent field reads back
// as 1073741824.0.
//
// Results: 0; 2 the attribute cannot be created (a child view whose parent does not
// create it); 3 coordinates or a location that are not valid (nothing written).
// Getters never fail and create nothing.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/AttributeHandle.h>
#include <keldra/CoordinateDatum.h>
#include <keldra/ErrorCode.h>
#include <keldra/StringPool.h>

namespace orva {
class GeoCoordinates;
class Location;

namespace keldra {

// Name table of Position.
class PositionStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle position;  // the class
  StringPool::StringHandle latitude;
  StringPool::StringHandle longitude;
  StringPool::StringHandle altitude;
  StringPool::StringHandle accuracy;
  StringPool::StringHandle alt_accuracy;
  StringPool::StringHandle altitude_above_sea;
  StringPool::StringHandle speed;
  StringPool::StringHandle course;
  StringPool::StringHandle time;
  StringPool::StringHandle datum;
};

class Position : public AttributeHandle {
 public:
  // Unbound root view.
  Position();
  // A root view over a new attribute holding a deep copy of |other|'s content and
  // name; unbound when |other| is.
  Position(const Position& other);
  // Copies |other|'s content into this view's own attribute (created when needed).
  Position& operator=(const Position& other);

  const StringPool::StringHandle& get_class_name_handle() const override;

  // Creates; stores latitude, longitude and the altitude (removed when it has no
  // value, is NaN or infinite). 0, 2, or 3 for coordinates that are not valid.
  ErrorCode set_coordinates(const orva::GeoCoordinates& coordinates);
  // Unbound: |coordinates| untouched. Without latitude or longitude: the default
  // coordinates. Otherwise the stored values, the altitude 1073741824.0 when absent.
  void get_coordinates(orva::GeoCoordinates& coordinates) const;

  // Creates; stores the coordinates, accuracy, alt_accuracy (only with an altitude),
  // course, speed and a non-zero time; a value without value removes its field, and
  // after a failed write the later fields are removed. The y accuracy is not kept.
  // 0, 2, or 3 for a location that is not valid.
  ErrorCode set_location(const orva::Location& location);
  // Sets the coordinates (default ones when unbound or absent); when they are valid
  // also the accuracies (x and y from "accuracy"), speed and course (a course that is
  // not finite or outside 0..360 becomes 1073741824.0); the time when stored.
  void get_location(orva::Location& location) const;

  // Creates; stores the int32 field "datum". 0, or 2.
  ErrorCode set_datum(CoordinateDatum datum);
  // The stored datum; WGS 84 (0) when unbound, absent or of another type.
  CoordinateDatum get_datum() const;

  // Creates; stores the timestamp field "time". 0, or 2.
  ErrorCode set_timestamp(long long timestamp);
  // The timestamp field "time"; 0 when unbound or absent.
  long long get_timestamp() const;

 private:
  PositionStrings* m_strings;
};

}  // namespace keldra
}  // namespace orva
