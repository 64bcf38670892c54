// The system objects as the direct transfer uses them: the sync extension's send cache
// and received objects, and the subscription manager's subscription and mapping; and
// the one sync write that stores a local file, for a media file the run downloaded. The
// platform's implementation (over SyncExtension, SubscriptionManager and the sync
// adapter) defines create() in adaptation_umbo/syncml/.
//
// Results: those of the sync extension and the subscription manager, unchanged.
// One per transfer handler, made over its data adapter; reference counted; used on the
// thread of that adapter.
#pragma once

#include <keldra/DataAdapter.h>
#include <keldra/ErrorCode.h>
#include <keldra/Object.h>
#include <keldra/ObjectBase.h>
#include <keldra/RefCountable.h>
#include <keldra/SharedPointer.h>

#include <cstdint>
#include <string>
#include <vector>

namespace orva {
namespace keldra {
namespace internal {

class TransferExtension : public orva::internal::RefCountable {
 public:
  // Empty when |adapter| is empty or memory runs out.
  static orva::SharedPointer<TransferExtension> create(
      const orva::SharedPointer<DataAdapter>& adapter);

  ~TransferExtension() override {}

  // Fills |object| with the current content of the system object of that reserved id.
  virtual orva::ErrorCode get_extension_object(uint32_t local_id, Object& object) = 0;
  // Keeps |object| (not a copy) in the send cache under its local id.
  virtual orva::ErrorCode cache_object(const ObjectPtr& object) = 0;
  // The server's result for the cached object; 8 when none is cached there.
  virtual orva::ErrorCode handle_cached_extension_object_sent(uint32_t local_id,
                                                              orva::ErrorCode result) = 0;
  // A system object the server sent; |local_id| receives its reserved local id.
  virtual orva::ErrorCode handle_extension_object_received(const ObjectPtr& object,
                                                           uint32_t& local_id) = 0;
  // A new subscription object in |object| subscribing |global_ids|; nothing stored.
  virtual orva::ErrorCode add_to_subscription(const std::vector<unsigned long long>& global_ids,
                                              bool cascade, const ObjectPtr& object) = 0;
  // Adds the pairs to the stored mapping object (a pair sharing an id already mapped is
  // skipped) in one load and one store; one transaction.
  virtual orva::ErrorCode save_mappings(const std::vector<ObjectBase>& pairs) = 0;
  // A new mapping object in |object| with the pairs of |items|, a missing id completed
  // from the store; nothing stored.
  virtual orva::ErrorCode create_mapping_object(const std::vector<ObjectBase>& items,
                                                Object& object) = 0;
  // Writes |object| over |local_id| from sync (it stays synchronised) with the local
  // file it names: only for a file this device downloaded. Every other sync write keeps
  // the stored local file whatever the object says.
  virtual orva::ErrorCode store_downloaded_file(unsigned int local_id, Object& object) = 0;
  // The path of every local file a stored object records (its own, or a part's) whose
  // text holds |fragment| (empty: every one), appended to |paths|: so that a download
  // never takes a file another object names. Only the records that hold the fragment
  // are decoded, which keeps the look-up short inside a write transaction.
  virtual orva::ErrorCode get_local_files(const std::string& fragment,
                                          std::vector<std::string>& paths) = 0;

 protected:
  TransferExtension() {}

 private:
  TransferExtension(const TransferExtension&) = delete;
  TransferExtension& operator=(const TransferExtension&) = delete;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
