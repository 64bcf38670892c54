#include <keldra/UserInfo.h>

#include <keldra/LoggerUmbo.h>

#include <tervo/ustring.h>

namespace orva {
namespace keldra {

using internal::LoggerUmbo;

StringPool::StringSet* UserInfoStrings::create_strings(StringPool& pool) {
  UserInfoStrings* s = new UserInfoStrings();
  pool.init_handle(s->user, "user");
  pool.init_handle(s->display_name, "display_name");
  pool.init_handle(s->edited, "edited");
  return s;
}

UserInfo::UserInfo() : m_strings(view_strings<UserInfoStrings>()) {}

UserInfo::UserInfo(const UserInfo& other) : AttributeHandle(other), m_strings(other.m_strings) {
  copy(other);
}

UserInfo& UserInfo::operator=(const UserInfo& other) {
  m_strings = other.m_strings;
  AttributeHandle::operator=(other);
  return *this;
}

const StringPool::StringHandle& UserInfo::get_class_name_handle() const { return m_strings->user; }

ErrorCode UserInfo::attach(const orva::SharedPointer<Attribute>& attribute) {
  if (attribute.is_valid() && attribute->get_class_name_handle() != m_strings->user) {
    LoggerUmbo::logf(LoggerUmbo::MSG_TRACE,
                     "ERROR: UserInfo::attach: attribute of class '%s' refused",
                     attribute->get_class_name().c_str());
    AttributeHandle::attach(orva::SharedPointer<Attribute>());
    return ORVA_ERROR_INVALID_PARAMETERS;
  }
  AttributeHandle::attach(attribute);
  return ORVA_ERROR_NONE;
}

std::string UserInfo::id() const { return get_name(); }

ErrorCode UserInfo::set_id(const std::string& id) {
  if (!init_self()) return ORVA_ERROR_OUT_OF_MEMORY;
  attribute()->set_name(id);
  return ORVA_ERROR_NONE;
}

bool UserInfo::get_display_name(orva::ustring& name) const {
  return get_field(m_strings->display_name, name);
}

ErrorCode UserInfo::set_display_name(const orva::ustring& name) {
  return set_field(m_strings->display_name, name);
}

bool UserInfo::is_modified() const {
  unsigned int edited = 0;
  return get_field(m_strings->edited, edited) && edited == 1;
}

void UserInfo::set_modified(bool edited) {
  if (edited) {
    set_field(m_strings->edited, 1u);
  } else {
    remove_field(m_strings->edited);
  }
}

}  // namespace keldra
}  // namespace orva
