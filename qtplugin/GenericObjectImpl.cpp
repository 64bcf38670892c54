#include "GenericObjectImpl.h"

#include "QmlText.h"

#include <keldra/Attribute.h>
#include <keldra/AttributeList.h>
#include <keldra/Field.h>
#include <keldra/FieldList.h>
#include <keldra/Link.h>

namespace keldra {
namespace qtplugin {

using orva::SharedPointer;
using orva::keldra::Attribute;
using orva::keldra::Object;

namespace {

const char kCustomClass[] = "custom";
const char kSystemPrefix[] = "sys.";

// Up to the first NUL, as the library's names end there.
QString fromName(const std::string& text) { return QString::fromLatin1(text.c_str()); }

}  // namespace

GenericObjectImpl::GenericObjectImpl(QObject* parent)
    : QObject(parent), m_pool(orva::keldra::StringPool::create()) {
  m_view.init();
}

GenericObjectImpl::GenericObjectImpl(const SharedPointer<Object>& object, QObject* parent)
    : QObject(parent), m_pool(orva::keldra::StringPool::create()) {
  m_view.attach(object);
}

GenericObjectImpl::~GenericObjectImpl() = default;

void GenericObjectImpl::attach(const SharedPointer<Object>& object) { m_view.attach(object); }

Object& GenericObjectImpl::boundObject() {
  m_view.init();
  return *m_view.object();
}

quint32 GenericObjectImpl::getLID() const { return object() ? object()->get_local_id() : 0; }

quint64 GenericObjectImpl::getGID() const { return object() ? object()->get_global_id() : 0; }

QString GenericObjectImpl::getName() const {
  return object() ? fromName(object()->get_name()) : QString();
}

QDateTime GenericObjectImpl::getModificationDate() const {
  return object() ? QDateTime::fromMSecsSinceEpoch(object()->get_timestamp()) : QDateTime();
}

QString GenericObjectImpl::getClass() const {
  return object() ? fromName(object()->get_class_name()) : QString();
}

quint32 GenericObjectImpl::getVersion() const { return object() ? object()->get_version() : 0; }

bool GenericObjectImpl::isSystem() const { return object() && object()->is_system(); }

bool GenericObjectImpl::isLocalOnly() const { return object() && object()->is_no_sync(); }

QString GenericObjectImpl::getOwner() const {
  return object() ? fromName(object()->get_owner()) : QString();
}

qint32 GenericObjectImpl::getSharing() const { return object() ? object()->get_sharing() : 0; }

qint32 GenericObjectImpl::getModStates() const {
  return object() ? static_cast<qint32>(object()->get_flags()) : 0;
}

void GenericObjectImpl::setName(QString name) {
  if (name == getName()) {
    return;
  }
  boundObject().set_name(toIdentifier(name));
  emit nameChanged();
}

void GenericObjectImpl::setClass(QString className) {
  if (className == getClass()) {
    return;
  }
  boundObject().set_class_name(toIdentifier(className));
  emit classChanged();
}

void GenericObjectImpl::setSystem(bool system) {
  Object& target = boundObject();
  if (target.is_system() == system) {
    return;
  }
  const std::string name = target.get_name();
  target.set_name(system ? kSystemPrefix + name : name.substr(sizeof kSystemPrefix - 1));
  emit systemChanged();
}

void GenericObjectImpl::setLocalOnly(bool localOnly) {
  Object& target = boundObject();
  if (target.is_no_sync() == localOnly) {
    return;
  }
  target.set_no_sync(localOnly);
  emit localOnlyChanged();
}

void GenericObjectImpl::setSharing(qint32 sharing) {
  Object& target = boundObject();
  if (static_cast<quint32>(sharing) > orva::keldra::SHARING_PUBLIC_READ_WRITE ||
      sharing == target.get_sharing()) {
    return;
  }
  target.set_sharing(static_cast<orva::keldra::SharingModel>(sharing));
  emit sharingChanged();
}

MetadataImpl* GenericObjectImpl::getMetadata() {
  orva::keldra::Metadata& meta = view().metadata();
  return meta.is_safe() ? new MetadataImpl(meta.attribute(), this) : nullptr;
}

BoundingBoxImpl* GenericObjectImpl::getBoundingBox() {
  orva::keldra::BoundingBox& box = view().bounding_box();
  return box.is_safe() ? new BoundingBoxImpl(box.attribute(), this) : nullptr;
}

void GenericObjectImpl::setMetadata(MetadataImpl* metaData) {
  if (!metaData) {
    return;
  }
  boundObject();
  view().metadata() = metaData->meta();
  emit metadataChanged();
}

void GenericObjectImpl::setBoundingBox(BoundingBoxImpl* box) {
  if (!box) {
    return;
  }
  boundObject();
  view().bounding_box() = box->bbox();
  emit boundingBoxChanged();
}

QString GenericObjectImpl::getCustomKey(QString service, QString keyname) const {
  if (!object()) {
    return QString();
  }
  const orva::keldra::AttributeList& sections = object()->get_attributes();
  const int at = sections.find_attribute(toIdentifier(service), kCustomClass, 0);
  if (at < 0) {
    return QString("");
  }
  const Attribute& section = *sections[static_cast<unsigned>(at)];
  const int field = section.find_field(toIdentifier(keyname));
  orva::ustring value;
  if (field < 0 || section.get_fields()[static_cast<unsigned>(field)].get_value(value) != 0) {
    return QString("");
  }
  return fromUstring(value);
}

void GenericObjectImpl::setCustomKey(QString service, QString keyname, QString value) {
  Object& target = boundObject();
  const std::string name = toIdentifier(service);
  orva::keldra::AttributeList& sections = target.get_attributes();
  const int at = sections.find_attribute(name, kCustomClass, 0);
  SharedPointer<Attribute> section =
      at >= 0 ? sections[static_cast<unsigned>(at)]
              : SharedPointer<Attribute>(new Attribute(name, kCustomClass));
  orva::keldra::Field* field = section->prepare_field(toIdentifier(keyname));
  if (field) {
    field->set_value(toUstring(value));
  }
  if (at < 0) {
    sections.push_back(section);
  }
}

void GenericObjectImpl::removeCustomKeys(QString service, QString keyname) {
  if (!m_view.object().is_valid()) {
    return;
  }
  orva::keldra::AttributeList& sections = m_view.object()->get_attributes();
  const std::string name = toIdentifier(service);
  if (keyname.isEmpty()) {
    sections.remove(name, kCustomClass);
    return;
  }
  const int at = sections.find_attribute(name, kCustomClass, 0);
  if (at >= 0) {
    sections[static_cast<unsigned>(at)]->get_fields().remove(toIdentifier(keyname));
  }
}

ObjectLinkImpl* GenericObjectImpl::createLink() {
  orva::keldra::Link link;
  if (object()) {
    link.set_local_link(object()->get_local_id());
    link.set_global_link(object()->get_global_id());
  }
  return new ObjectLinkImpl(link, this);
}

}  // namespace qtplugin
}  // namespace keldra
