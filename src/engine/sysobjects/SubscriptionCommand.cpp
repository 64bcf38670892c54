#include "sysobjects/SubscriptionCommand.h"

#include <keldra/Field.h>

#include "views/ViewFields.h"

namespace orva {
namespace keldra {
namespace internal {

StringPool::StringSet* SubscriptionCommandStrings::create_strings(StringPool& pool) {
  static const char* const kKeywords[9] = {nullptr,
                                           "subscribe",
                                           "unsubscribe",
                                           "switched_private",
                                           "switched_private_permanent",
                                           "switched_public",
                                           "switched_public_rw",
                                           "switched_restricted",
                                           "deleted_by_owner"};
  SubscriptionCommandStrings* s = new SubscriptionCommandStrings;
  pool.init_handle(s->subscription_changes, "subscription_changes");
  for (int type = 1; type <= 8; ++type) pool.init_handle(s->keywords[type], kKeywords[type]);
  pool.init_handle(s->global_id, "global_id");
  pool.init_handle(s->cascade, "cascade");
  return s;
}

SubscriptionCommandBase::SubscriptionCommandBase()
    : m_strings(view_strings<SubscriptionCommandStrings>()) {}

SubscriptionCommandBase::SubscriptionCommandBase(const SubscriptionCommandBase& other)
    : AttributeHandle(other), m_strings(other.m_strings) {}

unsigned long long SubscriptionCommandBase::get_global_id() const {
  const Field* field = view_field(*this, m_strings->global_id, Field::TYPE_UINT64);
  unsigned long long gid = 0;
  if (field) field->get_value(gid);
  return gid;
}

ErrorCode SubscriptionCommandBase::set_global_id(unsigned long long gid) {
  if (!is_safe()) return ORVA_ERROR_OUT_OF_MEMORY;
  return set_field(m_strings->global_id, gid);
}

bool SubscriptionCommandBase::is_cascaded() const {
  const Field* field = view_field(*this, m_strings->cascade, Field::TYPE_UINT32);
  unsigned int cascade = 0;
  if (field) field->get_value(cascade);
  return cascade != 0;
}

ErrorCode SubscriptionCommandBase::set_cascaded(bool cascade) {
  if (!cascade) {
    remove_field(m_strings->cascade);
    return ORVA_ERROR_NONE;
  }
  if (!is_safe()) return ORVA_ERROR_OUT_OF_MEMORY;
  return set_field(m_strings->cascade, 1u);
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
