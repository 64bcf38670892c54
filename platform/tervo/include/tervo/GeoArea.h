// A region of the earth's surface. GeoRect is the one kind the library uses.
#pragma once

#include <tervo/GeoCoordinates.h>

namespace orva {

class GeoArea {
 public:
  virtual ~GeoArea() {}
  virtual bool is_valid() const = 0;
  // True when |point| lies in the area (edges included); false for coordinates that
  // are not valid and for an area that is not valid.
  virtual bool contains(const GeoCoordinates& point) const = 0;
};

}  // namespace orva
