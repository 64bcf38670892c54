// The "GeoRect" element: a latitude/longitude rectangle with its coordinate datum. A
// value of its own; nothing in it is stored.
//
// Datum: QML uses 0 WGS84 and 1 China, the library 0 and -1. A rectangle that is not
// valid reads NaN limits.
//
// Thread: the QML engine's thread. Owned by the engine or by the element that made it.
#pragma once

#include <QObject>

#include <keldra/CoordinateDatum.h>

#include <tervo/GeoRect.h>

namespace keldra {
namespace qtplugin {

class GeoRectImpl : public QObject {
  Q_OBJECT
  Q_PROPERTY(double minLatitude READ getMinLatitude NOTIFY minLatitudeChanged)
  Q_PROPERTY(double maxLatitude READ getMaxLatitude NOTIFY maxLatitudeChanged)
  Q_PROPERTY(double minLongitude READ getMinLongitude NOTIFY minLongitudeChanged)
  Q_PROPERTY(double maxLongitude READ getMaxLongitude NOTIFY maxLongitudeChanged)
  Q_PROPERTY(qint32 coordinateDatum READ getCoordinateDatum NOTIFY coordinateDatumChanged)

 public:
  // A rectangle that is not valid, datum WGS84.
  explicit GeoRectImpl(QObject* parent = nullptr);
  // Copies |rect| and |datum| (library coding).
  GeoRectImpl(orva::GeoRect rect, orva::keldra::CoordinateDatum datum, QObject* parent);
  ~GeoRectImpl() override;

  Q_INVOKABLE double getMinLatitude() const;
  Q_INVOKABLE double getMaxLatitude() const;
  Q_INVOKABLE double getMinLongitude() const;
  Q_INVOKABLE double getMaxLongitude() const;
  // 1 for the China datum, 0 otherwise.
  Q_INVOKABLE qint32 getCoordinateDatum() const;

  const orva::GeoRect& rect() const { return m_rect; }
  // In the library's coding.
  orva::keldra::CoordinateDatum datum() const { return m_datum; }

 public slots:
  // Limits that do not make a valid rectangle change nothing and emit nothing;
  // otherwise all five signals follow. |datum| 1 is China, any other value WGS84.
  void setBounds(double west, double east, double south, double north, qint32 datum);
  void setBounds(double west, double east, double south, double north);

 signals:
  void minLatitudeChanged();
  void maxLatitudeChanged();
  void minLongitudeChanged();
  void maxLongitudeChanged();
  void coordinateDatumChanged();

 private:
  orva::GeoRect m_rect;
  orva::keldra::CoordinateDatum m_datum;
};

}  // namespace qtplugin
}  // namespace keldra
