#include "objects/SystemObject.h"

#include <keldra/LoggerUmbo.h>

#include <string>

namespace orva {
namespace keldra {
namespace internal {

bool init_system_object(ObjectHandle& view, const SystemObjectIdentity& identity) {
  if (view.is_safe()) return true;
  if (!view.ObjectHandle::init_self()) return false;
  Object& object = *view.object();
  object.set_global_id(identity.global_id);
  object.set_local_id(identity.local_id);
  object.set_name(std::string(identity.name));
  object.set_no_sync(true);
  return true;
}

ErrorCode attach_system_object(ObjectHandle& view, const orva::SharedPointer<Object>& object) {
  if (object.is_valid() && object->get_class_name_handle() != view.get_class_name_handle()) {
    LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                     "ERROR: system object view of class '%s' refuses an object of class '%s'",
                     view.get_class_name().c_str(), object->get_class_name().c_str());
    view.reset();
    return ORVA_ERROR_INVALID_PARAMETERS;
  }
  view.ObjectHandle::attach(object);
  return ORVA_ERROR_NONE;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
