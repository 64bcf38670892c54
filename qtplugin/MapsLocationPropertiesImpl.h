// The "MapsLocationProperties" element: a view over a maps-location-properties section
// (class "maps_location_properties"): the maps application's version, the map content
// version and the base place identifiers. Made over a place's attribute it writes that
// section at once; made empty it owns a new section, which a location element copies in.
//
// The content version is the text "a.b.c.d" of four numbers 0..255 (first number in the
// lowest byte of the stored value); any other text is ignored without signal.
//
// Thread: the QML engine's thread. Owned by the engine or by the element that made it;
// holds its attribute (and the thread's name pool) until destroyed.
#pragma once

#include <QObject>
#include <QString>

#include <keldra/Attribute.h>
#include <keldra/MapsLocationProperties.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>

namespace keldra {
namespace qtplugin {

// The text form of a map content version: its four numbers, first one first.
extern const char* const VERSION_STRING_FORMAT;

class MapsLocationPropertiesImpl : public QObject {
  Q_OBJECT
  Q_PROPERTY(
      QString appVersion READ getMapsAppVersion WRITE setMapsAppVersion NOTIFY appVersionChanged)
  Q_PROPERTY(QString contentVersion READ getMapContentVersion WRITE setMapContentVersion NOTIFY
                 contentVersionChanged)
  Q_PROPERTY(QString placeId READ getBasePlaceID NOTIFY placeIdChanged)
  Q_PROPERTY(quint32 placeUrlId READ getBasePlaceUrlID NOTIFY placeUrlIdChanged)

 public:
  explicit MapsLocationPropertiesImpl(QObject* parent = nullptr);
  // A view of |attribute|, which must be of class "maps_location_properties".
  MapsLocationPropertiesImpl(const orva::SharedPointer<orva::keldra::Attribute>& attribute,
                             QObject* parent);
  ~MapsLocationPropertiesImpl() override;

  Q_INVOKABLE QString getMapsAppVersion() const;
  // Empty when none is stored.
  Q_INVOKABLE QString getMapContentVersion() const;
  Q_INVOKABLE QString getBasePlaceID() const;
  // 0 when none is stored.
  Q_INVOKABLE quint32 getBasePlaceUrlID() const;

  const orva::keldra::MapsLocationProperties& properties() const { return m_properties; }

 public slots:
  void setMapsAppVersion(QString version);
  void setMapContentVersion(QString version);
  void setBasePOI(QString placeId, quint32 placeUrlId);

 signals:
  void appVersionChanged();
  void contentVersionChanged();
  void placeIdChanged();
  void placeUrlIdChanged();

 private:
  orva::SharedPointer<orva::keldra::StringPool> m_pool;  // first: names outlive the view
  orva::keldra::MapsLocationProperties m_properties;
};

}  // namespace qtplugin
}  // namespace keldra
