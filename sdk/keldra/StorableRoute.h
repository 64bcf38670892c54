// StorableRoute: the storable view of an object of class "route", a planned way: a
// RouteObject that loads itself from the local store and stores itself.
//
// It loads only objects of class "route": another class gives 0x6002 and the view
// keeps what it held. Construction, copying and assignment are RouteObject's.
//
// Results: as StorableObjectBase and RouteObject.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/ErrorCode.h>
#include <keldra/RouteObject.h>
#include <keldra/Object.h>
#include <keldra/SharedPointer.h>
#include <keldra/StorableObjectBase.h>

namespace orva {
namespace keldra {

class Store;

class StorableRoute : public RouteObject, public StorableObjectBase {
 public:
  // Unbound view.
  StorableRoute();
  // A view over a new object holding a deep copy of |other|'s object.
  StorableRoute(const StorableRoute& other);
  // Copies |other|'s object into this view's own object (created when needed).
  StorableRoute& operator=(const StorableRoute& other);
  ~StorableRoute() override;

  ErrorCode store(Store& store) override;
  // Binds to |object| when it is of class "route" (or empty); 0x6002 otherwise.
  ErrorCode do_attach_object(const orva::SharedPointer<Object>& object) override;
};

}  // namespace keldra
}  // namespace orva
