// The "GeoCoordinates" element: one point (latitude, longitude, altitude) with
// distance, heading and equality. A value of its own; nothing in it is stored.
//
// Not-valid points read NaN latitude and longitude and UNKNOWN_ALTITUDE. Setters take
// any value without a range check and always emit their signal.
//
// Thread: the QML engine's thread. Owned by the engine or by the element that made it.
#pragma once

#include "ElementMacros.h"

#include <QObject>

#include <tervo/GeoCoordinates.h>

namespace keldra {
namespace qtplugin {

class GeoCoordinatesImpl : public QObject {
  Q_OBJECT

 public:
  enum Altitude { UNKNOWN_ALTITUDE = 1073741824 };
  Q_ENUM(Altitude)

 private:
  Q_PROPERTY(double longitude READ getLongitude WRITE setLongitude NOTIFY longitudeChanged)
  Q_PROPERTY(double latitude READ getLatitude WRITE setLatitude NOTIFY latitudeChanged)
  Q_PROPERTY(double altitude READ getAltitude WRITE setAltitude NOTIFY altitudeChanged)
  KELDRA_QML_CONSTANT(Altitude, UNKNOWN_ALTITUDE)

 public:
  explicit GeoCoordinatesImpl(QObject* parent = nullptr);
  GeoCoordinatesImpl(const orva::GeoCoordinates& coordinates, QObject* parent);
  ~GeoCoordinatesImpl() override;

  // |other| is taken as a plain pointer (QML passes no pointers to const); none of
  // these change it.
  // Metres to |other|'s latitude and longitude (its altitude plays no part); NaN for a
  // null or not-valid point.
  Q_INVOKABLE double distance(keldra::qtplugin::GeoCoordinatesImpl* other) const;
  // Latitude, longitude and altitude as the getters read them; false for null.
  Q_INVOKABLE bool equals(keldra::qtplugin::GeoCoordinatesImpl* other) const;
  // Heading in degrees towards |other|; NaN for a null or not-valid point.
  Q_INVOKABLE double heading(keldra::qtplugin::GeoCoordinatesImpl* other) const;
  Q_INVOKABLE double getLongitude() const;
  Q_INVOKABLE double getLatitude() const;
  Q_INVOKABLE double getAltitude() const;

  const orva::GeoCoordinates& coordinates() const { return m_coordinates; }

 public slots:
  void setLongitude(double longitude);
  void setLatitude(double latitude);
  void setAltitude(double altitude);

 signals:
  void longitudeChanged();
  void latitudeChanged();
  void altitudeChanged();

 private:
  orva::GeoCoordinates m_coordinates;
};

}  // namespace qtplugin
}  // namespace keldra
