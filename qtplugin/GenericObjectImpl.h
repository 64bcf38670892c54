// The "GenericObject" element: a live view over one library object of any class: its
// identity, name, class, version, owner, time, marks, sharing model, state bits,
// metadata and bounding box, free-form custom keys, and links to it. It changes only
// the object in memory; the store element writes it.
//
// Every holder of the same object (another element, the store's results) sees each
// change at once. An element over no object answers defaults; its setters (except
// removeCustomKeys) first create an object with an empty class name.
//
// Names, class names, owners, custom services and keys cross as Latin-1; custom key
// values as UTF-8. No operation reports an error.
//
// Thread: the QML engine's thread. Owned by the engine or by the element that made it;
// holds its object (and the thread's name pool) until destroyed.
#pragma once

#include "BoundingBoxImpl.h"
#include "LiveView.h"
#include "MetadataImpl.h"
#include "ObjectLinkImpl.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <keldra/Object.h>
#include <keldra/SharedPointer.h>
#include <keldra/StorableBoundedObject.h>
#include <keldra/StringPool.h>

namespace keldra {
namespace qtplugin {

class GenericObjectImpl : public QObject {
  Q_OBJECT
  Q_PROPERTY(quint32 LID READ getLID)
  Q_PROPERTY(quint64 GID READ getGID)
  Q_PROPERTY(QString name READ getName WRITE setName NOTIFY nameChanged)
  Q_PROPERTY(QDateTime modificationDate READ getModificationDate NOTIFY modificationDateChanged)
  Q_PROPERTY(QString className READ getClass WRITE setClass NOTIFY classChanged)
  Q_PROPERTY(quint32 version READ getVersion)
  Q_PROPERTY(bool system READ isSystem WRITE setSystem NOTIFY systemChanged)
  Q_PROPERTY(bool local READ isLocalOnly WRITE setLocalOnly NOTIFY localOnlyChanged)
  Q_PROPERTY(QString owner READ getOwner)
  Q_PROPERTY(qint32 sharing READ getSharing WRITE setSharing NOTIFY sharingChanged)
  Q_PROPERTY(qint32 modStates READ getModStates)
  Q_PROPERTY(keldra::qtplugin::MetadataImpl* metadata READ getMetadata WRITE setMetadata NOTIFY
                 metadataChanged)
  Q_PROPERTY(keldra::qtplugin::BoundingBoxImpl* boundingBox READ getBoundingBox WRITE setBoundingBox
                 NOTIFY boundingBoxChanged)

 public:
  // Over a new object: empty class name, ids, version and time 0.
  explicit GenericObjectImpl(QObject* parent = nullptr);
  // Over |object| (which may be empty).
  GenericObjectImpl(const orva::SharedPointer<orva::keldra::Object>& object, QObject* parent);
  ~GenericObjectImpl() override;

  Q_INVOKABLE quint32 getLID() const;
  Q_INVOKABLE quint64 getGID() const;
  Q_INVOKABLE QString getName() const;
  Q_INVOKABLE QDateTime getModificationDate() const;
  Q_INVOKABLE QString getClass() const;
  Q_INVOKABLE quint32 getVersion() const;
  // The name begins with "sys.".
  Q_INVOKABLE bool isSystem() const;
  // Never synchronised.
  Q_INVOKABLE bool isLocalOnly() const;
  Q_INVOKABLE QString getOwner() const;
  Q_INVOKABLE qint32 getSharing() const;
  // The low 16 bits of the object's flags.
  Q_INVOKABLE qint32 getModStates() const;
  // Live views (children of this element) of the object's "meta" / "bounding_box"
  // sections; null while the object has none. A new element on every call.
  Q_INVOKABLE keldra::qtplugin::MetadataImpl* getMetadata();
  Q_INVOKABLE keldra::qtplugin::BoundingBoxImpl* getBoundingBox();
  // The text of |keyname| in the first custom section named |service| (an empty service:
  // the first custom section); empty when absent or not a text.
  Q_INVOKABLE QString getCustomKey(QString service, QString keyname) const;
  // Stores |value| as the text of |keyname| in the first custom section named |service|,
  // which is appended to the object when there is none.
  Q_INVOKABLE void setCustomKey(QString service, QString keyname, QString value);
  // An empty |keyname| removes every custom section named |service| (an empty service:
  // every custom section); otherwise the key's fields in the first such section.
  Q_INVOKABLE void removeCustomKeys(QString service, QString keyname);
  // A link (child of this element) to the object by its local and global id.
  Q_INVOKABLE keldra::qtplugin::ObjectLinkImpl* createLink();

  // Re-binds this element to |object|.
  void attach(const orva::SharedPointer<orva::keldra::Object>& object);
  const orva::SharedPointer<orva::keldra::Object>& objectPtr() const { return m_view.object(); }

 public slots:
  // Nothing when equal to the current name.
  void setName(QString name);
  void setClass(QString className);
  // Adds or removes the "sys." prefix of the name; systemChanged only.
  void setSystem(bool system);
  void setLocalOnly(bool localOnly);
  // Only 0..2, and only a change.
  void setSharing(qint32 sharing);
  // Copies the element's section into the object's; null is ignored.
  void setMetadata(keldra::qtplugin::MetadataImpl* metaData);
  void setBoundingBox(keldra::qtplugin::BoundingBoxImpl* box);

 signals:
  void nameChanged();
  // Declared for the property; no operation changes the time.
  void modificationDateChanged();
  void classChanged();
  void systemChanged();
  void localOnlyChanged();
  void sharingChanged();
  void metadataChanged();
  void boundingBoxChanged();

 protected:
  // The object, created when the element has none.
  orva::keldra::Object& boundObject();

 private:
  orva::keldra::StorableBoundedObject& view() const { return refreshedObject(m_view); }
  const orva::keldra::Object* object() const { return m_view.object().get(); }

  orva::SharedPointer<orva::keldra::StringPool> m_pool;  // first: names outlive the view
  mutable orva::keldra::StorableBoundedObject m_view;
};

}  // namespace qtplugin
}  // namespace keldra
