// Coordinate datum of positions and bounding boxes, kept in their int32 field "datum".
#pragma once

namespace orva {
namespace keldra {

enum CoordinateDatum : int {
  COORDINATE_DATUM_WGS84 = 0,  // also what an absent field reads as
  COORDINATE_DATUM_CHINA = -1
};

}  // namespace keldra
}  // namespace orva
