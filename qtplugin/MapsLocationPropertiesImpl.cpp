#include "MapsLocationPropertiesImpl.h"

#include "QmlText.h"

#include <cstdio>

namespace keldra {
namespace qtplugin {

const char* const VERSION_STRING_FORMAT = "%lu.%lu.%lu.%lu";

using orva::keldra::MapsLocationProperties;

MapsLocationPropertiesImpl::MapsLocationPropertiesImpl(QObject* parent)
    : QObject(parent), m_pool(orva::keldra::StringPool::create()) {
  m_properties.init();
}

MapsLocationPropertiesImpl::MapsLocationPropertiesImpl(
    const orva::SharedPointer<orva::keldra::Attribute>& attribute, QObject* parent)
    : QObject(parent), m_pool(orva::keldra::StringPool::create()) {
  m_properties.attach(attribute);
}

MapsLocationPropertiesImpl::~MapsLocationPropertiesImpl() = default;

QString MapsLocationPropertiesImpl::getMapsAppVersion() const {
  orva::ustring text;
  m_properties.get_maps_app_version(text);
  return fromUstring(text);
}

void MapsLocationPropertiesImpl::setMapsAppVersion(QString version) {
  m_properties.set_maps_app_version(toUstring(version));
  emit appVersionChanged();
}

// A number above 255 is refused rather than cut to its low byte, which would store a
// different version than the one given.
void MapsLocationPropertiesImpl::setMapContentVersion(QString version) {
  const std::string text = toIdentifier(version);
  unsigned long parts[4];
  if (std::sscanf(text.c_str(), VERSION_STRING_FORMAT, &parts[0], &parts[1], &parts[2],
                  &parts[3]) != 4) {
    return;
  }
  MapsLocationProperties::MapContentVersion stored;
  for (int i = 0; i < 4; ++i) {
    if (parts[i] > 255) {
      return;
    }
    stored.parts[i] = static_cast<unsigned char>(parts[i]);
  }
  m_properties.set_map_content_version(stored);
  emit contentVersionChanged();
}

QString MapsLocationPropertiesImpl::getMapContentVersion() const {
  MapsLocationProperties::MapContentVersion version;
  if (!m_properties.get_map_content_version(version)) {
    return QString();
  }
  char text[64];
  std::snprintf(
      text, sizeof text, VERSION_STRING_FORMAT, static_cast<unsigned long>(version.parts[0]),
      static_cast<unsigned long>(version.parts[1]), static_cast<unsigned long>(version.parts[2]),
      static_cast<unsigned long>(version.parts[3]));
  return QString::fromLatin1(text);
}

QString MapsLocationPropertiesImpl::getBasePlaceID() const {
  orva::ustring text;
  m_properties.get_place_id(text);
  return fromUstring(text);
}

quint32 MapsLocationPropertiesImpl::getBasePlaceUrlID() const {
  return m_properties.get_place_url_id();
}

void MapsLocationPropertiesImpl::setBasePOI(QString placeId, quint32 placeUrlId) {
  m_properties.set_place_id(toUstring(placeId));
  m_properties.set_place_url_id(placeUrlId);
  emit placeIdChanged();
  emit placeUrlIdChanged();
}

}  // namespace qtplugin
}  // namespace keldra
