// The "Contact" element: a view over a contact section (class "contact"): six entries
// (phone, fax, mobile, e-mail, web, SIP), each a value and one description. Made over a
// place's attribute it writes that section at once; made empty it owns a new section,
// which a location element copies in.
//
// Numbers outside 1..6 write nothing and read an empty text. The language arguments
// have no effect: an entry has a single description. No signals.
//
// Thread: the QML engine's thread. Owned by the engine or by the element that made it;
// holds its attribute (and the thread's name pool) until destroyed.
#pragma once

#include "ElementMacros.h"

#include "LiveView.h"

#include <QObject>

#include <keldra/Attribute.h>
#include <keldra/Contact.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>

namespace keldra {
namespace qtplugin {

class ContactImpl : public QObject {
  Q_OBJECT

 public:
  enum Field : int { PHONE = 1, FAX = 2, MOBILE = 3, EMAIL = 4, WEB = 5, SIP = 6 };
  Q_ENUM(Field)

  KELDRA_QML_CONSTANT(Field, PHONE)
  KELDRA_QML_CONSTANT(Field, FAX)
  KELDRA_QML_CONSTANT(Field, MOBILE)
  KELDRA_QML_CONSTANT(Field, EMAIL)
  KELDRA_QML_CONSTANT(Field, WEB)
  KELDRA_QML_CONSTANT(Field, SIP)

 public:
  explicit ContactImpl(QObject* parent = nullptr);
  // A view of |attribute|, which must be of class "contact".
  ContactImpl(const orva::SharedPointer<orva::keldra::Attribute>& attribute, QObject* parent);
  ~ContactImpl() override;

  Q_INVOKABLE QString getField(qint32 field_id) const;
  Q_INVOKABLE QString getFieldDescription(qint32 field_id, QString lang = QString()) const;

  const orva::keldra::Contact& contact() const { return view(); }

 public slots:
  void setField(qint32 field_id, QString value);
  void setFieldDescription(qint32 field_id, QString desc, QString lang = QString());

 private:
  orva::SharedPointer<orva::keldra::StringPool> m_pool;  // first: names outlive the view
  // The view, re-attached to its section (see LiveView.h).
  orva::keldra::Contact& view() const { return refreshed(m_contact); }

  mutable orva::keldra::Contact m_contact;
};

}  // namespace qtplugin
}  // namespace keldra
