// UsersObject: the view of the users system object, the list of users known to the
// account.
//
// The object has the class "sys_users", the name "sys.keldra.users", the local id
// 0x7FFFFFFC, the global id 996 and the no-sync flag; its owner is the current user's
// id as the server set it (empty in an object made here). Its top-level attributes of
// class "user" are the entries (UserInfo), in list order, whatever their names;
// attributes of other classes are carried along untouched.
//
// Entries handed out here are views bound to the object's own attributes; the user
// manager copies them before it hands them on.
//
// Results: 0; 2 when no object or entry can be made (also for an unbound entry given
// to set_user_info); 3 attach of an object of another class.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/AttributeHandleList.h>
#include <keldra/ErrorCode.h>
#include <keldra/Object.h>
#include <keldra/ObjectHandle.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>
#include <keldra/UserInfo.h>

#include <string>
#include <vector>

namespace orva {
namespace keldra {
namespace internal {

// Names of UsersObject, interned once per string pool.
class UsersObjectStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle user;       // the entry class
  StringPool::StringHandle sys_users;  // the class
};

class UsersObject : public ObjectHandle {
 public:
  static constexpr unsigned int LOCAL_ID = 0x7FFFFFFC;
  static constexpr unsigned long long GLOBAL_ID = 996;

  // Unbound view with its (empty) users list.
  UsersObject();
  // A view over a new users object holding a deep copy of |other|'s object; unbound
  // when |other| is.
  UsersObject(const UsersObject& other);
  // Copies |other|'s object into this view's own object (created when needed) and
  // reads the users list again.
  UsersObject& operator=(const UsersObject& other);

  const StringPool::StringHandle& get_class_name_handle() const override;

  // Unbound: holds a new users object with the reserved ids, name and no-sync flag.
  // An object already held is left as it is. is_safe().
  bool init_self() override;
  // Reads the users list again from the bound object.
  void attach_child_handles() override;

  // Binds the view to |object|; 3, leaving the view unbound, when the object is not
  // of class "sys_users" (a received object with the users' global id can be of any
  // class). 0 otherwise.
  ErrorCode attach(const orva::SharedPointer<Object>& object);

  // Number of entries.
  unsigned int count() const { return m_users.count(); }

  // Appends the id of every entry in list order; |ids| is not emptied first.
  void get_all_users(std::vector<std::string>& ids) const;
  // Replaces |infos| by the entries (views bound to the object's attributes).
  void get_all_users_info(std::vector<orva::SharedPointer<UserInfo> >& infos) const;
  // A new view bound to the first entry whose id equals |id| byte for byte; empty when
  // there is none.
  orva::SharedPointer<UserInfo> find_user_info(const std::string& id) const;
  orva::SharedPointer<UserInfo> get_user_info(const std::string& id) const;

  // An entry with |info|'s id gets a copy of |info|'s content in its place (its id
  // kept); otherwise a copy of |info| with its id is appended as the last entry,
  // creating the object when unbound. 0, or 2 (|info| unbound, or no copy made).
  ErrorCode set_user_info(const UserInfo& info);

 private:
  void init_list();

  UsersObjectStrings* m_strings;
  AttributeHandleList<UserInfo> m_users;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
