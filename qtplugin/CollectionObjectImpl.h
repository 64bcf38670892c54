// The "CollectionObject" element: a generic object element over a collection (class
// "collection") with its items, links to other objects.
//
// Thread: the QML engine's thread. Owned by the engine or by the element that made it.
#pragma once

#include "GenericObjectImpl.h"
#include "LiveView.h"
#include "ObjectLinkImpl.h"

#include <QList>

#include <keldra/StorableCollection.h>

namespace keldra {
namespace qtplugin {

class CollectionObjectImpl : public GenericObjectImpl {
  Q_OBJECT
  Q_PROPERTY(QList<QObject*> items READ getItems WRITE setItems NOTIFY itemsChanged)

 public:
  // Over a new collection.
  explicit CollectionObjectImpl(QObject* parent = nullptr);
  // Over |object|, which must be of class "collection".
  CollectionObjectImpl(const orva::SharedPointer<orva::keldra::Object>& object, QObject* parent);
  ~CollectionObjectImpl() override;

  // New ObjectLink elements (children of this element), in stored order.
  Q_INVOKABLE QList<QObject*> getItems();

 public slots:
  // The links of the ObjectLink entries, in order (other entries are skipped), replace
  // the items; a link whose non-zero local or global id is already taken is dropped.
  // Every call emits itemsChanged.
  void setItems(QList<QObject*> items);

 signals:
  void itemsChanged();

 private:
  orva::keldra::StorableCollection& collection() const { return refreshedObject(m_collection); }

  mutable orva::keldra::StorableCollection m_collection;
};

}  // namespace qtplugin
}  // namespace keldra
