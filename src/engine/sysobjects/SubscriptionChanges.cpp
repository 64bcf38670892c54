#include "sysobjects/SubscriptionChanges.h"

namespace orva {
namespace keldra {
namespace internal {

SubscriptionChanges::SubscriptionChanges() : m_strings(view_strings<SubscriptionCommandStrings>()) {
  init_lists();
}

// The lists get their parent before the content is copied, so that they read the copy.
SubscriptionChanges::SubscriptionChanges(const SubscriptionChanges& other)
    : AttributeHandle(other), m_strings(other.m_strings) {
  init_lists();
  copy(other);
}

SubscriptionChanges& SubscriptionChanges::operator=(const SubscriptionChanges& other) {
  m_strings = other.m_strings;
  AttributeHandle::operator=(other);
  return *this;
}

void SubscriptionChanges::init_lists() {
  m_subscribed.set_parent(this);
  m_unsubscribed.set_parent(this);
  m_switched_private.set_parent(this);
  m_switched_private_perm.set_parent(this);
  m_switched_public.set_parent(this);
  m_switched_public_rw.set_parent(this);
  m_switched_restricted.set_parent(this);
  m_deleted_by_owner.set_parent(this);
}

const StringPool::StringHandle& SubscriptionChanges::get_class_name_handle() const {
  return m_strings->subscription_changes;
}

void SubscriptionChanges::do_init_child_handle(AttributeHandle&) {}

void SubscriptionChanges::attach_child_handles() {
  m_subscribed.attach();
  m_unsubscribed.attach();
  m_switched_private.attach();
  m_switched_private_perm.attach();
  m_switched_public.attach();
  m_switched_public_rw.attach();
  m_switched_restricted.attach();
  m_deleted_by_owner.attach();
}

bool SubscriptionChanges::get_gids(SubscriptionCommandBase::Type type,
                                   std::vector<unsigned long long>& out) const {
  switch (type) {
    case SubscriptionCommandBase::SUBSCRIBE:
      m_subscribed.get_gids(out);
      return true;
    case SubscriptionCommandBase::UNSUBSCRIBE:
      m_unsubscribed.get_gids(out);
      return true;
    case SubscriptionCommandBase::SWITCHED_PRIVATE:
      m_switched_private.get_gids(out);
      return true;
    case SubscriptionCommandBase::SWITCHED_PRIVATE_PERMANENT:
      m_switched_private_perm.get_gids(out);
      return true;
    case SubscriptionCommandBase::SWITCHED_PUBLIC:
      m_switched_public.get_gids(out);
      return true;
    case SubscriptionCommandBase::SWITCHED_PUBLIC_RW:
      m_switched_public_rw.get_gids(out);
      return true;
    case SubscriptionCommandBase::SWITCHED_RESTRICTED:
      m_switched_restricted.get_gids(out);
      return true;
    case SubscriptionCommandBase::DELETED_BY_OWNER:
      m_deleted_by_owner.get_gids(out);
      return true;
  }
  return false;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
