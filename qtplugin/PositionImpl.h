// The "Position" element: a view over a position section (class "position"):
// coordinates with their datum and the values of a location fix (time, speed, course,
// horizontal and vertical accuracy). Made over an object's attribute it writes that
// section at once; made empty it owns a new section, which a location or waypoint
// element copies in.
//
// Unknown values read NaN, an unknown altitude 1073741824 (UNKNOWN_ALTITUDE of
// GeoCoordinates). The fix values are written only once the section holds valid
// coordinates; before that their setters do nothing. Datum: QML 0 WGS84 and 1 China,
// stored as 0 and -1. Altitude above sea is neither read nor written.
//
// Thread: the QML engine's thread. Owned by the engine or by the element that made it;
// holds its attribute (and the thread's name pool) until destroyed.
#pragma once

#include "ElementMacros.h"
#include "GeoCoordinatesImpl.h"

#include <QObject>

#include <keldra/Attribute.h>
#include <keldra/Position.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>

namespace keldra {
namespace qtplugin {

class PositionImpl : public QObject {
  Q_OBJECT

 public:
  enum Datum : int { DATUM_WGS84 = 0, DATUM_CHINA = 1 };
  Q_ENUM(Datum)

 private:
  Q_PROPERTY(keldra::qtplugin::GeoCoordinatesImpl* coordinates READ getCoordinates WRITE
                 setCoordinates NOTIFY coordinatesChanged)
  Q_PROPERTY(double longitude READ getLongitude NOTIFY longitudeChanged)
  Q_PROPERTY(double latitude READ getLatitude NOTIFY latitudeChanged)
  Q_PROPERTY(double altitude READ getAltitude NOTIFY altitudeChanged)
  Q_PROPERTY(double abovesea READ getAltitudeAboveSea WRITE setAltitudeAboveSea NOTIFY
                 altitudeAboveSeaChanged)
  Q_PROPERTY(double haccuracy READ getHorizontalAccuracy NOTIFY horizontalAccuracyChanged)
  Q_PROPERTY(double vaccuracy READ getVerticalAccuracy NOTIFY verticalAccuracyChanged)
  Q_PROPERTY(qint64 time READ getTime WRITE setTime NOTIFY timeChanged)
  Q_PROPERTY(double speed READ getSpeed WRITE setSpeed NOTIFY speedChanged)
  Q_PROPERTY(double course READ getCourse WRITE setCourse NOTIFY courseChanged)
  KELDRA_QML_CONSTANT(Datum, DATUM_WGS84)
  KELDRA_QML_CONSTANT(Datum, DATUM_CHINA)

 public:
  explicit PositionImpl(QObject* parent = nullptr);
  // A view of |attribute|, which must be of class "position".
  PositionImpl(const orva::SharedPointer<orva::keldra::Attribute>& attribute, QObject* parent);
  ~PositionImpl() override;

  // A new GeoCoordinates element (child of this one): a copy of valid coordinates,
  // else an empty one. Never null.
  Q_INVOKABLE keldra::qtplugin::GeoCoordinatesImpl* getCoordinates();
  Q_INVOKABLE qint32 getCoordinateDatum() const;
  Q_INVOKABLE double getLatitude() const;
  Q_INVOKABLE double getLongitude() const;
  Q_INVOKABLE double getAltitude() const;
  Q_INVOKABLE double getAltitudeAboveSea() const;
  Q_INVOKABLE double getHorizontalAccuracy() const;
  Q_INVOKABLE double getVerticalAccuracy() const;
  Q_INVOKABLE double getSpeed() const;
  Q_INVOKABLE double getCourse() const;
  // 0 without valid coordinates.
  Q_INVOKABLE qint64 getTime() const;

  const orva::keldra::Position& position() const { return m_position; }

 public slots:
  // Coordinates that are not valid are not stored; the datum is applied and
  // coordinatesChanged emitted in every case. Datum 0 or 1; any other value leaves
  // the stored datum. Null, or an object that is not a GeoCoordinates element, is
  // ignored. (The element form takes a QObject: QML ranks an element argument as an
  // exact match only for QObject*, and would otherwise pick the two-number form.)
  void setCoordinates(QObject* coord, qint32 datum = 0);
  void setCoordinates(double latitude, double longitude, qint32 datum = 0, double altitude = 0.0);
  // Does nothing.
  void setAltitudeAboveSea(double aboveSea);
  // Each in single precision; a value that is not finite is stored as unknown.
  void setAccuracy(double horizontal, double vertical);
  // 0 leaves the stored time (the signal still follows).
  void setTime(qint64 time);
  // A value that is not finite is stored as unknown.
  void setSpeed(double speed);
  // Only 0..360; anything else is ignored without signal.
  void setCourse(double course);

 signals:
  void coordinatesChanged();
  void longitudeChanged();
  void latitudeChanged();
  void altitudeChanged();
  void altitudeAboveSeaChanged();
  void horizontalAccuracyChanged();
  void verticalAccuracyChanged();
  void timeChanged();
  void speedChanged();
  void courseChanged();

 private:
  orva::SharedPointer<orva::keldra::StringPool> m_pool;  // first: names outlive the view
  orva::keldra::Position m_position;
};

}  // namespace qtplugin
}  // namespace keldra
