#include "sysobjects/UsersObject.h"

#include "objects/SystemObject.h"

namespace orva {
namespace keldra {
namespace internal {

namespace {
const SystemObjectIdentity kUsersIdentity = {"sys.keldra.users", UsersObject::GLOBAL_ID,
                                             UsersObject::LOCAL_ID};
}  // namespace

StringPool::StringSet* UsersObjectStrings::create_strings(StringPool& pool) {
  UsersObjectStrings* s = new UsersObjectStrings;
  pool.init_handle(s->user, "user");
  pool.init_handle(s->sys_users, "sys_users");
  return s;
}

UsersObject::UsersObject() : m_strings(view_strings<UsersObjectStrings>()) { init_list(); }

// The list is set up before the content is copied, so that the copy's entries are read.
UsersObject::UsersObject(const UsersObject& other)
    : ObjectHandle(other), m_strings(other.m_strings) {
  init_list();
  ObjectHandle::copy(other);
  attach_child_handles();
}

UsersObject& UsersObject::operator=(const UsersObject& other) {
  if (this != &other) {
    m_strings = other.m_strings;
    ObjectHandle::operator=(other);
  }
  return *this;
}

void UsersObject::init_list() {
  m_users.set_item_names(m_strings->user, StringPool::StringHandle());
  m_users.set_parent(this);
}

const StringPool::StringHandle& UsersObject::get_class_name_handle() const {
  return m_strings->sys_users;
}

bool UsersObject::init_self() { return init_system_object(*this, kUsersIdentity); }

void UsersObject::attach_child_handles() {
  ObjectHandle::attach_child_handles();
  m_users.attach();
}

ErrorCode UsersObject::attach(const orva::SharedPointer<Object>& object) {
  return attach_system_object(*this, object);
}

void UsersObject::get_all_users(std::vector<std::string>& ids) const {
  for (unsigned int i = 0; i < m_users.count(); ++i) ids.push_back(m_users.get_item(i)->id());
}

void UsersObject::get_all_users_info(std::vector<orva::SharedPointer<UserInfo> >& infos) const {
  infos.clear();
  for (unsigned int i = 0; i < m_users.count(); ++i) infos.push_back(m_users.get_item(i));
}

orva::SharedPointer<UserInfo> UsersObject::find_user_info(const std::string& id) const {
  for (unsigned int i = 0; i < m_users.count(); ++i) {
    const orva::SharedPointer<UserInfo>& entry = m_users.get_item(i);
    if (entry->is_safe() && entry->id() == id) {
      // A view of its own: the caller may keep it beyond this view's life.
      orva::SharedPointer<UserInfo> found(new UserInfo());
      found->attach(entry->attribute());
      return found;
    }
  }
  return orva::SharedPointer<UserInfo>();
}

orva::SharedPointer<UserInfo> UsersObject::get_user_info(const std::string& id) const {
  return find_user_info(id);
}

ErrorCode UsersObject::set_user_info(const UserInfo& info) {
  if (!info.is_safe()) return ORVA_ERROR_OUT_OF_MEMORY;
  orva::SharedPointer<UserInfo> entry = find_user_info(info.id());
  if (entry.is_valid()) {
    // Same attribute (the caller passed an entry of this object): nothing to copy.
    if (entry->attribute() == info.attribute()) return ORVA_ERROR_NONE;
    *entry = info;
    return ORVA_ERROR_NONE;
  }
  if (!m_users.insert_item(info, m_users.count()).is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
  return ORVA_ERROR_NONE;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
