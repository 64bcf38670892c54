// A direct transfer handler over a fresh "personal" store file under the test's home,
// with the real relay on the private bus, connecting through a ScriptedAdapter; and a
// listener that records every report.
#pragma once

#include "support/ScriptedAdapter.h"

#include "transfer/DirectTransferHandlerImpl.h"

#include <keldra/DataAdapter.h>
#include <keldra/Object.h>
#include <keldra/Repository.h>
#include <keldra/SharedPointer.h>
#include <keldra/Static.h>
#include <keldra/SyncService.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace keldra_test {

using Phase = orva::keldra::internal::DirectTransferHandler::Phase;

struct TransferReport {
  orva::ErrorCode status;
  float progress;
  Phase phase;
  bool operator==(const TransferReport& o) const {
    // Exact floats: the progress values are computed the same way on both sides.
    return status == o.status && progress == o.progress && phase == o.phase;
  }
};
std::ostream& operator<<(std::ostream& out, const TransferReport& r);

class RecordingListener : public orva::keldra::internal::DirectTransferHandler::Listener {
 public:
  void handle_transfer_progress(orva::ErrorCode status, float progress, Phase phase) override {
    reports.push_back({status, progress, phase});
    if (during) during(reports.back());
  }
  int finals() const;
  std::vector<TransferReport> reports;
  std::function<void(const TransferReport&)> during;
};

// A handler whose request steps post what the test asks for: |objects_requests| posts
// in OBJECTS, and one GET per entry of the download list in DOWNLOAD.
class StepHandler : public orva::keldra::internal::DirectTransferHandlerImpl {
 public:
  explicit StepHandler(const orva::SharedPointer<orva::keldra::DataAdapter>& adapter)
      : DirectTransferHandlerImpl(adapter) {}
  using DirectTransferHandlerImpl::items_total;
  using DirectTransferHandlerImpl::local_objects;
  using DirectTransferHandlerImpl::mmfiles_downlist;
  using DirectTransferHandlerImpl::mmfiles_uplist;
  using DirectTransferHandlerImpl::objects_uplist;
  int objects_requests = 0;
  bool download_requests = false;
  // Where the steps send their requests.
  std::string upload_url = "https://127.0.0.1/upload";
  std::string download_base = "https://127.0.0.1/md";
  std::vector<unsigned int> saved;  // local ids whose download body was handled
  // What the saving of a download body gives (not 0: the file could not be saved).
  orva::ErrorCode save_result = 0;
  // The media upload list as the search left it, before the batch packages took from it.
  std::vector<unsigned int> searched_uplist;

 protected:
  orva::ErrorCode send_objects_message() override;
  orva::ErrorCode receive_next_mmfile() override;
  orva::ErrorCode process_file_download_result(
      unsigned int local_id, const orva::SharedPointer<orva::keldra::DynamicBuffer>& body,
      const std::string& content_type) override;
  orva::ErrorCode create_batch_request_packages(
      std::vector<orva::SharedPointer<orva::keldra::internal::RequestPackage>>& packages) override;
};

class TransferTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Handlers made from now on connect through a ScriptedAdapter (as after SetUp).
  void use_scripted_adapter();
  // The handler of the library (create), or a StepHandler.
  orva::SharedPointer<orva::keldra::internal::DirectTransferHandler> make_handler();
  orva::SharedPointer<StepHandler> make_step_handler();

  // Stores a place; |synced| writes it as the server's (not modified). Its local id.
  unsigned int add_place(const std::string& name, bool synced = false,
                         const std::vector<unsigned int>& children = {});
  // Stores a multimedia object with a local and/or remote file address.
  unsigned int add_media(const std::string& local_url, const std::string& remote_url);

  // Starts |handler| and records the number of reports made before start returned.
  orva::ErrorCode start(orva::keldra::internal::DirectTransferHandler& handler);
  static orva::keldra::SyncService::SyncParams params(uint32_t iap = 0);
  // Runs the event loop until the run has its final report.
  bool wait_final();
  void pump_a_while();

  orva::SharedPointer<orva::keldra::Static> static_;
  orva::SharedPointer<orva::keldra::DataAdapter> adapter_;
  orva::SharedPointer<orva::keldra::Repository> repo_;
  RecordingListener listener_;
  // The adapter the handler made last (owned by the handler).
  ScriptedAdapter* network_ = nullptr;
  orva::ErrorCode open_result_ = ORVA_ERROR_KELDRA_IN_PROGRESS;
  bool auto_open_ = false;
  size_t reports_at_return_ = 0;
};

}  // namespace keldra_test
