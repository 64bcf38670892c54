#include "ContactImpl.h"

#include "QmlText.h"

namespace keldra {
namespace qtplugin {

using orva::keldra::Contact;

ContactImpl::ContactImpl(QObject* parent)
    : QObject(parent), m_pool(orva::keldra::StringPool::create()) {
  m_contact.init();
}

ContactImpl::ContactImpl(const orva::SharedPointer<orva::keldra::Attribute>& attribute,
                         QObject* parent)
    : QObject(parent), m_pool(orva::keldra::StringPool::create()) {
  m_contact.attach(attribute);
}

ContactImpl::~ContactImpl() = default;

void ContactImpl::setField(qint32 field_id, QString value) {
  view().set_field_value(static_cast<Contact::Field>(field_id), toUstring(value));
}

void ContactImpl::setFieldDescription(qint32 field_id, QString desc, QString) {
  view().set_field_description(static_cast<Contact::Field>(field_id), toUstring(desc));
}

QString ContactImpl::getField(qint32 field_id) const {
  orva::ustring text;
  view().get_field_value(static_cast<Contact::Field>(field_id), text);
  return fromUstring(text);
}

QString ContactImpl::getFieldDescription(qint32 field_id, QString) const {
  orva::ustring text;
  view().get_field_description(static_cast<Contact::Field>(field_id), text);
  return fromUstring(text);
}

}  // namespace qtplugin
}  // namespace keldra
