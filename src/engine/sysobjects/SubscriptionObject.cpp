#include "sysobjects/SubscriptionObject.h"

#include <keldra/LoggerUmbo.h>

#include "objects/SystemObject.h"

namespace orva {
namespace keldra {
namespace internal {

namespace {
const SystemObjectIdentity kSubscriptionIdentity = {
    "sys.keldra.subscription", SubscriptionObject::GLOBAL_ID, SubscriptionObject::LOCAL_ID};
}  // namespace

StringPool::StringSet* SubscriptionObjectStrings::create_strings(StringPool& pool) {
  SubscriptionObjectStrings* s = new SubscriptionObjectStrings;
  pool.init_handle(s->changes, "changes");
  pool.init_handle(s->sys_subscription, "sys_subscription");
  return s;
}

SubscriptionObject::SubscriptionObject() : m_strings(view_strings<SubscriptionObjectStrings>()) {
  init_changes();
}

// The changes view gets its parent before the content is copied, so that it reads
// the copy.
SubscriptionObject::SubscriptionObject(const SubscriptionObject& other)
    : ObjectHandle(other), m_strings(other.m_strings) {
  init_changes();
  ObjectHandle::copy(other);
  attach_child_handles();
}

SubscriptionObject& SubscriptionObject::operator=(const SubscriptionObject& other) {
  if (this != &other) {
    m_strings = other.m_strings;
    ObjectHandle::operator=(other);
  }
  return *this;
}

void SubscriptionObject::init_changes() { m_changes.set_parent(this); }

const StringPool::StringHandle& SubscriptionObject::get_class_name_handle() const {
  return m_strings->sys_subscription;
}

bool SubscriptionObject::init_self() { return init_system_object(*this, kSubscriptionIdentity); }

void SubscriptionObject::do_init_child_handle(AttributeHandle& child) {
  if (&child == &m_changes) {
    add_handle(m_changes, m_strings->changes);
    return;
  }
  ObjectHandle::do_init_child_handle(child);
}

void SubscriptionObject::attach_child_handles() {
  ObjectHandle::attach_child_handles();
  attach_handle(m_changes, m_strings->changes);
  // Binding the attribute already held leaves the lists as they were; the object's
  // children may have changed meanwhile.
  m_changes.attach_child_handles();
}

ErrorCode SubscriptionObject::attach(const orva::SharedPointer<Object>& object) {
  return attach_system_object(*this, object);
}

ErrorCode SubscriptionObject::subscribe(const std::vector<unsigned long long>& gids, bool cascade) {
  if (!init_self()) return ORVA_ERROR_OUT_OF_MEMORY;
  ErrorCode result = m_changes.subscribed().add_gids(gids, cascade);
  if (result != ORVA_ERROR_NONE) return result;
  m_changes.unsubscribed().remove_gids(gids);
  return ORVA_ERROR_NONE;
}

ErrorCode SubscriptionObject::unsubscribe(const std::vector<unsigned long long>& gids,
                                          bool cascade) {
  if (!init_self()) return ORVA_ERROR_OUT_OF_MEMORY;
  ErrorCode result = m_changes.unsubscribed().add_gids(gids, cascade);
  if (result != ORVA_ERROR_NONE) return result;
  m_changes.subscribed().remove_gids(gids);
  return ORVA_ERROR_NONE;
}

ErrorCode SubscriptionObject::get_change_gids(SubscriptionCommandBase::Type type,
                                              std::vector<unsigned long long>& out) const {
  m_changes.get_gids(type, out);
  return ORVA_ERROR_NONE;
}

ErrorCode SubscriptionObject::commit_changes(const SubscriptionObject& sent) {
  if (!init_self()) return ORVA_ERROR_OUT_OF_MEMORY;
  std::vector<unsigned long long> gids;
  sent.changes().subscribed().get_gids(gids);
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "SubscriptionObject::commit_changes: %d subscribe cmds",
                   static_cast<int>(gids.size()));
  m_changes.subscribed().remove_gids(gids);
  sent.changes().unsubscribed().get_gids(gids);
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "SubscriptionObject::commit_changes: %d unsubscribe cmds",
                   static_cast<int>(gids.size()));
  m_changes.unsubscribed().remove_gids(gids);
  return ORVA_ERROR_NONE;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
