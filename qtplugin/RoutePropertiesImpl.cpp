#include "RoutePropertiesImpl.h"

#include "QmlText.h"

#include <keldra/LoggerUmbo.h>

namespace keldra {
namespace qtplugin {

using orva::keldra::RouteProperties;
using orva::keldra::internal::LoggerUmbo;

RoutePropertiesImpl::RoutePropertiesImpl(QObject* parent)
    : QObject(parent), m_pool(orva::keldra::StringPool::create()) {
  m_properties.init();
}

RoutePropertiesImpl::RoutePropertiesImpl(
    const orva::SharedPointer<orva::keldra::Attribute>& attribute, QObject* parent)
    : QObject(parent), m_pool(orva::keldra::StringPool::create()) {
  m_properties.attach(attribute);
}

RoutePropertiesImpl::~RoutePropertiesImpl() = default;

void RoutePropertiesImpl::setMode(qint32 mode) {
  m_properties.set_mode(static_cast<RouteProperties::RouteMode>(mode));
}

void RoutePropertiesImpl::setType(qint32 type) {
  m_properties.set_type(static_cast<RouteProperties::RouteType>(type));
}

qint32 RoutePropertiesImpl::getMode() const { return m_properties.get_mode(); }

qint32 RoutePropertiesImpl::getType() const { return m_properties.get_type(); }

void RoutePropertiesImpl::setOption(qint32 options, bool setOn) {
  m_properties.set_option(static_cast<RouteProperties::RouteOption>(options), setOn);
}

bool RoutePropertiesImpl::hasOption(qint32 options) const {
  return m_properties.is_option_set(static_cast<RouteProperties::RouteOption>(options));
}

QString RoutePropertiesImpl::getArrivalTime() const {
  return fromIdentifier(m_properties.get_arrival_time());
}

QString RoutePropertiesImpl::getDepartureTime() const {
  return fromIdentifier(m_properties.get_departure_time());
}

void RoutePropertiesImpl::setArrivalTime(QString arrival, bool clearDeparture) {
  const std::string text = toIdentifier(arrival);
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "RoutePropertiesImpl::setArrivalTime, Arrival time: %s",
                   text.c_str());
  m_properties.set_arrival_time(text);
  if (clearDeparture) {
    m_properties.set_departure_time(std::string());
  }
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "RoutePropertiesImpl::setArrivalTime, Arrival time 2: %s",
                   m_properties.get_arrival_time().c_str());
}

void RoutePropertiesImpl::setDepartureTime(QString departure, bool clearArrival) {
  m_properties.set_departure_time(toIdentifier(departure));
  if (clearArrival) {
    m_properties.set_arrival_time(std::string());
  }
}

void RoutePropertiesImpl::setTiming(QString departure, QString arrival) {
  m_properties.set_departure_time(toIdentifier(departure));
  if (!arrival.isEmpty()) {
    m_properties.set_arrival_time(toIdentifier(arrival));
  }
}

}  // namespace qtplugin
}  // namespace keldra
