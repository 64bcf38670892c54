// The "LocationObject" element: a generic object element over a place (class
// "location") with the place's own parts: address, contact, position, maps properties,
// place categories and quad categories.
//
// Section getters hand out live views (children of this element) of the place's own
// sections, null while a section is missing; section setters copy the given element's
// section into the place, and the given element stays independent. Categories cross as
// Latin-1.
//
// Thread: the QML engine's thread. Owned by the engine or by the element that made it.
#pragma once

#include "AddressImpl.h"
#include "ContactImpl.h"
#include "GenericObjectImpl.h"
#include "LiveView.h"
#include "MapsLocationPropertiesImpl.h"
#include "PositionImpl.h"

#include <QVariantList>

#include <keldra/MapsLocation.h>

namespace keldra {
namespace qtplugin {

class LocationObjectImpl : public GenericObjectImpl {
  Q_OBJECT
  Q_PROPERTY(
      keldra::qtplugin::AddressImpl* address READ getAddress WRITE setAddress NOTIFY addressChanged)
  Q_PROPERTY(
      keldra::qtplugin::ContactImpl* contact READ getContact WRITE setContact NOTIFY contactChanged)
  Q_PROPERTY(keldra::qtplugin::PositionImpl* position READ getPosition WRITE setPosition NOTIFY
                 positionChanged)
  Q_PROPERTY(keldra::qtplugin::MapsLocationPropertiesImpl* properties READ getMapsProperties WRITE
                 setMapsProperties NOTIFY propertiesChanged)

 public:
  // Over a new place.
  explicit LocationObjectImpl(QObject* parent = nullptr);
  // Over |object|, which must be of class "location".
  LocationObjectImpl(const orva::SharedPointer<orva::keldra::Object>& object, QObject* parent);
  ~LocationObjectImpl() override;

  Q_INVOKABLE keldra::qtplugin::AddressImpl* getAddress();
  Q_INVOKABLE keldra::qtplugin::ContactImpl* getContact();
  Q_INVOKABLE keldra::qtplugin::PositionImpl* getPosition();
  Q_INVOKABLE QVariantList getPlaceCategories() const;
  Q_INVOKABLE keldra::qtplugin::MapsLocationPropertiesImpl* getMapsProperties();
  Q_INVOKABLE QString getQuadCategories() const;

 public slots:
  void setAddress(keldra::qtplugin::AddressImpl* address);
  void setContact(keldra::qtplugin::ContactImpl* contact);
  void setPosition(keldra::qtplugin::PositionImpl* position);
  // Empty entries are skipped; each category is kept once, at its first place. Every
  // call emits placeCategoriesChanged.
  void setPlaceCategories(QVariantList list);
  void setMapsProperties(keldra::qtplugin::MapsLocationPropertiesImpl* props);
  void setQuadCategories(QString categories);

 signals:
  void addressChanged();
  void contactChanged();
  void positionChanged();
  void propertiesChanged();
  void placeCategoriesChanged();
  void quadCategoriesChanged();

 private:
  orva::keldra::MapsLocation& place() const { return refreshedObject(m_place); }

  mutable orva::keldra::MapsLocation m_place;
};

}  // namespace qtplugin
}  // namespace keldra
