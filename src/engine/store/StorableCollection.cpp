#include <keldra/StorableCollection.h>

namespace orva {
namespace keldra {

StorableCollection::StorableCollection() {}

StorableCollection::StorableCollection(const StorableCollection& other)
    : CollectionObject(other), StorableObjectBase(other) {}

StorableCollection& StorableCollection::operator=(const StorableCollection& other) {
  CollectionObject::operator=(other);
  return *this;
}

StorableCollection::~StorableCollection() {}

ErrorCode StorableCollection::store(Store& store) { return do_store(store, object()); }

ErrorCode StorableCollection::do_attach_object(const orva::SharedPointer<Object>& object) {
  return attach_if_accepted(*this, object);
}

}  // namespace keldra
}  // namespace orva
