// UserManager: the users known to the account, as the store keeps them in its users
// system object. An application reads the entries and changes them; a change marks the
// entry as edited, so that the next synchronisation sends it to the server, whose users
// object later replaces the stored one.
//
// Every operation reads the stored users object afresh: nothing is cached between
// calls, and a manager sees the stored state of the moment. Entries handed out are
// detached copies (UserInfo): changing one changes nothing stored until it is given
// to set_user_info.
//
// Results: 0; 2 out of memory, or the store has no repository or sync adapter;
// 3 the stored users object is not one (a foreign object the server sent under the
// users' global id); 8 get_user_info of an id without an entry; otherwise the store's
// codes unchanged.
//
// Made by Store::get_user_manager (a new manager on every call); reference counted,
// holds its implementation (and through it the store's data adapter) alive. Used only on
// the thread of the store that made it.
#pragma once

#include <keldra/ErrorCode.h>
#include <keldra/RefCountable.h>
#include <keldra/SharedPointer.h>
#include <keldra/UserInfo.h>

#include <string>
#include <vector>

namespace orva {
namespace keldra {

namespace internal {
class UserManagerImpl;
}

class UserManager : public orva::internal::RefCountable {
 public:
  explicit UserManager(const orva::SharedPointer<internal::UserManagerImpl>& impl);
  ~UserManager() override;

  // Appends the id of every entry in list order (|ids| is not emptied first).
  ErrorCode get_all_users(std::vector<std::string>& ids) const;
  // The owner of the users object as the server set it; empty when there is none or
  // the object cannot be read.
  std::string get_current_user() const;
  // A copy of the entry with exactly this id (an empty id means the current user) in a
  // new |info|; 8, |info| untouched, when there is no such entry.
  ErrorCode get_user_info(const std::string& id, orva::SharedPointer<UserInfo>& info) const;
  // Replaces |infos| by copies of all entries in list order; untouched when the users
  // object cannot be read. On 2 the copies made so far stay.
  ErrorCode get_all_users_info(std::vector<orva::SharedPointer<UserInfo> >& infos) const;
  // Stores a copy of |info| marked edited: in place of the entry with its id, else as
  // the last entry; an empty id stands for the current user. One exclusive transaction:
  // on any failure nothing is written.
  ErrorCode set_user_info(const UserInfo& info);

 private:
  UserManager(const UserManager&) = delete;
  UserManager& operator=(const UserManager&) = delete;

  orva::SharedPointer<internal::UserManagerImpl> m_impl;
};

}  // namespace keldra
}  // namespace orva
