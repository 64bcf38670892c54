#include "BoundingBoxImpl.h"

namespace keldra {
namespace qtplugin {

BoundingBoxImpl::BoundingBoxImpl(QObject* parent)
    : QObject(parent), m_pool(orva::keldra::StringPool::create()) {
  m_box.init();
}

BoundingBoxImpl::BoundingBoxImpl(const orva::SharedPointer<orva::keldra::Attribute>& attribute,
                                 QObject* parent)
    : QObject(parent), m_pool(orva::keldra::StringPool::create()) {
  m_box.attach(attribute);
}

BoundingBoxImpl::~BoundingBoxImpl() = default;

GeoRectImpl* BoundingBoxImpl::getCoordinateLimits() {
  return new GeoRectImpl(m_box.get_rect(), m_box.get_datum(), this);
}

double BoundingBoxImpl::getMinAltitude() const { return m_box.get_min_altitude(); }

double BoundingBoxImpl::getMaxAltitude() const { return m_box.get_max_altitude(); }

void BoundingBoxImpl::setCoordinateLimits(GeoRectImpl* rect) {
  if (!rect) {
    return;
  }
  m_box.set_rect(rect->rect());
  m_box.set_datum(rect->datum());
  emit coordinateLimitsChanged();
}

void BoundingBoxImpl::setAltitudeLimits(double bottom, double top) {
  m_box.set_min_altitude(static_cast<float>(bottom));
  m_box.set_max_altitude(static_cast<float>(top));
  emit minAltitudeChanged();
  emit maxAltitudeChanged();
}

}  // namespace qtplugin
}  // namespace keldra
