#include "CollectionObjectImpl.h"

#include <keldra/LinkList.h>

namespace keldra {
namespace qtplugin {

CollectionObjectImpl::CollectionObjectImpl(QObject* parent) : GenericObjectImpl(parent) {
  m_collection.init();
  attach(m_collection.object());
}

CollectionObjectImpl::CollectionObjectImpl(const orva::SharedPointer<orva::keldra::Object>& object,
                                           QObject* parent)
    : GenericObjectImpl(parent) {
  m_collection.attach(object);
  attach(m_collection.object());
}

CollectionObjectImpl::~CollectionObjectImpl() = default;

QList<QObject*> CollectionObjectImpl::getItems() {
  orva::keldra::LinkList links;
  collection().get_items(links);
  QList<QObject*> items;
  for (unsigned int i = 0; i < links.size(); ++i) {
    items.append(new ObjectLinkImpl(links[i], this));
  }
  return items;
}

void CollectionObjectImpl::setItems(QList<QObject*> items) {
  orva::keldra::LinkList links;
  for (QObject* item : items) {
    if (auto* link = qobject_cast<ObjectLinkImpl*>(item)) {
      links.push_back(link->link());
    }
  }
  collection().set_items(links);
  emit itemsChanged();
}

}  // namespace qtplugin
}  // namespace keldra
