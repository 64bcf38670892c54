// A recording stand-in for the direct transfer handler, installed through the handler's
// factory seam: every handler it makes writes its calls, as text, into one shared log,
// and its runs behave as the test tells them.
//
// Not thread-safe: the test's main thread only.
#pragma once

#include "transfer/DirectTransferHandler.h"

#include <memory>
#include <string>
#include <vector>

namespace keldra_test {

class TransferDouble;

// What one run does once started.
enum class RunEnd {
  LATER,           // reports (0x6001, 0.5), then its end from the event loop
  INSIDE_START,    // reports its end to the listener and returns it from start
  RETURN_ONLY,     // returns its end from start without telling the listener
  NEVER,           // stays active until cancelled or ended by the test (finish())
  HALF_THEN_WAIT,  // reports (0x6001, 0.5) from the event loop, then stays as NEVER does
  THROW_MEMORY,    // start throws std::bad_alloc
  THROW_OTHER,     // start throws std::runtime_error
};

struct TransferScript {
  // Per run in order (the last entry serves every later run): how it ends and with what.
  std::vector<RunEnd> ends{RunEnd::LATER};
  std::vector<orva::ErrorCode> results{0};
  // A failure reported through the listener while the handler still says it is active.
  bool active_after_end = false;
  // The objects each run downloads (global id, local id), per run in order.
  std::vector<std::vector<std::pair<unsigned long long, unsigned int>>> downloads;
  uint64_t bytes_per_run = 100;
  orva::ErrorCode create_error = 0;
  orva::ErrorCode download_enable_result = 0;
  orva::ErrorCode subscribe_enable_result = 0;
};

// Owns the log and the script; installs the factory on construction, removes it on
// destruction.
class TransferDoubles {
 public:
  TransferDoubles();
  ~TransferDoubles();

  TransferScript script;
  std::vector<std::string> calls;
  // The handler made last (null before the first).
  TransferDouble* last = nullptr;
  // The device identifiers the runs were started with.
  std::vector<std::string> device_ids;
};

class TransferDouble : public orva::keldra::internal::DirectTransferHandler {
 public:
  explicit TransferDouble(TransferDoubles& owner) : m_owner(owner) {}

  void disable_all_tasks() override;
  void enable_objects_upload() override;
  void enable_objects_upload_without_ids() override;
  void enable_mmf_upload() override;
  void enable_mmf_download() override;
  void enable_queue_upload(const std::string& queue_name) override;
  orva::ErrorCode enable_objects_download(const std::vector<unsigned long long>& global_ids,
                                          bool cascade) override;
  orva::ErrorCode enable_objects_subscribe(const std::vector<unsigned long long>& global_ids,
                                           bool cascade) override;
  orva::ErrorCode set_local_objects_filter(const std::vector<unsigned int>& local_ids,
                                           unsigned int depth) override;
  void set_download_options(const orva::keldra::SyncService::FileSyncOptions& options) override;
  orva::ErrorCode start(const orva::keldra::SyncService::SyncParams& params,
                        const std::string& device_id, Listener& listener) override;
  void cancel() override;
  bool is_active() const override { return m_active; }
  uint64_t get_data_transfered() const override { return m_bytes; }
  const DownloadedObjects& downloaded_objects() const override;
  const std::vector<ItemResult>& failed_objects() const override { return m_no_items; }
  const std::vector<ItemResult>& failed_files() const override { return m_no_items; }
  const std::vector<orva::keldra::ObjectBase>& uploaded_objects() const override {
    return m_no_objects;
  }
  uint32_t num_of_errors() const override { return 0; }

  // Ends the active run with |status| through the listener.
  void finish(orva::ErrorCode status, float progress = 1.0f);
  int runs() const { return m_runs; }

 private:
  void end_run(orva::ErrorCode status, float progress, bool tell);

  TransferDoubles& m_owner;
  Listener* m_listener = nullptr;
  bool m_active = false;
  int m_runs = 0;
  uint64_t m_bytes = 0;
  DownloadedObjects m_downloaded;
  std::vector<ItemResult> m_no_items;
  std::vector<orva::keldra::ObjectBase> m_no_objects;
  // Expires with the double, so that a pending end of a destroyed double does nothing.
  std::shared_ptr<char> m_alive = std::make_shared<char>(0);
};

}  // namespace keldra_test
