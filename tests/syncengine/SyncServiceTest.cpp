// The sync service over a recording task runner: the options it builds, the reports it
// forwards, the one sync per process, and its refusal without a task runner.
#include "support/DbusTestBus.h"
#include "support/LogCapture.h"

#include "syncengine/SyncServiceUmbo.h"
#include "syncengine/SyncTaskRunner.h"

#include <keldra/SyncService.h>

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

using keldra_test::LogCapture;
using orva::SharedPointer;
using orva::keldra::ProgressHandler;
using orva::keldra::SyncService;
using orva::keldra::internal::KeldSyncOptions;
using orva::keldra::internal::SyncServiceUmbo;
using orva::keldra::internal::SyncTaskRunner;

const orva::ErrorCode IN_PROGRESS = ORVA_ERROR_KELDRA_IN_PROGRESS;
typedef std::vector<std::pair<orva::ErrorCode, float>> Reports;

struct Recorder : ProgressHandler {
  void handle_progress(float progress, orva::ErrorCode status) override {
    reports.emplace_back(status, progress);
  }
  Reports reports;
};

// Stands in for the task manager: records each start and behaves as told.
class RecordingRunner : public SyncTaskRunner {
 public:
  enum Throw { NONE, OUT_OF_MEMORY, OTHER };

  orva::ErrorCode startSynchronize(const SyncService::SyncParams& params,
                                   const KeldSyncOptions& options,
                                   const std::vector<unsigned int>& local_ids,
                                   const std::vector<unsigned long long>& global_ids,
                                   const SyncService::FileSyncOptions& upload,
                                   const SyncService::FileSyncOptions& download,
                                   SyncService::SyncBackends backend) override {
    ++starts;
    last_params = params;
    last_options = options;
    last_local_ids = local_ids;
    last_global_ids = global_ids;
    last_upload = upload;
    last_download = download;
    last_backend = backend;
    if (throw_kind == OUT_OF_MEMORY) throw std::bad_alloc();
    if (throw_kind == OTHER) throw std::runtime_error("hub");
    if (start_result != 0) return start_result;
    active = true;
    emit reportSyncProgress(IN_PROGRESS, 0.0f);
    reports_at_start_return = reports_seen ? reports_seen->size() : 0;
    return 0;
  }
  void cancel() override {
    ++cancels;
    if (!active) return;
    active = false;
    emit reportSyncProgress(ORVA_ERROR_KELDRA_CANCELLED, 0.3f);
  }
  bool isSyncActive() const override { return active; }
  uint64_t getDataTransferred() const override { return 1234; }

  // Ends the running sync with |status|.
  void finish(orva::ErrorCode status, float progress) {
    active = false;
    emit reportSyncProgress(status, progress);
  }
  void progress(float p) { emit reportSyncProgress(IN_PROGRESS, p); }

  orva::ErrorCode start_result = 0;
  Throw throw_kind = NONE;
  bool active = false;
  int starts = 0;
  int cancels = 0;
  const Reports* reports_seen = nullptr;
  size_t reports_at_start_return = 0;
  SyncService::SyncParams last_params;
  KeldSyncOptions last_options;
  std::vector<unsigned int> last_local_ids;
  std::vector<unsigned long long> last_global_ids;
  SyncService::FileSyncOptions last_upload;
  SyncService::FileSyncOptions last_download;
  SyncService::SyncBackends last_backend = SyncService::CHINA;
};

SyncService::SyncParams valid_params() {
  SyncService::SyncParams p;
  p.service = "personal";
  p.user = "anna";
  p.password = "pw";
  p.iap = 3;
  p.account = "acc";
  return p;
}

// A service over a recording runner, with a listener.
struct Fixture {
  Fixture() : runner(new RecordingRunner), service(new SyncServiceUmbo(runner)) {
    runner->reports_seen = &listener.reports;
    service->set_listener(&listener);
  }
  RecordingRunner* runner;  // owned by the service
  Recorder listener;
  SharedPointer<SyncService> service;
};

