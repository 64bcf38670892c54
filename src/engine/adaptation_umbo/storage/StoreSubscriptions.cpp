// The store facade's soft deletion and subscription: each goes through a subscription
// manager made over the store's data adapter for the call. Defined here, beside the
// manager, since the store layer cannot reach the sync engine.
#include <keldra/Store.h>

#include "adaptation_umbo/syncml/SubscriptionManager.h"
#include "store/Guarded.h"

namespace orva {
namespace keldra {

namespace {

// Runs |work| on a new manager over |adapter|.
template <class Work>
ErrorCode with_manager(const orva::SharedPointer<DataAdapter>& adapter, Work work) {
  if (!adapter.is_valid()) return ORVA_ERROR_UNKNOWN;
  return internal::guarded([&] {
    internal::SubscriptionManager manager(adapter);
    return work(manager);
  });
}

}  // namespace

ErrorCode Store::soft_delete_object(unsigned int local_id) {
  return with_manager(m_adapter, [&](internal::SubscriptionManager& manager) {
    return manager.soft_delete_object(local_id);
  });
}

ErrorCode Store::add_to_subscription(const std::vector<unsigned long long>& global_ids, bool flag) {
  return with_manager(m_adapter, [&](internal::SubscriptionManager& manager) {
    return manager.add_to_subscription(global_ids, flag);
  });
}

}  // namespace keldra
}  // namespace orva
