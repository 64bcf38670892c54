#include "support/PlaceFixture.h"


#include <tervo/GeoCoordinates.h>

namespace keldra_test {

orva::Location location_at(double latitude, double longitude, double altitude) {
  return orva::Location(orva::GeoCoordinates(latitude, longitude, altitude));
}

}  // namespace keldra_test