KeldSyncOptions options(unsigned tasks, bool local, unsigned cascading, bool global, bool cascade) {
  KeldSyncOptions o;
  o.tasks = tasks;
  o.local_ids_given = local;
  o.cascading = cascading;
  o.global_ids_given = global;
  o.cascade = cascade;
  return o;
}

// The platform's task manager takes the session bus: the private test bus, never the
// machine's.
bool on_test_bus() { return keldra_test::DbusTestBus::shared().running(); }

TEST(SyncService, FreshServiceHasDefaultOptionsAndBackend) {
  ASSERT_TRUE(on_test_bus());
  SharedPointer<SyncService> service = SyncService::instance();
  ASSERT_TRUE(service.is_valid());
  SyncService::FileSyncOptions up, down;
  up.image_scaling_longest_side = down.image_scaling_longest_side = 77;
  service->get_file_transfer_options(up, down);
  for (const auto& o : {up, down}) {
    EXPECT_EQ(0, o.image_scaling_longest_side);
    EXPECT_EQ(0u, o.file_size_limit);
    EXPECT_EQ(0xFFFFFFFFu, o.allowed_file_types);
  }
  SyncService::SyncBackends backend = SyncService::CHINA;
  service->get_backend(backend);
  EXPECT_EQ(SyncService::DEFAULT, backend);

  // Stored unchecked; a value outside the two is refused only where it is applied.
  EXPECT_EQ(0, service->select_backend(static_cast<SyncService::SyncBackends>(5)));
  service->get_backend(backend);
  EXPECT_EQ(5, static_cast<int>(backend));

  SyncService::FileSyncOptions u{640, 1000, 2}, d{1280, 2000, 8};
  EXPECT_EQ(0, service->set_file_upload_options(u));
  EXPECT_EQ(0, service->set_file_download_options(d));
  service->get_file_transfer_options(up, down);
  EXPECT_EQ(640, up.image_scaling_longest_side);
  EXPECT_EQ(2u, up.allowed_file_types);
  EXPECT_EQ(1280, down.image_scaling_longest_side);
  EXPECT_EQ(2000u, down.file_size_limit);
}

TEST(SyncService, InstanceMakesANewServiceEachCall) {
  ASSERT_TRUE(on_test_bus());
  SharedPointer<SyncService> a = SyncService::instance();
  SharedPointer<SyncService> b = SyncService::instance();
  ASSERT_TRUE(a.is_valid() && b.is_valid());
  EXPECT_NE(a.get(), b.get());
  a->select_backend(SyncService::CHINA);
  SyncService::SyncBackends backend = SyncService::CHINA;
  b->get_backend(backend);
  EXPECT_EQ(SyncService::DEFAULT, backend);
}

// A service without a task runner: every variant refuses with 4 after the parameter
// check, sends no report, and the other operations are harmless.
TEST(SyncService, WithoutTaskManagerSynchronizeIsRefused) {
  SharedPointer<SyncService> service(new SyncServiceUmbo(nullptr));
  ASSERT_TRUE(service.is_valid());
  Recorder listener;
  service->set_listener(&listener);
  SyncService::SyncParams bad = valid_params();
  bad.password.clear();
  EXPECT_EQ(3, service->synchronize(bad, 4));
  EXPECT_EQ(4, service->synchronize(valid_params()));
  EXPECT_EQ(4, service->synchronize(valid_params(), 1));
  EXPECT_EQ(4, service->synchronize(valid_params(), 1, std::vector<unsigned int>{1}, 2));
  EXPECT_EQ(4, service->synchronize(valid_params(), 2, std::vector<unsigned long long>{9}, true));
  EXPECT_FALSE(service->sync_ongoing());
  EXPECT_EQ(0, service->cancel());
  EXPECT_EQ(0u, service->get_sync_data_transferred());
  EXPECT_TRUE(listener.reports.empty());
  // A later service still may synchronize once one refused: nothing was left claimed.
  Fixture f;
  EXPECT_EQ(0, f.service->synchronize(valid_params(), 4));
  f.runner->finish(0, 1.0f);
}

