#include "AddressImpl.h"

#include "QmlText.h"

namespace keldra {
namespace qtplugin {

using orva::keldra::Address;

AddressImpl::AddressImpl(QObject* parent)
    : QObject(parent), m_pool(orva::keldra::StringPool::create()) {
  m_address.init();
}

AddressImpl::AddressImpl(const orva::SharedPointer<orva::keldra::Attribute>& attribute,
                         QObject* parent)
    : QObject(parent), m_pool(orva::keldra::StringPool::create()) {
  m_address.attach(attribute);
}

AddressImpl::~AddressImpl() = default;

void AddressImpl::setField(qint32 field, QString value) {
  view().set_address_field(static_cast<Address::Field>(field), toUstring(value));
}

QString AddressImpl::getField(qint32 field) const {
  orva::ustring text;
  view().get_address_field(static_cast<Address::Field>(field), text);
  return fromUstring(text);
}

void AddressImpl::setMetadata(MetadataImpl* meta) {
  if (!meta) {
    return;
  }
  view().metadata() = meta->meta();
}

MetadataImpl* AddressImpl::getMetadata() {
  orva::keldra::Metadata copy(view().metadata());
  if (!copy.is_safe()) {
    return nullptr;
  }
  return new MetadataImpl(copy.attribute(), this);
}

}  // namespace qtplugin
}  // namespace keldra
