// The "BoundingBox" element: a view over a bounding-box section (class "box") of an
// object. Made over an object's attribute it is a live view: writes change that object
// in memory at once (stored when the object is saved). Made empty it owns a new
// attribute, which an object element copies in.
//
// Library errors of the setters are not reported; a rectangle that is not valid is
// stored as four NaN limits.
//
// Thread: the QML engine's thread. Owned by the engine or by the element that made it;
// holds its attribute (and the thread's name pool) until destroyed.
#pragma once

#include "GeoRectImpl.h"

#include <QObject>

#include <keldra/Attribute.h>
#include <keldra/BoundingBox.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>

namespace keldra {
namespace qtplugin {

class BoundingBoxImpl : public QObject {
  Q_OBJECT
  Q_PROPERTY(double minAltitude READ getMinAltitude NOTIFY minAltitudeChanged)
  Q_PROPERTY(double maxAltitude READ getMaxAltitude NOTIFY maxAltitudeChanged)
  Q_PROPERTY(keldra::qtplugin::GeoRectImpl* coordinateLimits READ getCoordinateLimits WRITE
                 setCoordinateLimits NOTIFY coordinateLimitsChanged)

 public:
  // Owns a new "box" attribute.
  explicit BoundingBoxImpl(QObject* parent = nullptr);
  // A live view of |attribute|, which must be of class "box".
  BoundingBoxImpl(const orva::SharedPointer<orva::keldra::Attribute>& attribute, QObject* parent);
  ~BoundingBoxImpl() override;

  // A new GeoRect element (child of this one) on every call.
  Q_INVOKABLE keldra::qtplugin::GeoRectImpl* getCoordinateLimits();
  // NaN when absent.
  Q_INVOKABLE double getMinAltitude() const;
  Q_INVOKABLE double getMaxAltitude() const;

  const orva::keldra::BoundingBox& bbox() const { return m_box; }

 public slots:
  // Null is ignored.
  void setCoordinateLimits(keldra::qtplugin::GeoRectImpl* rect);
  // Stored in single precision; no order check.
  void setAltitudeLimits(double bottom, double top);

 signals:
  void minAltitudeChanged();
  void maxAltitudeChanged();
  void coordinateLimitsChanged();

 private:
  orva::SharedPointer<orva::keldra::StringPool> m_pool;  // first: names outlive the view
  orva::keldra::BoundingBox m_box;
};

}  // namespace qtplugin
}  // namespace keldra
