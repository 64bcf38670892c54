#include "adaptation_umbo/syncml/UserManagerImpl.h"

#include "adaptation_umbo/syncml/SystemObjectStore.h"
#include "sysobjects/UsersObject.h"

#include <keldra/LoggerUmbo.h>
#include <keldra/UserInfo.h>

#include <new>

namespace orva {
namespace keldra {
namespace internal {

namespace {
const LoggerUmbo::MsgType kTrace = LoggerUmbo::MSG_TRACE;
}  // namespace

UserManagerImpl::UserManagerImpl(const orva::SharedPointer<DataAdapter>& adapter)
    : m_adapter(adapter) {
  if (m_adapter.is_valid()) {
    m_repository = m_adapter->repository();
    m_sync_adapter = m_adapter->sync_adapter();
  }
}

// The members go in reverse order: the sync adapter and the repository before the
// adapter that made them.
UserManagerImpl::~UserManagerImpl() = default;

orva::SharedPointer<UserManager> UserManagerImpl::open_public_manager(
    const orva::SharedPointer<DataAdapter>& adapter) {
  try {
    return open_public_manager(orva::SharedPointer<UserManagerImpl>(new UserManagerImpl(adapter)));
  } catch (const std::bad_alloc&) {
    return orva::SharedPointer<UserManager>();
  }
}

orva::SharedPointer<UserManager> UserManagerImpl::open_public_manager(
    const orva::SharedPointer<UserManagerImpl>& impl) {
  try {
    return orva::SharedPointer<UserManager>(new UserManager(impl));
  } catch (const std::bad_alloc&) {
    return orva::SharedPointer<UserManager>();
  }
}

ErrorCode UserManagerImpl::load_users_object(Object& object) const {
  return load_system_object<UsersObject>(m_repository, object);
}

ErrorCode UserManagerImpl::store_users_object(Object& object) {
  return store_system_object(m_sync_adapter, object, UsersObject::LOCAL_ID);
}

ErrorCode UserManagerImpl::handle_users_object_received(const ObjectPtr& object) {
  if (!object.is_valid()) return ORVA_ERROR_INVALID_PARAMETERS;
  // Stored, a foreign object would stand in for the users object until the server sent
  // another one, and no read could bind it.
  if (object->get_class_name() != "sys_users") {
    LoggerUmbo::logf(kTrace,
                     "UserManagerImpl::handle_users_object_received: ERROR: class '%s' refused",
                     object->get_class_name().c_str());
    return ORVA_ERROR_INVALID_PARAMETERS;
  }
  return store_users_object(*object);
}

ErrorCode UserManagerImpl::load_users(orva::SharedPointer<UsersObject>& users) const {
  users.release();
  try {
    ObjectPtr object(new Object());
    ErrorCode code = load_users_object(*object);
    if (code != ORVA_ERROR_NONE) return code;
    orva::SharedPointer<UsersObject> view(new UsersObject());
    code = view->attach(object);
    if (code != ORVA_ERROR_NONE) return code;
    users = view;
  } catch (const std::bad_alloc&) {
    return ORVA_ERROR_OUT_OF_MEMORY;
  }
  return ORVA_ERROR_NONE;
}

ErrorCode UserManagerImpl::get_user_object(const std::string& account, Object& object) const {
  object.reset();
  try {
    orva::SharedPointer<UsersObject> users;
    ErrorCode code = load_users(users);
    if (code != ORVA_ERROR_NONE) return code;
    orva::SharedPointer<UserInfo> entry = users->find_user_info(account);
    if (!entry.is_valid()) {
      LoggerUmbo::logf(kTrace, "UserManagerImpl::get_user_object: no info found for account '%s'",
                       account.c_str());
      return ORVA_ERROR_NONE;
    }
    UsersObject fresh;
    if (!fresh.init_self()) return ORVA_ERROR_OUT_OF_MEMORY;
    // The mark goes with the object's modified flag, never to the server; the loaded
    // copy is dropped, so the stored entry keeps it.
    const bool edited = entry->is_modified();
    entry->set_modified(false);
    code = fresh.set_user_info(*entry);
    if (code != ORVA_ERROR_NONE) return code;
    object = *fresh.object();
    object.set_modified(edited);
  } catch (const std::bad_alloc&) {
    object.reset();
    return ORVA_ERROR_OUT_OF_MEMORY;
  }
  return ORVA_ERROR_NONE;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
