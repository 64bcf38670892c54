#include <keldra/Store.h>

#include <keldra/LoggerUmbo.h>

namespace orva {
namespace keldra {

using internal::LoggerUmbo;

bool check_input_object_sharing(SharingModel model) {
  switch (model) {
    case SHARING_PRIVATE:
    case SHARING_PUBLIC_READ_ONLY:
    case SHARING_PUBLIC_READ_WRITE:
    case SHARING_RESTRICTED:
      return true;
    default:
      return false;
  }
}

Store::Store(const orva::SharedPointer<Repository>& repository) : m_repository(repository) {}

Store::~Store() {}

ErrorCode Store::insert_object(Object& object) {
  if (!check_input_object_sharing(object.get_sharing())) {
    LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "Store::insert_object: ERROR: wrong sharing mode %d",
                     static_cast<int>(object.get_sharing()));
    return ORVA_ERROR_INVALID_PARAMETERS;
  }
  if (!object.get_class_name_handle().is_valid()) {
    LoggerUmbo::log("Store::insert_object: ERROR: empty class name", LoggerUmbo::MSG_TRACE);
    return ORVA_ERROR_INVALID_PARAMETERS;
  }
  object.set_global_id(0);
  object.set_version(0);
  object.set_partial(false);
  object.set_owner(StringPool::StringHandle());
  if (!m_repository.is_valid()) return ORVA_ERROR_UNKNOWN;
  return m_repository->insert_object(object);
}

ErrorCode Store::update_object(Object& object) {
  if (object.is_partial()) {
    LoggerUmbo::log("Store::update_object: ERROR: update using partial object",
                    LoggerUmbo::MSG_TRACE);
    return ORVA_ERROR_INVALID_PARAMETERS;
  }
  if (!check_input_object_sharing(object.get_sharing())) {
    LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "Store::update_object: ERROR: wrong sharing mode %d",
                     static_cast<int>(object.get_sharing()));
    return ORVA_ERROR_INVALID_PARAMETERS;
  }
  if (!object.get_class_name_handle().is_valid()) {
    LoggerUmbo::log("Store::update_object: ERROR: empty class name", LoggerUmbo::MSG_TRACE);
    return ORVA_ERROR_INVALID_PARAMETERS;
  }
  if (!m_repository.is_valid()) return ORVA_ERROR_UNKNOWN;
  return m_repository->update_object(object);
}

ErrorCode Store::get_object(unsigned int local_id, Object& object) const {
  object.reset();
  if (local_id == 0) return ORVA_ERROR_NOT_FOUND;
  if (!m_repository.is_valid()) return ORVA_ERROR_UNKNOWN;
  return m_repository->get_object(local_id, object);
}

}  // namespace keldra
}  // namespace orva
