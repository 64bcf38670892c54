// SubscriptionManager: keeps three of the store's reserved system objects, the
// subscription object (global id 998), the mapping object (997) and the soft-deletion
// object (995): loads them (a fresh one made by its view when none is stored), writes
// them back through the sync adapter, records soft deletions, subscriptions and id
// pairs, removes what the server acknowledged, and applies the sharing switches the
// server sends.
//
// No state between calls: a manager holds only its data adapter and the repository and
// sync adapter taken from it at construction (either may be empty); the stored objects
// are the only state managers share, and every operation reads them afresh.
//
// Transactions: every operation that writes runs in one repository transaction opened
// exclusive (nested in the caller's transaction when one is open) and ended with its
// first failing code: 0 commits, anything else rolls back and is returned. The change
// events of its writes leave the data adapter only when the outermost transaction
// commits, and a rollback drops them. Received sharing switches take one such
// transaction per global id.
//
// Results: 0; 2 without the repository (or sync adapter) an operation needs, or when
// a fresh system object cannot be made; 3 an empty object pointer, or an object of
// another class than its global id reserves (stored or received: refused, nothing
// written); otherwise the repository's or sync adapter's code.
//
// Thread: the thread that owns the data adapter; no locks.
#pragma once

#include <keldra/DataAdapter.h>
#include <keldra/ErrorCode.h>
#include <keldra/Object.h>
#include <keldra/ObjectBase.h>
#include <keldra/RefCountable.h>
#include <keldra/Repository.h>
#include <keldra/SharedPointer.h>
#include <keldra/SyncAdapter.h>

#include "sysobjects/SubscriptionCommand.h"

#include <vector>

namespace orva {
namespace keldra {
namespace internal {

class SubscriptionManager : public orva::internal::RefCountable {
 public:
  // |adapter| must not be empty; its repository and sync adapter are taken now.
  explicit SubscriptionManager(const orva::SharedPointer<DataAdapter>& adapter);
  // Releases the sync adapter, the repository and the data adapter, in that order.
  ~SubscriptionManager() override;

  // Adds a "subscribe" command per id not subscribed yet to the stored subscription
  // object (created when none is stored) and drops their "unsubscribe" commands; one
  // transaction.
  ErrorCode add_to_subscription(const std::vector<unsigned long long>& gids, bool cascade);
  // The same on |object| alone, nothing stored: a subscription object gets the commands;
  // any other object is replaced by a fresh subscription object holding only them.
  // 3 for an empty pointer.
  ErrorCode add_to_subscription(const std::vector<unsigned long long>& gids, bool cascade,
                                const orva::SharedPointer<Object>& object);

  // Removes the object on the synchronisation's behalf (no removed-id record); when it
  // has a global id, records that id in the soft-deletion object and drops its pair from
  // the mapping object. One transaction: a failed step, the removal included, rolls all
  // of it back and is returned. A local id that no object has removes nothing and
  // gives 0.
  ErrorCode soft_delete_object(unsigned int local_id);

  // Adds the pair of |ids| to the stored mapping object (skipped when either id is
  // already mapped) and stores it in any case; one transaction.
  ErrorCode save_mapping(const ObjectBase& ids);
  // save_mapping for every pair, in order, with one load and one store of the mapping
  // object (linear in the mapping and the pairs); one transaction.
  ErrorCode save_mappings(const std::vector<ObjectBase>& pairs);
  // A fresh mapping object in |out| with the pairs of |items|, the missing id of a
  // pair looked up in the store (items whose pair cannot be completed are skipped).
  // Nothing stored.
  ErrorCode create_mapping_object(const std::vector<ObjectBase>& items, Object& out);

  // The objects to send: the loads, the mapping without pairs lacking an id.
  ErrorCode get_subscription_object(Object& out);
  ErrorCode get_soft_deletion_object(Object& out);
  ErrorCode get_mapping_object(Object& out);

  // The stored object with that kind's global id, or a fresh one (reserved ids, name,
  // no-sync flag) when none is stored; nothing written.
  ErrorCode load_subscription_object(Object& out);
  ErrorCode load_soft_deletion_object(Object& out);
  ErrorCode load_mapping_object(Object& out);

  // Sets the no-sync flag and writes |object| through the sync adapter: over the stored
  // object with its local id, or, for local id 0 or |reserved_local_id|, over the
  // object with its global id (inserted when there is none).
  ErrorCode store_subscription_object(Object& object);
  ErrorCode store_soft_deletion_object(Object& object);
  ErrorCode store_mapping_object(Object& object);
  ErrorCode store_special_object(Object& object, unsigned int reserved_local_id);

  // The server accepted |sent|, a copy of the stored object: removes from the stored
  // object exactly what |sent| carried (subscribe and unsubscribe commands; id pairs,
  // and pairs lacking an id; soft-deleted ids), so that what was added since stays.
  // The soft-deletion object is written only when an id left it. 3 for an empty
  // pointer or a copy of another class.
  ErrorCode handle_subscription_object_sent(const orva::SharedPointer<Object>& sent);
  ErrorCode handle_mapping_object_sent(const orva::SharedPointer<Object>& sent);
  ErrorCode handle_soft_deletion_object_sent(const orva::SharedPointer<Object>& sent);

  // A subscription object from the server (not stored): its sharing switches are
  // applied, types 3, 5, 6 and 8 in this order (models 0, 1, 2, 3), so an id in
  // several lists ends with the last. The first failure stops and is returned. 3 for
  // an empty pointer or an object that is not of class "sys_subscription".
  ErrorCode handle_subscription_object_received(const orva::SharedPointer<Object>& received);
  // Sets |model| on the object of each id, keeping its stored change state; one
  // transaction per id, ids no object here has are skipped. The first failure stops
  // and is returned; ids before it stay applied.
  ErrorCode apply_sharing_changes(const std::vector<unsigned long long>& gids, SharingModel model);

  // The ids of the stored subscription object's commands of |type| (1 to 8, any other
  // type leaves |out| untouched).
  ErrorCode get_change_gids(SubscriptionCommandBase::Type type,
                            std::vector<unsigned long long>& out);

 private:
  SubscriptionManager(const SubscriptionManager&) = delete;
  SubscriptionManager& operator=(const SubscriptionManager&) = delete;

  // Ends the transaction with |code| and returns the end's result.
  ErrorCode end(ErrorCode code);

  orva::SharedPointer<DataAdapter> m_adapter;
  orva::SharedPointer<Repository> m_repository;
  orva::SharedPointer<SyncAdapter> m_sync_adapter;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
