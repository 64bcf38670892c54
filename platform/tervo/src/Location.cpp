#include <tervo/Location.h>

namespace orva {

Location::Location()
    : m_x_accuracy(static_cast<float>(ORVA_NO_VALUE)),
      m_y_accuracy(static_cast<float>(ORVA_NO_VALUE)),
      m_z_accuracy(static_cast<float>(ORVA_NO_VALUE)),
      m_speed(ORVA_NO_VALUE),
      m_course(ORVA_NO_VALUE),
      m_timestamp(0) {}

Location::Location(const GeoCoordinates& coordinates) : Location() { m_coordinates = coordinates; }

}  // namespace orva
