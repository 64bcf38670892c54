// StorableCollection: the storable view of an object of class "collection", a collection: a
// CollectionObject that loads itself from the local store and stores itself.
//
// It loads only objects of class "collection": another class gives 0x6002 and the view
// keeps what it held. Construction, copying and assignment are CollectionObject's.
//
// Results: as StorableObjectBase and CollectionObject.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/ErrorCode.h>
#include <keldra/CollectionObject.h>
#include <keldra/Object.h>
#include <keldra/SharedPointer.h>
#include <keldra/StorableObjectBase.h>

namespace orva {
namespace keldra {

class Store;

class StorableCollection : public CollectionObject, public StorableObjectBase {
 public:
  // Unbound view.
  StorableCollection();
  // A view over a new object holding a deep copy of |other|'s object.
  StorableCollection(const StorableCollection& other);
  // Copies |other|'s object into this view's own object (created when needed).
  StorableCollection& operator=(const StorableCollection& other);
  ~StorableCollection() override;

  ErrorCode store(Store& store) override;
  // Binds to |object| when it is of class "collection" (or empty); 0x6002 otherwise.
  ErrorCode do_attach_object(const orva::SharedPointer<Object>& object) override;
};

}  // namespace keldra
}  // namespace orva
