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
  view().position() = pos->position();
  emit positionChanged();
}

PositionImpl* WaypointImpl::getPosition() {
  if (!view().position().is_safe()) {
    return nullptr;
  }
  return new PositionImpl(view().position().attribute(), this);
}

void WaypointImpl::setComment(QString comment, QString) {
  view().comment().set_text(toUstring(comment));
  emit commentChanged();
}

QString WaypointImpl::getComment(QString) const {
  orva::ustring text;
  view().comment().get_text(text);
  return fromUstring(text);
}

void WaypointImpl::setLocation(ObjectLinkImpl* link) {
  if (!link) {
    return;
  }
  view().set_location(link->link());
  emit locationChanged();
}

void WaypointImpl::setAttachment(ObjectLinkImpl* link) {
  if (!link) {
    return;
  }
  view().set_attachment(link->link());
  emit attachmentChanged();
}

ObjectLinkImpl* WaypointImpl::getLocation() {
  orva::keldra::Link link;
  view().get_location(link);
  return link.has_value() ? new ObjectLinkImpl(link, this) : nullptr;
}

ObjectLinkImpl* WaypointImpl::getAttachment() {
  orva::keldra::Link link;
  view().get_attachment(link);
  return link.has_value() ? new ObjectLinkImpl(link, this) : nullptr;
}

}  // namespace qtplugin
}  // namespace keldra
