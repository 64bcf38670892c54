// UserManagerImpl: reads and writes the users system object of one store, for the
// public UserManager and for the sync extension (which embeds one by value).
//
// The users object lives in the store like every system object: read by its global id
// 996 (a fresh one, not stored, when there is none), written through the sync adapter
// with the no-sync flag set, in place of the stored object with its local id, or by its
// global id when it carries no stored local id (0 or the reserved 0x7FFFFFFC).
//
// A users object stored under the users' global id can come from the server with any
// class; it is never bound to the users view then: reads give 3, and a received object
// of another class is refused with 3 before anything is stored.
//
// Results: 0; 2 out of memory, or no repository (reads) or sync adapter (writes);
// 3 an empty pointer or an object that is not a users object; otherwise the
// repository's and the sync adapter's codes unchanged.
//
// Keeps only its three references; nothing is cached between calls. Used on the thread
// that owns the data adapter; no locks.
#pragma once

#include <keldra/DataAdapter.h>
#include <keldra/ErrorCode.h>
#include <keldra/Object.h>
#include <keldra/RefCountable.h>
#include <keldra/Repository.h>
#include <keldra/SharedPointer.h>
#include <keldra/SyncAdapter.h>
#include <keldra/UserManager.h>

#include <string>

namespace orva {
namespace keldra {
namespace internal {

class UsersObject;

class UserManagerImpl : public orva::internal::RefCountable {
 public:
  // Keeps |adapter| and takes its repository and sync adapter (either may be empty).
  explicit UserManagerImpl(const orva::SharedPointer<DataAdapter>& adapter);
  ~UserManagerImpl() override;

  // A new public manager over a new implementation over |adapter|.
  static orva::SharedPointer<UserManager> open_public_manager(
      const orva::SharedPointer<DataAdapter>& adapter);
  // A new public manager over |impl|.
  static orva::SharedPointer<UserManager> open_public_manager(
      const orva::SharedPointer<UserManagerImpl>& impl);

  // The stored users object into |object|, or a fresh one (not stored) when there is
  // none. 2 without repository.
  ErrorCode load_users_object(Object& object) const;
  // Writes |object| as the users object (see above), setting its no-sync flag. 2
  // without sync adapter.
  ErrorCode store_users_object(Object& object);
  // Stores the users object the server sent in place of the stored one. 3 for an empty
  // pointer or an object of another class than "sys_users" (nothing stored).
  ErrorCode handle_users_object_received(const ObjectPtr& object);
  // |users| becomes a new view bound to a new copy of the users object (load as
  // load_users_object); empty on failure. 3 when the stored object is of another class.
  ErrorCode load_users(orva::SharedPointer<UsersObject>& users) const;
  // The users object to send for |account|: a fresh users object holding a copy of
  // that account's entry alone, without its "edited" mark, and marked modified exactly
  // when the stored entry was edited. |object| is reset first and stays empty (result
  // 0) when the account has no entry.
  ErrorCode get_user_object(const std::string& account, Object& object) const;

  const orva::SharedPointer<Repository>& repository() const { return m_repository; }

 private:
  UserManagerImpl(const UserManagerImpl&) = delete;
  UserManagerImpl& operator=(const UserManagerImpl&) = delete;

  orva::SharedPointer<DataAdapter> m_adapter;
  orva::SharedPointer<Repository> m_repository;
  orva::SharedPointer<SyncAdapter> m_sync_adapter;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
