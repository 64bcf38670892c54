#include <keldra/StorableMultimedia.h>

namespace orva {
namespace keldra {

StorableMultimedia::StorableMultimedia() {}

StorableMultimedia::StorableMultimedia(const StorableMultimedia& other)
    : MultimediaObject(other), StorableObjectBase(other) {}

StorableMultimedia& StorableMultimedia::operator=(const StorableMultimedia& other) {
  MultimediaObject::operator=(other);
  return *this;
}

StorableMultimedia::~StorableMultimedia() {}

ErrorCode StorableMultimedia::store(Store& store) { return do_store(store, object()); }

ErrorCode StorableMultimedia::do_attach_object(const orva::SharedPointer<Object>& object) {
  return attach_if_accepted(*this, object);
}

}  // namespace keldra
}  // namespace orva
