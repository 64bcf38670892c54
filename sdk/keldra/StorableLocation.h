// StorableLocation: the storable view of an object of class "location", a place: a
// LocationObject that loads itself from the local store and stores itself.
//
// It loads only objects of class "location": another class gives 0x6002 and the view
// keeps what it held. Construction, copying and assignment are LocationObject's.
//
// Results: as StorableObjectBase and LocationObject.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/ErrorCode.h>
#include <keldra/LocationObject.h>
#include <keldra/Object.h>
#include <keldra/SharedPointer.h>
#include <keldra/StorableObjectBase.h>

namespace orva {
namespace keldra {

class Store;

class StorableLocation : public LocationObject, public StorableObjectBase {
 public:
  // Unbound view.
  StorableLocation();
  // A view over a new object holding a deep copy of |other|'s object.
  StorableLocation(const StorableLocation& other);
  // Copies |other|'s object into this view's own object (created when needed).
  StorableLocation& operator=(const StorableLocation& other);
  ~StorableLocation() override;

  ErrorCode store(Store& store) override;
  // Binds to |object| when it is of class "location" (or empty); 0x6002 otherwise.
  ErrorCode do_attach_object(const orva::SharedPointer<Object>& object) override;
};

}  // namespace keldra
}  // namespace orva
