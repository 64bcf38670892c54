// One sample of a position stream (a track): time, coordinates, altitude, accuracies,
// speed, course and two spare values, each counting only when its flag bit is set.
//
// A plain value type used on one thread. Absent doubles and floats hold NaN after
// reset(); the time is in milliseconds (absolute for items made from locations,
// relative to the first item of the stream for items a binary decoder produced).
#pragma once

namespace orva {
class Location;

namespace keldra {
namespace internal {

class PositionStreamItem {
 public:
  // Bits of |flags|.
  enum Flag : int {
    FLAG_COORDINATES = 0x01,
    FLAG_ALTITUDE = 0x02,
    FLAG_HORIZONTAL_ACCURACY = 0x04,
    FLAG_VERTICAL_ACCURACY = 0x08,
    FLAG_SPEED = 0x10,
    FLAG_COURSE = 0x20,
    FLAG_BYTE_VALUE = 0x40,
    FLAG_ADDITIONAL_VALUE = 0x80,
    FLAG_TIME = 0x100  // set by the binary decoder
  };

  // Flags 0 and every value absent.
  PositionStreamItem();

  // Flags 0, byte value 0, time 0, every double and float NaN.
  void reset();

  // Finite latitude in -90..90 and longitude in -180..<180; a finite horizontal or
  // vertical accuracy must not be negative. The flags are not looked at.
  bool is_valid() const;

  // Copies the item into |location| (time, coordinates with the altitude when
  // present, accuracies, course and speed when present). Does nothing when the item
  // is not valid.
  void get(orva::Location& location) const;

  // Resets the item and takes the values of |location| that it has (the location's
  // marker 1073741824.0 means no value); a value is flagged only when finite. The
  // vertical accuracy is taken only together with an altitude.
  void set(const orva::Location& location);

  // Logs latitude, longitude, altitude and time at type Dump, when that is allowed.
  void dump() const;

  unsigned short flags;
  unsigned char byte_value;
  double latitude;
  double longitude;
  double altitude;
  float additional_value;
  float horizontal_accuracy;  // metres
  float vertical_accuracy;    // metres
  double speed;               // metres per second
  double course;              // degrees
  long long time;             // milliseconds
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
