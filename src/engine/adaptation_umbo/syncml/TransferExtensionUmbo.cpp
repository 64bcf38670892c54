// The direct transfer's system objects over the sync extension and the subscription
// manager of its data adapter, and its downloaded files (and the local files the store
// records) over the adapter's sync adapter.
#include "transfer/TransferExtension.h"

#include "adaptation_umbo/syncml/SubscriptionManager.h"
#include "adaptation_umbo/syncml/SyncAdapterUmbo.h"
#include "adaptation_umbo/syncml/SyncExtension.h"

#include <new>

namespace orva {
namespace keldra {
namespace internal {

namespace {

class TransferExtensionUmbo final : public TransferExtension {
 public:
  explicit TransferExtensionUmbo(const orva::SharedPointer<DataAdapter>& adapter)
      : m_adapter(adapter),
        m_extension(new SyncExtension(adapter)),
        m_subscriptions(new SubscriptionManager(adapter)) {}

  orva::ErrorCode get_extension_object(uint32_t local_id, Object& object) override {
    return m_extension->get_extension_object(local_id, object);
  }
  orva::ErrorCode cache_object(const ObjectPtr& object) override {
    return m_extension->cache_object(object);
  }
  orva::ErrorCode handle_cached_extension_object_sent(uint32_t local_id,
                                                      orva::ErrorCode result) override {
    return m_extension->handle_cached_extension_object_sent(local_id, result);
  }
  orva::ErrorCode handle_extension_object_received(const ObjectPtr& object,
                                                   uint32_t& local_id) override {
    return m_extension->handle_extension_object_received(object, local_id);
  }
  orva::ErrorCode add_to_subscription(const std::vector<unsigned long long>& global_ids,
                                      bool cascade, const ObjectPtr& object) override {
    return m_subscriptions->add_to_subscription(global_ids, cascade, object);
  }
  orva::ErrorCode save_mappings(const std::vector<ObjectBase>& pairs) override {
    return m_subscriptions->save_mappings(pairs);
  }
  orva::ErrorCode create_mapping_object(const std::vector<ObjectBase>& items,
                                        Object& object) override {
    return m_subscriptions->create_mapping_object(items, object);
  }
  orva::ErrorCode store_downloaded_file(unsigned int local_id, Object& object) override {
    SyncAdapterUmbo* sync = sync_adapter();
    return sync == nullptr ? ORVA_ERROR_UNKNOWN
                           : sync->replace_object_with_local_file(local_id, object);
  }
  orva::ErrorCode get_local_files(const std::string& fragment,
                                  std::vector<std::string>& paths) override {
    SyncAdapterUmbo* sync = sync_adapter();
    return sync == nullptr ? ORVA_ERROR_UNKNOWN : sync->get_local_files(fragment, paths);
  }

 private:
  // The adapter's sync adapter, made on first use; null when it is not this platform's.
  SyncAdapterUmbo* sync_adapter() {
    if (!m_sync_adapter.is_valid()) m_sync_adapter = m_adapter->sync_adapter();
    return dynamic_cast<SyncAdapterUmbo*>(m_sync_adapter.get());
  }

  orva::SharedPointer<DataAdapter> m_adapter;
  // Made on first use.
  orva::SharedPointer<SyncAdapter> m_sync_adapter;
  orva::SharedPointer<SyncExtension> m_extension;
  orva::SharedPointer<SubscriptionManager> m_subscriptions;
};

}  // namespace

orva::SharedPointer<TransferExtension> TransferExtension::create(
    const orva::SharedPointer<DataAdapter>& adapter) {
  if (!adapter.is_valid()) return orva::SharedPointer<TransferExtension>();
  try {
    return orva::SharedPointer<TransferExtension>(new TransferExtensionUmbo(adapter));
  } catch (const std::bad_alloc&) {
    return orva::SharedPointer<TransferExtension>();
  }
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
