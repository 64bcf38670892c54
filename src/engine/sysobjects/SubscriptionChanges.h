// SubscriptionChanges: the view of the subscription object's "changes" attribute
// (class "subscription_changes"), with one command list per command type, in type
// order. Children of "changes" of any other class are kept and ignored.
//
// As a child of SubscriptionObject the attribute is created by the first command
// written into any list; a root view makes its own unnamed attribute.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/AttributeHandle.h>
#include <keldra/StringPool.h>

#include "sysobjects/SubscriptionCmdList.h"
#include "sysobjects/SubscriptionCommand.h"

#include <vector>

namespace orva {
namespace keldra {
namespace internal {

class SubscriptionChanges : public AttributeHandle {
 public:
  // Unbound, no parent; the lists have this view as their parent.
  SubscriptionChanges();
  // A root view over a new attribute holding a deep copy of |other|, lists read from
  // it (unbound when |other| is).
  SubscriptionChanges(const SubscriptionChanges& other);
  // Copies |other|'s content into this view's own attribute and reads the lists again.
  SubscriptionChanges& operator=(const SubscriptionChanges& other);

  const StringPool::StringHandle& get_class_name_handle() const override;
  // The lists create their commands themselves.
  void do_init_child_handle(AttributeHandle& child) override;
  // Reads all eight lists again.
  void attach_child_handles() override;

  SubscribedCmdList& subscribed() { return m_subscribed; }
  UnsubscribedCmdList& unsubscribed() { return m_unsubscribed; }
  const SubscribedCmdList& subscribed() const { return m_subscribed; }
  const UnsubscribedCmdList& unsubscribed() const { return m_unsubscribed; }
  const SwitchedPrivateCmdList& switched_private() const { return m_switched_private; }
  const SwitchedPrivatePermCmdList& switched_private_perm() const {
    return m_switched_private_perm;
  }
  const SwitchedPublicCmdList& switched_public() const { return m_switched_public; }
  const SwitchedPublicRwCmdList& switched_public_rw() const { return m_switched_public_rw; }
  const SwitchedRestrictedCmdList& switched_restricted() const { return m_switched_restricted; }
  const DeletedByOwnerCmdList& deleted_by_owner() const { return m_deleted_by_owner; }

  // get_gids of the list of |type|; false, |out| untouched, for a type outside 1 to 8.
  bool get_gids(SubscriptionCommandBase::Type type, std::vector<unsigned long long>& out) const;

 private:
  void init_lists();

  const SubscriptionCommandStrings* m_strings;
  SubscribedCmdList m_subscribed;
  UnsubscribedCmdList m_unsubscribed;
  SwitchedPrivateCmdList m_switched_private;
  SwitchedPrivatePermCmdList m_switched_private_perm;
  SwitchedPublicCmdList m_switched_public;
  SwitchedPublicRwCmdList m_switched_public_rw;
  SwitchedRestrictedCmdList m_switched_restricted;
  DeletedByOwnerCmdList m_deleted_by_owner;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
