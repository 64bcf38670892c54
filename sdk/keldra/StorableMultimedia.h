// StorableMultimedia: the storable view of an object of class "multimedia", one media
// file: a MultimediaObject that loads itself from the local store and stores itself.
//
// It loads only objects of class "multimedia": another class gives 0x6002 and the view
// keeps what it held. Construction, copying and assignment are MultimediaObject's.
//
// Results: as StorableObjectBase and MultimediaObject.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/ErrorCode.h>
#include <keldra/MultimediaObject.h>
#include <keldra/Object.h>
#include <keldra/SharedPointer.h>
#include <keldra/StorableObjectBase.h>

namespace orva {
namespace keldra {

class Store;

class StorableMultimedia : public MultimediaObject, public StorableObjectBase {
 public:
  // Unbound view.
  StorableMultimedia();
  // A view over a new object holding a deep copy of |other|'s object.
  StorableMultimedia(const StorableMultimedia& other);
  // Copies |other|'s object into this view's own object (created when needed).
  StorableMultimedia& operator=(const StorableMultimedia& other);
  ~StorableMultimedia() override;

  ErrorCode store(Store& store) override;
  // Binds to |object| when it is of class "multimedia" (or empty); 0x6002 otherwise.
  ErrorCode do_attach_object(const orva::SharedPointer<Object>& object) override;
};

}  // namespace keldra
}  // namespace orva
