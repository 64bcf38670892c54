#include <keldra/StorableObjectBase.h>

#include <keldra/ObjectHandle.h>
#include <keldra/Store.h>

namespace orva {
namespace keldra {

StorableObjectBase::~StorableObjectBase() {}

ErrorCode StorableObjectBase::load(const Store& store, const unsigned int& local_id) {
  orva::SharedPointer<Object> object(new Object());
  ErrorCode result = store.get_object(local_id, *object);
  if (result != ORVA_ERROR_NONE) return result;
  return do_attach_object(object);
}

ErrorCode StorableObjectBase::do_store(Store& store, const orva::SharedPointer<Object>& object) {
  if (!object.is_valid()) return ORVA_ERROR_NOT_SUPPORTED;
  if (object->get_local_id() == 0) return store.insert_object(*object);
  return store.update_object(*object);
}

ErrorCode StorableObjectBase::attach_if_accepted(ObjectHandle& view,
                                                 const orva::SharedPointer<Object>& object) {
  const StringPool::StringHandle& accepted = view.get_class_name_handle();
  if (object.is_valid() && accepted.is_valid() && object->get_class_name_handle() != accepted) {
    return ORVA_ERROR_KELDRA_WRONG_TYPE;
  }
  view.attach(object);
  return ORVA_ERROR_NONE;
}

}  // namespace keldra
}  // namespace orva