TEST(SyncService, VariantsBuildTheTaskOptions) {
  const std::vector<unsigned int> locals{5, 6};
  const std::vector<unsigned long long> globals{900000000001ull};
  struct Case {
    const char* what;
    std::function<orva::ErrorCode(SyncService&)> call;
    KeldSyncOptions expected;
    std::vector<unsigned int> local_ids;
    std::vector<unsigned long long> global_ids;
  };
  const SyncService::SyncParams p = valid_params();
  const Case cases[] = {
      {"params only",
       [&](SyncService& s) { return s.synchronize(p); },
       options(4, false, 0, false, false),
       {},
       {}},
      {"tasks",
       [&](SyncService& s) { return s.synchronize(p, 0x13); },
       options(0x13, false, 0, false, false),
       {},
       {}},
      {"local ids",
       [&](SyncService& s) { return s.synchronize(p, 0x01, locals, 2); },
       options(0x01, true, 2, false, false),
       locals,
       {}},
      {"empty local ids",
       [&](SyncService& s) { return s.synchronize(p, 0x01, std::vector<unsigned int>(), 3); },
       options(0x01, false, 3, false, false),
       {},
       {}},
      {"global ids",
       [&](SyncService& s) { return s.synchronize(p, 0x02, globals, true); },
       options(0x02, false, 0, true, true),
       {},
       globals},
      {"empty global ids",
       [&](SyncService& s) {
         return s.synchronize(p, 0x40, std::vector<unsigned long long>(), false);
       },
       options(0x40, false, 0, true, false),
       {},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fixture f;
    SyncService::FileSyncOptions up{100, 1, 2}, down{200, 3, 4};
    f.service->set_file_upload_options(up);
    f.service->set_file_download_options(down);
    f.service->select_backend(SyncService::CHINA);
    EXPECT_EQ(0, c.call(*f.service));
    ASSERT_EQ(1, f.runner->starts);
    EXPECT_TRUE(c.expected == f.runner->last_options);
    EXPECT_EQ(c.local_ids, f.runner->last_local_ids);
    EXPECT_EQ(c.global_ids, f.runner->last_global_ids);
    EXPECT_EQ("anna", f.runner->last_params.user);
    EXPECT_EQ(3u, f.runner->last_params.iap);
    EXPECT_EQ(100, f.runner->last_upload.image_scaling_longest_side);
    EXPECT_EQ(200, f.runner->last_download.image_scaling_longest_side);
    EXPECT_EQ(4u, f.runner->last_download.allowed_file_types);
    EXPECT_EQ(SyncService::CHINA, f.runner->last_backend);
    f.runner->finish(0, 1.0f);
  }
}

TEST(SyncService, InvalidParametersStartNothing) {
  SyncService::SyncParams bad = valid_params();
  bad.user.clear();
  struct Case {
    const char* what;
    std::function<orva::ErrorCode(SyncService&)> call;
    bool message;
  };
  const Case cases[] = {
      {"params only", [&](SyncService& s) { return s.synchronize(bad); }, true},
      {"tasks", [&](SyncService& s) { return s.synchronize(bad, 4); }, true},
      {"local ids",
       [&](SyncService& s) { return s.synchronize(bad, 1, std::vector<unsigned int>{1}, 0); },
       false},
      {"global ids",
       [&](SyncService& s) { return s.synchronize(bad, 2, std::vector<unsigned long long>{1}, 0); },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fixture f;
    LogCapture log;
    EXPECT_EQ(3, c.call(*f.service));
    EXPECT_EQ(0, f.runner->starts);
    EXPECT_TRUE(f.listener.reports.empty());
    EXPECT_EQ(c.message, log.has("SyncServiceUmbo::synchronize() Invalid parameters"));
  }
}

TEST(SyncService, ReportsReachTheListenerInOrder) {
  Fixture f;
  LogCapture log;
  EXPECT_EQ(0, f.service->synchronize(valid_params(), 4));
  // The first report arrived before synchronize returned.
  EXPECT_EQ(1u, f.runner->reports_at_start_return);
  EXPECT_TRUE(f.service->sync_ongoing());
  f.runner->progress(0.01f);
  f.runner->progress(0.5f);
  f.runner->finish(0, 1.0f);
  EXPECT_EQ((Reports{{IN_PROGRESS, 0.0f}, {IN_PROGRESS, 0.01f}, {IN_PROGRESS, 0.5f}, {0, 1.0f}}),
            f.listener.reports);
  EXPECT_FALSE(f.service->sync_ongoing());
  EXPECT_EQ(1234u, f.service->get_sync_data_transferred());
  EXPECT_TRUE(log.has("SyncServiceUmbo::slotReportSyncProgress ++, status 24577, progress  0.50"));
  EXPECT_EQ(4, log.count("mListener->handle_progress, reported back to the client"));
}

TEST(SyncService, NullListenerKeepsTheEarlierOneAndNoListenerDropsReports) {
  Fixture f;
  f.service->set_listener(nullptr);
  EXPECT_EQ(0, f.service->synchronize(valid_params(), 4));
  f.runner->finish(0x6005, 0.4f);
  EXPECT_EQ((Reports{{IN_PROGRESS, 0.0f}, {0x6005, 0.4f}}), f.listener.reports);

  RecordingRunner* runner = new RecordingRunner;
  SharedPointer<SyncService> quiet(new SyncServiceUmbo(runner));
  EXPECT_EQ(0, quiet->synchronize(valid_params(), 4));
  runner->finish(0, 1.0f);
  EXPECT_FALSE(quiet->sync_ongoing());
}

// A listener that goes away unsets itself; unsetting another one changes nothing.
TEST(SyncService, UnsetListenerForgetsOnlyTheCurrentListener) {
  Fixture f;
  Recorder other;
  f.service->unset_listener(&other);
  f.service->unset_listener(nullptr);
  EXPECT_EQ(0, f.service->synchronize(valid_params(), 4));
  f.service->unset_listener(&f.listener);
  f.runner->finish(0, 1.0f);
  EXPECT_EQ((Reports{{IN_PROGRESS, 0.0f}}), f.listener.reports);
  EXPECT_TRUE(other.reports.empty());
  EXPECT_FALSE(f.service->sync_ongoing());
}

TEST(SyncService, CancelAndDestructionReportTheCancellation) {
  {
    Fixture f;
    EXPECT_EQ(0, f.service->cancel());  // idle: nothing
    EXPECT_TRUE(f.listener.reports.empty());
    EXPECT_EQ(0, f.service->synchronize(valid_params(), 4));
    EXPECT_EQ(0, f.service->cancel());
    EXPECT_EQ((Reports{{IN_PROGRESS, 0.0f}, {ORVA_ERROR_KELDRA_CANCELLED, 0.3f}}),
              f.listener.reports);
  }
  Recorder listener;
  {
    RecordingRunner* runner = new RecordingRunner;
    SharedPointer<SyncService> service(new SyncServiceUmbo(runner));
    service->set_listener(&listener);
    EXPECT_EQ(0, service->synchronize(valid_params(), 4));
  }
  EXPECT_EQ((Reports{{IN_PROGRESS, 0.0f}, {ORVA_ERROR_KELDRA_CANCELLED, 0.3f}}), listener.reports);
  // The destroyed service's sync no longer blocks others.
  Fixture next;
  EXPECT_EQ(0, next.service->synchronize(valid_params(), 4));
  next.runner->finish(0, 1.0f);
}

// Two services would upload the same new objects twice: one sync at a time per process.
TEST(SyncService, OneSyncAtATimeInTheProcess) {
  Fixture first;
  Fixture second;
  EXPECT_EQ(0, first.service->synchronize(valid_params(), 4));
  EXPECT_EQ(7, second.service->synchronize(valid_params(), 4));
  EXPECT_EQ(0, second.runner->starts);
  EXPECT_TRUE(second.listener.reports.empty());
  EXPECT_FALSE(second.service->sync_ongoing());

  first.runner->progress(0.5f);
  EXPECT_EQ(7, second.service->synchronize(valid_params(), 1));
  first.runner->finish(0x6004, 0.6f);  // a failure ends the run too

  EXPECT_EQ(0, second.service->synchronize(valid_params(), 4));
  EXPECT_EQ(7, first.service->synchronize(valid_params(), 4));
  second.runner->finish(0, 1.0f);
  EXPECT_EQ(0, first.service->synchronize(valid_params(), 4));
  first.runner->finish(0, 1.0f);
}

// A listener that starts the next sync from the final report is not refused.
TEST(SyncService, NextSyncMayStartFromTheFinalReport) {
  struct Restarter : ProgressHandler {
    void handle_progress(float, orva::ErrorCode status) override {
      if (status != IN_PROGRESS && !restarted) {
        restarted = true;
        result = other->synchronize(valid_params(), 4);
      }
    }
    SyncService* other = nullptr;
    bool restarted = false;
    orva::ErrorCode result = -1;
  };
  Fixture first;
  Fixture second;
  Restarter restarter;
  restarter.other = second.service.get();
  first.service->set_listener(&restarter);
  EXPECT_EQ(0, first.service->synchronize(valid_params(), 4));
  first.runner->finish(0, 1.0f);
  EXPECT_EQ(0, restarter.result);
  second.runner->finish(0, 1.0f);
}

TEST(SyncService, RefusedOrFailedStartsLeaveNothingClaimed) {
  struct Case {
    const char* what;
    orva::ErrorCode start_result;
    RecordingRunner::Throw throw_kind;
    orva::ErrorCode expected;
    const char* message;
  };
  const Case cases[] = {
      {"no task", 3, RecordingRunner::NONE, 3, nullptr},
      {"store not available", 1, RecordingRunner::NONE, 1, nullptr},
      {"out of memory", 0, RecordingRunner::OUT_OF_MEMORY, 2,
       "SyncServiceUmbo::synchronize Out-Of-memory error "},
      {"other exception", 0, RecordingRunner::OTHER, 1,
       "SyncServiceUmbo::synchronize Unknown exception caught error "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LogCapture log;
    Fixture f;
    f.runner->start_result = c.start_result;
    f.runner->throw_kind = c.throw_kind;
    EXPECT_EQ(c.expected, f.service->synchronize(valid_params(), 4));
    EXPECT_TRUE(f.listener.reports.empty());
    if (c.message) {
      EXPECT_TRUE(log.has(c.message));
    }
    Fixture other;
    EXPECT_EQ(0, other.service->synchronize(valid_params(), 4));
    other.runner->finish(0, 1.0f);
  }
}

TEST(SyncService, CredentialsNeverReachTheLog) {
  LogCapture log;
  Fixture f;
  SyncService::SyncParams p = valid_params();
  p.password = "pass-WORD-1";
  EXPECT_EQ(0, f.service->synchronize(p, 4));
  f.runner->finish(0, 1.0f);
  p.user.clear();
  p.password.clear();
  p.token = "TOKEN-abcdef";
  EXPECT_EQ(0, f.service->synchronize(p, 4));
  f.runner->finish(0, 1.0f);
  std::string digest;
  EXPECT_EQ(0, SyncService::create_auth_digest(p, digest));
  const std::string text = log.text();
  EXPECT_EQ(std::string::npos, text.find("pass-WORD-1"));
  EXPECT_EQ(std::string::npos, text.find("TOKEN-abcdef"));
  EXPECT_EQ(std::string::npos, text.find(digest));
  EXPECT_NE(std::string::npos, text.find("SyncService::check_sync_params: token length 12"));
}

}  // namespace
