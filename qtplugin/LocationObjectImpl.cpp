#include "LocationObjectImpl.h"

#include "QmlText.h"

#include <keldra/LocationCategories.h>
#include <keldra/LoggerUmbo.h>

namespace keldra {
namespace qtplugin {

using orva::keldra::internal::LoggerUmbo;

LocationObjectImpl::LocationObjectImpl(QObject* parent) : GenericObjectImpl(parent) {
  m_place.init();
  attach(m_place.object());
}

LocationObjectImpl::LocationObjectImpl(const orva::SharedPointer<orva::keldra::Object>& object,
                                       QObject* parent)
    : GenericObjectImpl(parent) {
  m_place.attach(object);
  attach(m_place.object());
}

LocationObjectImpl::~LocationObjectImpl() = default;

AddressImpl* LocationObjectImpl::getAddress() {
  orva::keldra::Address& section = place().address();
  return section.is_safe() ? new AddressImpl(section.attribute(), this) : nullptr;
}

ContactImpl* LocationObjectImpl::getContact() {
  orva::keldra::Contact& section = place().contact();
  return section.is_safe() ? new ContactImpl(section.attribute(), this) : nullptr;
}

PositionImpl* LocationObjectImpl::getPosition() {
  orva::keldra::Position& section = place().position();
  return section.is_safe() ? new PositionImpl(section.attribute(), this) : nullptr;
}

MapsLocationPropertiesImpl* LocationObjectImpl::getMapsProperties() {
  LoggerUmbo::log("LocationObjectImpl::getMapsProperties()", LoggerUmbo::MSG_TRACE);
  orva::keldra::MapsLocationProperties& section = place().maps_properties();
  return section.is_safe() ? new MapsLocationPropertiesImpl(section.attribute(), this) : nullptr;
}

void LocationObjectImpl::setAddress(AddressImpl* address) {
  LoggerUmbo::log("LocationObjectImpl::setAddress()", LoggerUmbo::MSG_TRACE);
  if (!address) {
    return;
  }
  place().address() = address->address();
  emit addressChanged();
}

void LocationObjectImpl::setContact(ContactImpl* contact) {
  LoggerUmbo::log("LocationObjectImpl::setContact()", LoggerUmbo::MSG_TRACE);
  if (!contact) {
    return;
  }
  place().contact() = contact->contact();
  emit contactChanged();
}

void LocationObjectImpl::setPosition(PositionImpl* position) {
  LoggerUmbo::log("LocationObjectImpl::setPosition()", LoggerUmbo::MSG_TRACE);
  if (!position) {
    return;
  }
  place().position() = position->position();
  emit positionChanged();
}

void LocationObjectImpl::setMapsProperties(MapsLocationPropertiesImpl* props) {
  LoggerUmbo::log("LocationObjectImpl::setMapsProperites()", LoggerUmbo::MSG_TRACE);
  if (!props) {
    return;
  }
  place().maps_properties() = props->properties();
  emit propertiesChanged();
}

QVariantList LocationObjectImpl::getPlaceCategories() const {
  std::vector<std::string> categories;
  place().categories().get_global_categories(categories);
  QVariantList out;
  for (const std::string& category : categories) {
    out.append(fromIdentifier(category));
  }
  return out;
}

void LocationObjectImpl::setPlaceCategories(QVariantList list) {
  std::vector<std::string> categories;
  for (const QVariant& entry : list) {
    const QString text = entry.toString();
    if (!text.isEmpty()) {
      categories.push_back(toIdentifier(text));
    }
  }
  place().categories().set_global_categories(categories);
  emit placeCategoriesChanged();
}

QString LocationObjectImpl::getQuadCategories() const {
  std::string text;
  place().categories().get_quad_categories(text);
  return fromIdentifier(text);
}

void LocationObjectImpl::setQuadCategories(QString categories) {
  place().categories().set_quad_categories(toIdentifier(categories));
  emit quadCategoriesChanged();
}

}  // namespace qtplugin
}  // namespace keldra
