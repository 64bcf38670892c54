// SyncExtension: where a synchronisation meets the five reserved system objects.
//
//   local id    global id  object         class               kept by
//   0x7FFFFFFB  995        soft deletion  "sys_soft_delete"   subscription manager
//   0x7FFFFFFC  996        users          "sys_users"         user manager
//   0x7FFFFFFD  997        mapping        "sys_mapping"       subscription manager
//   0x7FFFFFFE  998        subscription   "sys_subscription"  subscription manager
//   0x7FFFFFFF  999        config         "config"            this class
//
// A fresh system object carries the reserved local id; a stored one has the local id the
// database gave it and is found by its global id. The extension builds each object from
// the store for sending and keeps what it prepared in a send cache (by reserved local id),
// renders any object in the compact format, applies the server's result for a sent system
// object, and takes in the system objects and "sys_ok" acknowledgements that the server
// sends. An object received under a reserved global id must have the class of the table
// (or be an acknowledgement): anything else is refused with 3 and nothing is stored.
//
// Rendering: a system object always in full, from the cache; an ordinary object, read
// from the store, header-only for transfer types 1 and 2 when it is global (it, and every
// link of it and of its attributes at any depth, has a global id) and has no local
// changes or has stored state 3; otherwise in full.
//
// Results: 0; 2 out of memory, a system object to render that is not cached, or a missing
// repository (reads) or sync adapter (writes); 3 an empty pointer, a local id that is not
// reserved where one is needed, a global id that is not reserved on receipt, an object
// of the wrong class for its reserved global id, a transfer type outside 1 to 3; 8 no
// cached object to acknowledge; otherwise the store's and the managers' codes unchanged.
//
// One extension per synchronisation (the storage plug-in's session, one direct
// transfer); reference counted; used only on the thread that owns the data adapter.
#pragma once

#include "adaptation_umbo/syncml/SubscriptionManager.h"
#include "adaptation_umbo/syncml/UserManagerImpl.h"

#include <keldra/DataAdapter.h>
#include <keldra/DynamicBuffer.h>
#include <keldra/ErrorCode.h>
#include <keldra/LinkList.h>
#include <keldra/Object.h>
#include <keldra/ObjectConverter.h>
#include <keldra/RefCountable.h>
#include <keldra/Repository.h>
#include <keldra/SharedPointer.h>
#include <keldra/SyncAdapter.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace orva {
namespace keldra {
namespace internal {

class SyncExtension : public orva::internal::RefCountable {
 public:
  // How an ordinary object is rendered: 1 (the storage plug-in before it has listed all
  // ids) and 2 (after) allow the header-only form, 3 is always in full.
  enum TransferType : int { TRANSFER_CHANGES = 1, TRANSFER_ALL_LISTED = 2, TRANSFER_FULL = 3 };

  // Over |adapter| (not empty): the managers over it, then its sync adapter, its
  // repository and a new converter. The cache and the current user start empty.
  explicit SyncExtension(const orva::SharedPointer<DataAdapter>& adapter);
  ~SyncExtension() override;

  // The account whose users entry the users object to send carries.
  void set_current_user(const std::string& account) { m_current_user = account; }

  // The paired id of a reserved id; 0 for any other.
  static uint64_t extension_object_lid_to_gid(uint32_t lid);
  static uint32_t extension_object_gid_to_lid(uint64_t gid);
  bool is_extension_object(uint32_t lid) const;
  // False for an empty pointer; else whether the object's global id is reserved.
  bool is_extension_object(const ObjectPtr& object) const;

  // The reserved local ids of the system objects to send, each prepared and cached, in
  // this order: config (always), subscription, mapping and soft deletion (when they hold
  // something), users (when the current user's entry holds something and was edited).
  // The first failure is returned; the ids and cache entries before it stay.
  ErrorCode get_added_objects_list(std::vector<uint32_t>& lids);
  // System objects travel only as added objects: |lids| emptied, 0.
  ErrorCode get_changed_objects_list(std::vector<uint32_t>& lids);
  ErrorCode get_removed_objects_list(std::vector<uint32_t>& lids);

  // Resets |object| and fills it with the current content of the system object with that
  // reserved local id (for the users object: the current user's entry alone, or an empty
  // object when there is none).
  ErrorCode get_extension_object(uint32_t lid, Object& object);
  // One step of get_added_objects_list: fetches the object, and unless it must have a
  // value (|need_value|) or be modified (|need_modified|) and has not or is not, caches it
  // under |lid| and appends |lid|.
  ErrorCode prepare_extension_object(uint32_t lid, std::vector<uint32_t>& lids, bool need_value,
                                     bool need_modified);

  // Keeps |object| itself (not a copy) under its current local id, replacing an earlier
  // entry. 3 for an empty pointer.
  ErrorCode cache_object(const ObjectPtr& object);
  // The cached entry, or an empty pointer.
  ObjectPtr get_cached_object(uint32_t lid) const;

  // Renders the object with that local id into a new |buffer| (see above).
  ErrorCode object_to_transfer_format(uint32_t lid, TransferType type,
                                      orva::SharedPointer<DynamicBuffer>& buffer);

  // Applies the server's |result| for the object cached under |lid| (the entry stays);
  // 8 when nothing is cached there.
  ErrorCode handle_cached_extension_object_sent(uint32_t lid, ErrorCode result);
  // Result 0 for a sent soft-deletion, mapping or subscription object removes what it
  // carried from the stored one; the users and config results are ignored; any other
  // result leaves everything stored for the next synchronisation. 0 once the object's
  // local id is reserved (also when the manager's step fails), else 3.
  ErrorCode handle_extension_object_sent(const ObjectPtr& object, ErrorCode result);
  // Takes in an object the server sent under a reserved global id and sets |lid| to the
  // paired reserved local id: an acknowledgement applies success to the cached object;
  // the users and config objects are stored, the subscription object's sharing switches
  // applied, the soft-deletion and mapping objects ignored. The object's own local id is
  // replaced by the reserved one first, so a system object is always stored as the one
  // of its global id and never over the object that has the local id the server sent.
  // |lid| is left as it was on 3 (also when the store refuses the object).
  ErrorCode handle_extension_object_received(const ObjectPtr& object, uint32_t& lid);

  // The config object: the stored one (or a fresh one) with the client's capabilities
  // and the server's last anchor (an empty anchor when none).
  ErrorCode get_config_object(Object& object);
  ErrorCode load_config_object(Object& object);
  ErrorCode store_config_object(Object& object);
  ErrorCode handle_config_object_received(const ObjectPtr& object);

  // The global-object test of the rendering.
  bool object_is_global(const Object& object) const;
  bool all_links_are_global(const LinkList& links) const;
  bool all_links_are_global(const AttributeList& attributes) const;

 private:
  // The handling of a received system object by its reserved local id.
  ErrorCode dispatch_received(const ObjectPtr& object, uint32_t reserved_lid);

  SyncExtension(const SyncExtension&) = delete;
  SyncExtension& operator=(const SyncExtension&) = delete;

  orva::SharedPointer<DataAdapter> m_adapter;
  orva::SharedPointer<SyncAdapter> m_sync_adapter;
  orva::SharedPointer<Repository> m_repository;
  SubscriptionManager m_subscriptions;
  orva::SharedPointer<ObjectConverter> m_converter;
  UserManagerImpl m_users;
  std::map<uint32_t, ObjectPtr> m_cache;
  std::string m_current_user;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
