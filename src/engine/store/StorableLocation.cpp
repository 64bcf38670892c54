#include <keldra/StorableLocation.h>

namespace orva {
namespace keldra {

StorableLocation::StorableLocation() {}

StorableLocation::StorableLocation(const StorableLocation& other)
    : LocationObject(other), StorableObjectBase(other) {}

StorableLocation& StorableLocation::operator=(const StorableLocation& other) {
  LocationObject::operator=(other);
  return *this;
}

StorableLocation::~StorableLocation() {}

ErrorCode StorableLocation::store(Store& store) { return do_store(store, object()); }

ErrorCode StorableLocation::do_attach_object(const orva::SharedPointer<Object>& object) {
  return attach_if_accepted(*this, object);
}

}  // namespace keldra
}  // namespace orva
