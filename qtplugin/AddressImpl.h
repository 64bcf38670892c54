// The "Address" element: a view over an address section (class "address"): eighteen
// text fields chosen by number, and the section's metadata. Made over a place's
// attribute it writes that section at once; made empty it owns a new section, which a
// location element copies in.
//
// Numbers outside 1..18 write nothing and read an empty text. No signals.
//
// Thread: the QML engine's thread. Owned by the engine or by the element that made it;
// holds its attribute (and the thread's name pool) until destroyed.
#pragma once

#include "ElementMacros.h"
#include "MetadataImpl.h"

#include "LiveView.h"

#include <QObject>

#include <keldra/Address.h>
#include <keldra/Attribute.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>

namespace keldra {
namespace qtplugin {

class AddressImpl : public QObject {
  Q_OBJECT

 public:
  enum Field : int {
    COUNTRY = 1,
    COUNTRY_CODE = 2,
    STATE = 3,
    COUNTY = 4,
    CITY = 5,
    DISTRICT = 6,
    POSTAL_CODE = 7,
    NEIGHBORHOOD = 8,
    STREET = 9,
    STREET_NUMBER = 10,
    EXTENSION = 11,
    CROSSING1 = 12,
    CROSSING2 = 13,
    BUILDING_NAME = 14,
    BUILDING_FLOOR = 15,
    BUILDING_ZONE = 16,
    BUILDING_ROOM = 17,
    BUILDING_ROOM_NAME = 18
  };
  Q_ENUM(Field)

 private:
  Q_PROPERTY(keldra::qtplugin::MetadataImpl* metadata READ getMetadata WRITE setMetadata)
  KELDRA_QML_CONSTANT(Field, COUNTRY)
  KELDRA_QML_CONSTANT(Field, COUNTRY_CODE)
  KELDRA_QML_CONSTANT(Field, STATE)
  KELDRA_QML_CONSTANT(Field, COUNTY)
  KELDRA_QML_CONSTANT(Field, CITY)
  KELDRA_QML_CONSTANT(Field, DISTRICT)
  KELDRA_QML_CONSTANT(Field, POSTAL_CODE)
  KELDRA_QML_CONSTANT(Field, NEIGHBORHOOD)
  KELDRA_QML_CONSTANT(Field, STREET)
  KELDRA_QML_CONSTANT(Field, STREET_NUMBER)
  KELDRA_QML_CONSTANT(Field, EXTENSION)
  KELDRA_QML_CONSTANT(Field, CROSSING1)
  KELDRA_QML_CONSTANT(Field, CROSSING2)
  KELDRA_QML_CONSTANT(Field, BUILDING_NAME)
  KELDRA_QML_CONSTANT(Field, BUILDING_FLOOR)
  KELDRA_QML_CONSTANT(Field, BUILDING_ZONE)
  KELDRA_QML_CONSTANT(Field, BUILDING_ROOM)
  KELDRA_QML_CONSTANT(Field, BUILDING_ROOM_NAME)

 public:
  explicit AddressImpl(QObject* parent = nullptr);
  // A view of |attribute|, which must be of class "address".
  AddressImpl(const orva::SharedPointer<orva::keldra::Attribute>& attribute, QObject* parent);
  ~AddressImpl() override;

  // A detached copy of the "meta" section (child of this element): changes reach the
  // address only through setMetadata. Null when the address has no metadata.
  Q_INVOKABLE keldra::qtplugin::MetadataImpl* getMetadata();
  Q_INVOKABLE QString getField(qint32 field) const;

  const orva::keldra::Address& address() const { return view(); }

 public slots:
  // Copies |meta|'s content into the address's "meta" section; null is ignored.
  void setMetadata(keldra::qtplugin::MetadataImpl* meta);
  // An empty text is stored too; the text ends at its first U+0000.
  void setField(qint32 field, QString value);

 private:
  orva::SharedPointer<orva::keldra::StringPool> m_pool;  // first: names outlive the view
  // The view, re-attached to its section (see LiveView.h).
  orva::keldra::Address& view() const { return refreshed(m_address); }

  mutable orva::keldra::Address m_address;
};

}  // namespace qtplugin
}  // namespace keldra
