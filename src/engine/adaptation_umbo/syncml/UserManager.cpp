#include <keldra/UserManager.h>

#include "adaptation_umbo/syncml/UserManagerImpl.h"
#include "store/Guarded.h"
#include "sysobjects/UsersObject.h"

#include <keldra/LoggerUmbo.h>

namespace orva {
namespace keldra {

using internal::guarded;
using internal::guarded_value;
using internal::LoggerUmbo;
using internal::UsersObject;

UserManager::UserManager(const orva::SharedPointer<internal::UserManagerImpl>& impl)
    : m_impl(impl) {}

UserManager::~UserManager() { m_impl.release(); }

ErrorCode UserManager::get_all_users(std::vector<std::string>& ids) const {
  return guarded([&] {
    orva::SharedPointer<UsersObject> users;
    ErrorCode code = m_impl->load_users(users);
    if (code == ORVA_ERROR_NONE) users->get_all_users(ids);
    return code;
  });
}

std::string UserManager::get_current_user() const {
  return guarded_value(std::string(), [&] {
    orva::SharedPointer<UsersObject> users;
    if (m_impl->load_users(users) != ORVA_ERROR_NONE) return std::string();
    return users->get_owner();
  });
}

ErrorCode UserManager::get_user_info(const std::string& id,
                                     orva::SharedPointer<UserInfo>& info) const {
  return guarded([&] {
    orva::SharedPointer<UsersObject> users;
    ErrorCode code = m_impl->load_users(users);
    if (code != ORVA_ERROR_NONE) return code;
    orva::SharedPointer<UserInfo> entry =
        users->find_user_info(id.empty() ? users->get_owner() : id);
    if (!entry.is_valid()) return ORVA_ERROR_NOT_FOUND;
    info = orva::SharedPointer<UserInfo>(new UserInfo(*entry));
    return ORVA_ERROR_NONE;
  });
}

ErrorCode UserManager::get_all_users_info(
    std::vector<orva::SharedPointer<UserInfo> >& infos) const {
  return guarded([&] {
    orva::SharedPointer<UsersObject> users;
    ErrorCode code = m_impl->load_users(users);
    if (code != ORVA_ERROR_NONE) return code;
    infos.clear();
    std::vector<orva::SharedPointer<UserInfo> > entries;
    users->get_all_users_info(entries);
    for (const orva::SharedPointer<UserInfo>& entry : entries) {
      infos.push_back(orva::SharedPointer<UserInfo>(new UserInfo(*entry)));
    }
    return ORVA_ERROR_NONE;
  });
}

ErrorCode UserManager::set_user_info(const UserInfo& info) {
  LoggerUmbo::log("UserManager::set_user_info ++", LoggerUmbo::MSG_TRACE);
  const orva::SharedPointer<Repository>& repository = m_impl->repository();
  if (!repository.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  ErrorCode code = guarded([&] { return repository->begin_transaction(true); });
  if (code != ORVA_ERROR_NONE) return code;
  code = guarded([&] {
    UserInfo entry(info);
    entry.set_modified(true);
    if (!entry.is_safe()) return ORVA_ERROR_OUT_OF_MEMORY;
    orva::SharedPointer<UsersObject> users;
    ErrorCode result = m_impl->load_users(users);
    if (result == ORVA_ERROR_NONE && entry.id().empty()) result = entry.set_id(users->get_owner());
    // An entry that could not be put in must not let the unchanged object be stored
    // and reported as success.
    if (result == ORVA_ERROR_NONE) result = users->set_user_info(entry);
    if (result == ORVA_ERROR_NONE) result = m_impl->store_users_object(*users->object());
    return result;
  });
  code = guarded([&] { return repository->end_transaction(code); });
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "UserManager::set_user_info --, result %d", code);
  return code;
}

}  // namespace keldra
}  // namespace orva
