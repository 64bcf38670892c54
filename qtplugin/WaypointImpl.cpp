#include "WaypointImpl.h"

#include "QmlText.h"

#include <keldra/Text.h>

namespace keldra {
namespace qtplugin {

WaypointImpl::WaypointImpl(QObject* parent)
    : QObject(parent), m_pool(orva::keldra::StringPool::create()) {
  m_waypoint.init();
}

WaypointImpl::WaypointImpl(const orva::SharedPointer<orva::keldra::Attribute>& attribute,
                           QObject* parent)
    : QObject(parent), m_pool(orva::keldra::StringPool::create()) {
  m_waypoint.attach(attribute);
}

WaypointImpl::~WaypointImpl() = default;

void WaypointImpl::setPosition(PositionImpl* pos) {
  if (!pos) {
    return;
  }
  m_waypoint.position() = pos->position();
  emit positionChanged();
}

PositionImpl* WaypointImpl::getPosition() {
  if (!m_waypoint.position().is_safe()) {
    return nullptr;
  }
  return new PositionImpl(m_waypoint.position().attribute(), this);
}

void WaypointImpl::setComment(QString comment, QString) {
  m_waypoint.comment().set_text(toUstring(comment));
  emit commentChanged();
}

QString WaypointImpl::getComment(QString) const {
  orva::ustring text;
  m_waypoint.comment().get_text(text);
  return fromUstring(text);
}

void WaypointImpl::setLocation(ObjectLinkImpl* link) {
  if (!link) {
    return;
  }
  m_waypoint.set_location(link->link());
  emit locationChanged();
}

void WaypointImpl::setAttachment(ObjectLinkImpl* link) {
  if (!link) {
    return;
  }
  m_waypoint.set_attachment(link->link());
  emit attachmentChanged();
}

ObjectLinkImpl* WaypointImpl::getLocation() {
  orva::keldra::Link link;
  m_waypoint.get_location(link);
  return link.has_value() ? new ObjectLinkImpl(link, this) : nullptr;
}

ObjectLinkImpl* WaypointImpl::getAttachment() {
  orva::keldra::Link link;
  m_waypoint.get_attachment(link);
  return link.has_value() ? new ObjectLinkImpl(link, this) : nullptr;
}

}  // namespace qtplugin
}  // namespace keldra
