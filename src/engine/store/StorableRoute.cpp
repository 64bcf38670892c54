#include <keldra/StorableRoute.h>

namespace orva {
namespace keldra {

StorableRoute::StorableRoute() {}

StorableRoute::StorableRoute(const StorableRoute& other)
    : RouteObject(other), StorableObjectBase(other) {}

StorableRoute& StorableRoute::operator=(const StorableRoute& other) {
  RouteObject::operator=(other);
  return *this;
}

StorableRoute::~StorableRoute() {}

ErrorCode StorableRoute::store(Store& store) { return do_store(store, object()); }

ErrorCode StorableRoute::do_attach_object(const orva::SharedPointer<Object>& object) {
  return attach_if_accepted(*this, object);
}

}  // namespace keldra
}  // namespace orva
