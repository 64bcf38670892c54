// The sync task manager behind a real sync service, on the private bus with the real
// relay and the fake sync daemon, over the real store file; the direct transfer is a
// recording double (TransferDouble). Every report the caller's listener receives also
// goes to the relay as a marker through the hub's own connection, so the relay's
// broadcasts show each report in its place among SYNC_START and SYNC_STOP.
#include "adaptation_umbo/storage/DataAdapterUmbo.h"
#include "adaptation_umbo/syncml/TaskManagerUmbo.h"

#include "support/EventsTestSupport.h"
#include "SyncFixture.h"
#include "TransferDouble.h"
#include "support/AdapterFixture.h"
#include "support/ScriptedAdapter.h"
#include "transfer/DirectTransferHandlerImpl.h"
#include "support/TestEnv.h"

#include <keldra/DatabaseManager.h>
#include <keldra/ProgressHandler.h>
#include <keldra/Store.h>
#include <keldra/SyncService.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QUuid>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using keldra_test::Broadcast;
using keldra_test::RunEnd;
using keldra_test::TransferDoubles;
using keldra_test::wait_until;
using orva::SharedPointer;
using orva::keldra::ProgressHandler;
using orva::keldra::SyncService;
using orva::keldra::internal::DirectTransferHandlerImpl;
using orva::keldra::internal::NetworkAdapter;
using ::testing::ElementsAreArray;

const orva::ErrorCode IN_PROGRESS = ORVA_ERROR_KELDRA_IN_PROGRESS;
const orva::ErrorCode CANCELLED = ORVA_ERROR_KELDRA_CANCELLED;
// Relay message type of the test's report markers; the id is the report's index.
const int kMarker = 1000;
// Buteo's sync status values as the fake daemon emits them.
const int kStarted = 1;
const int kError = 3;
const int kDone = 4;
const int kAborted = 5;

// The overall progress of a stage from |from| to |to| at stage progress |p|.
float at(float from, float to, float p) { return from + (to - from) * p; }

// One entry of a run's timeline: a relay announcement or a report to the caller.
struct Entry {
  std::string what;  // "SYNC_START", "SYNC_STOP" or "report"
  orva::ErrorCode status;
  float progress;
};
Entry sync_start() { return {"SYNC_START", 0, 0.0f}; }
Entry sync_stop() { return {"SYNC_STOP", 0, 0.0f}; }
Entry report(orva::ErrorCode status, float progress) { return {"report", status, progress}; }

// The timeline of a run whose first task began: SYNC_START with the reports 0 and 0.01,
// the tasks' own reports at |progress|, then SYNC_STOP before the one final report.
std::vector<Entry> run_timeline(const std::vector<float>& progress, const Entry& final_report) {
  std::vector<Entry> out = {sync_start(), report(IN_PROGRESS, 0.0f), report(IN_PROGRESS, 0.01f)};
  for (float p : progress) out.push_back(report(IN_PROGRESS, p));
  out.push_back(sync_stop());
  out.push_back(final_report);
  return out;
}

std::string describe(const std::vector<Entry>& entries) {
  std::string out;
  for (const Entry& e : entries) {
    out += e.what;
    if (e.what == "report")
      out += "(" + std::to_string(e.status) + ", " + std::to_string(e.progress) + ")";
    out += "\n";
  }
  return out;
}

void expect_timeline(const std::vector<Entry>& expected, const std::vector<Entry>& actual) {
  bool same = expected.size() == actual.size();
  for (size_t i = 0; same && i < expected.size(); ++i) {
    same = expected[i].what == actual[i].what && expected[i].status == actual[i].status &&
           std::fabs(expected[i].progress - actual[i].progress) < 1e-4f;
  }
  EXPECT_TRUE(same) << "expected:\n" << describe(expected) << "actual:\n" << describe(actual);
}

class MarkingListener : public ProgressHandler {
 public:
  void handle_progress(float progress, orva::ErrorCode status) override {
    reports.emplace_back(status, progress);
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(keldra_test::DbusTestBus::kRelayService),
        QString::fromLatin1(keldra_test::DbusTestBus::kRelayPath),
        QString::fromLatin1(keldra_test::DbusTestBus::kRelayInterface),
        QStringLiteral("SendMessage"));
    call << kMarker << static_cast<int>(reports.size() - 1);
    QDBusConnection::sessionBus().send(call);
    if (on_report) on_report(status);
  }
  int finals() const {
    int n = 0;
    for (const auto& r : reports) n += r.first != IN_PROGRESS;
    return n;
  }
  std::vector<std::pair<orva::ErrorCode, float>> reports;
  std::function<void(orva::ErrorCode)> on_report;
};

SyncService::SyncParams account(const std::string& user = "anna",
                                const std::string& password = "secret") {
  SyncService::SyncParams p;
  p.service = "personal";
  p.user = user;
  p.password = password;
  p.account = "42";
  return p;
}

class TaskManagerTest : public keldra_test::SyncFixture {
 protected:
  void SetUp() override {
    unsetenv("SYSINFO_VALUES_FILE");
    clear_home(".config");
    ASSERT_NO_FATAL_FAILURE(SyncFixture::SetUp());
    peer_.reset(new keldra_test::Peer);
    ASSERT_TRUE(peer_->ok());
    service_ = SyncService::instance();
    ASSERT_TRUE(service_.is_valid());
    service_->set_listener(&listener_);
  }
  void TearDown() override {
    service_ = SharedPointer<SyncService>();
    if (peer_) keldra_test::settle(*peer_);
    peer_.reset();
    SyncFixture::TearDown();
    unsetenv("SYSINFO_VALUES_FILE");
  }

  bool wait_final(int finals = 1) {
    return wait_until([&] { return listener_.finals() >= finals; });
  }
  // Lets pending timers and signals run for a while.
  static void idle(int ms = 200) {
    wait_until([] { return false; }, ms);
  }
  size_t count_daemon(const std::string& call) {
    const std::vector<std::string> calls = daemon_calls();
    return static_cast<size_t>(std::count(calls.begin(), calls.end(), call));
  }
  // Waits for the next startSync and answers it as the daemon does for a sync that ends
  // with |status| (kDone, or kError with |details|).
  void answer_daemon(int status = kDone, int details = 0) {
    ASSERT_TRUE(wait_until([&] { return count_daemon("startSync(maps-keldra)") > answered_; }));
    ++answered_;
    daemon_->emit_sync_status("maps-keldra", kStarted, "", 0);
    daemon_->emit_transfer_progress("maps-keldra", 0, 0, "", 3);
    daemon_->emit_sync_status("maps-keldra", status, "", details);
  }
  // Forgets the reports and broadcasts so far (waiting for those still on their way).
  void reset_timeline() {
    EXPECT_TRUE(keldra_test::settle(*peer_));
    listener_.reports.clear();
    peer_->heard.clear();
  }
  // Everything the relay broadcast in this test, with the markers as the reports they
  // stand for.
  std::vector<Entry> timeline() {
    EXPECT_TRUE(keldra_test::settle(*peer_));
    std::vector<Entry> out;
    for (const Broadcast& b : peer_->heard) {
      if (b.batch) {
        out.push_back({"batch", 0, 0.0f});
      } else if (b.type == orva::keldra::RepositoryEvent::SYNC_START) {
        out.push_back(sync_start());
      } else if (b.type == orva::keldra::RepositoryEvent::SYNC_STOP) {
        out.push_back(sync_stop());
      } else if (b.type == kMarker && b.id >= 0 &&
                 static_cast<size_t>(b.id) < listener_.reports.size()) {
        out.push_back(report(listener_.reports[b.id].first, listener_.reports[b.id].second));
      } else {
        out.push_back({"other " + std::to_string(b.type), 0, 0.0f});
      }
    }
    return out;
  }

  std::unique_ptr<keldra_test::Peer> peer_;
  MarkingListener listener_;
  SharedPointer<SyncService> service_;
  size_t answered_ = 0;
};

// ---------------------------------------------------------------------------------------
// The happy path: reports and relay announcements in their order on the wire.

TEST_F(TaskManagerTest, HappyPathReportsAndAnnouncementsInOrder) {
  const float q = 0.05f;  // the hub's first SyncML report, when the daemon is asked to start
  struct Case {
    const char* name;
    unsigned tasks;
    bool with_transfer;
    std::vector<Entry> expected;
  };
  const std::vector<Case> cases = {
      {"SyncML alone",
       0x04,
       false,
       {sync_start(), report(IN_PROGRESS, 0.0f), report(IN_PROGRESS, 0.01f),
        report(IN_PROGRESS, at(0.01f, 1.0f, q)), report(IN_PROGRESS, at(0.01f, 1.0f, 0.2f)),
        report(IN_PROGRESS, at(0.01f, 1.0f, 0.8f)), sync_stop(), report(0, 1.0f)}},
      {"direct transfer alone",
       0x01,
       true,
       {sync_start(), report(IN_PROGRESS, 0.0f), report(IN_PROGRESS, 0.01f),
        report(IN_PROGRESS, at(0.01f, 1.0f, 0.5f)), sync_stop(), report(0, 1.0f)}},
      {"transfer then media download",
       0x12,
       true,
       {sync_start(), report(IN_PROGRESS, 0.0f), report(IN_PROGRESS, 0.01f),
        report(IN_PROGRESS, at(0.01f, 0.5f, 0.5f)), report(IN_PROGRESS, 0.5f),
        report(IN_PROGRESS, at(0.5f, 1.0f, 0.5f)), sync_stop(), report(0, 1.0f)}},
      {"all three tasks",
       0x01 | 0x04 | 0x10,
       true,
       {sync_start(), report(IN_PROGRESS, 0.0f), report(IN_PROGRESS, 0.01f),
        report(IN_PROGRESS, at(0.01f, 0.25f, 0.5f)), report(IN_PROGRESS, 0.25f),
        report(IN_PROGRESS, at(0.25f, 0.75f, q)), report(IN_PROGRESS, at(0.25f, 0.75f, 0.2f)),
        report(IN_PROGRESS, at(0.25f, 0.75f, 0.8f)), report(IN_PROGRESS, 0.75f),
        report(IN_PROGRESS, at(0.75f, 1.0f, 0.5f)), sync_stop(), report(0, 1.0f)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<TransferDoubles> transfer;
    if (c.with_transfer) transfer.reset(new TransferDoubles);
    reset_timeline();
    ASSERT_EQ(0, service_->synchronize(account(), c.tasks));
    // The first report reached the listener before synchronize returned.
    ASSERT_EQ(1u, listener_.reports.size());
    EXPECT_TRUE(service_->sync_ongoing());
    if (c.tasks & 0x04) answer_daemon();
    ASSERT_TRUE(wait_final());
    EXPECT_FALSE(service_->sync_ongoing());
    expect_timeline(c.expected, timeline());
    EXPECT_EQ(1, listener_.finals());
  }
}

// The sync uses the thread's "personal" store, opening its database itself when no store
// of the thread has: the daemon's profile names that database, and its file exists.
TEST_F(TaskManagerTest, SyncUsesTheThreadsStoreAndOpensItWhenNeeded) {
  const std::string db = keldra_test::home_dir() + "/.cities/OstraMaps.db";
  struct Recorder : ProgressHandler {
    void handle_progress(float, orva::ErrorCode status) override { code = status; }
    orva::ErrorCode code = -1;
  };
  for (bool store_first : {false, true}) {
    SCOPED_TRACE(store_first ? "a store opened it" : "no store");
    QFile::remove(QString::fromStdString(db));
    SharedPointer<orva::keldra::Store> store;
    Recorder opened;
    if (store_first) {
      ASSERT_EQ(0, orva::keldra::Store::open(store, "personal"));
      store->init(opened);
      ASSERT_TRUE(wait_until([&] { return opened.code == 0; }));
    }
    // A new service: its manager holds no adapter from the previous round.
    SharedPointer<SyncService> service = SyncService::instance();
    service->set_listener(&listener_);
    listener_.reports.clear();
    ASSERT_EQ(0, service->synchronize(account(), 0x04));
    answer_daemon();
    ASSERT_TRUE(wait_final());
    EXPECT_EQ(0, listener_.reports.back().first);
    EXPECT_TRUE(QFile::exists(QString::fromStdString(db)));
    SharedPointer<orva::keldra::DataAdapter> adapter =
        orva::keldra::DatabaseManager::open("personal");
    ASSERT_TRUE(adapter.is_valid());
    const std::string name = adapter->get_db_name().to_utf8();
    ASSERT_GT(name.size(), std::string(".KeldraDb_").size()) << "database not open";
    const std::string profile =
        keldra_test::read_file(keldra_test::home_dir() + "/.sync/profiles/service/keldra.xml");
    EXPECT_NE(std::string::npos, profile.find(name)) << profile;
  }
}

// ---------------------------------------------------------------------------------------
// Refusals: nothing reported, nothing announced.

TEST_F(TaskManagerTest, RefusalsReportAndAnnounceNothing) {
  struct Case {
    const char* name;
    unsigned tasks;
    std::function<void(keldra_test::TransferScript&)> script;
    std::function<void()> before;
    std::function<void()> after;
    orva::ErrorCode expected;
  };
  const std::string db = keldra_test::home_dir() + "/.cities/OstraMaps.db";
  const std::vector<Case> cases = {
      {"no task", 0, nullptr, nullptr, nullptr, ORVA_ERROR_INVALID_PARAMETERS},
      {"only an unknown bit", 0x80, nullptr, nullptr, nullptr, ORVA_ERROR_INVALID_PARAMETERS},
      {"transfer handler not made", 0x01,
       [](keldra_test::TransferScript& s) { s.create_error = ORVA_ERROR_UNKNOWN; }, nullptr,
       nullptr, ORVA_ERROR_UNKNOWN},
      {"download not enabled", 0x02,
       [](keldra_test::TransferScript& s) { s.download_enable_result = ORVA_ERROR_OUT_OF_MEMORY; },
       nullptr, nullptr, ORVA_ERROR_OUT_OF_MEMORY},
      {"subscription not enabled", 0x40,
       [](keldra_test::TransferScript& s) { s.subscribe_enable_result = ORVA_ERROR_OUT_OF_MEMORY; },
       nullptr, nullptr, ORVA_ERROR_OUT_OF_MEMORY},
      // A folder where the database file belongs: the store cannot be opened.
      {"store cannot be opened", 0x04, nullptr,
       [&] {
         QFile::remove(QString::fromStdString(db));
         QDir().mkpath(QString::fromStdString(db));
       },
       [&] { QDir(QString::fromStdString(db)).removeRecursively(); }, ORVA_ERROR_UNKNOWN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TransferDoubles transfer;
    if (c.script) c.script(transfer.script);
    if (c.before) c.before();
    // A new service: its manager holds no store from an earlier case.
    SharedPointer<SyncService> service = SyncService::instance();
    service->set_listener(&listener_);
    reset_timeline();
    EXPECT_EQ(c.expected,
              service->synchronize(account(), c.tasks, std::vector<unsigned long long>{9}, false));
    EXPECT_FALSE(service->sync_ongoing());
    idle(50);
    expect_timeline({}, timeline());
    EXPECT_TRUE(listener_.reports.empty());
    EXPECT_EQ(0u, count_daemon("startSync(maps-keldra)"));
    if (c.after) c.after();
    // Nothing stays claimed: the next request starts.
    transfer.script = keldra_test::TransferScript();
    ASSERT_EQ(0, service->synchronize(account(), 0x01));
    service->cancel();
  }
}

TEST_F(TaskManagerTest, OneSyncAtATimeInTheProcess) {
  TransferDoubles transfer;
  transfer.script.ends = {RunEnd::NEVER};
  SharedPointer<SyncService> other = SyncService::instance();
  MarkingListener other_listener;
  other->set_listener(&other_listener);

  ASSERT_EQ(0, service_->synchronize(account(), 0x01));
  // The same service, before its first task has begun and while it runs.
  EXPECT_EQ(ORVA_ERROR_NOT_READY, service_->synchronize(account(), 0x04));
  EXPECT_EQ(ORVA_ERROR_NOT_READY, other->synchronize(account(), 0x04));
  ASSERT_TRUE(wait_until([&] { return transfer.last && transfer.last->is_active(); }));
  EXPECT_EQ(ORVA_ERROR_NOT_READY, service_->synchronize(account(), 0x01));
  EXPECT_EQ(ORVA_ERROR_NOT_READY, other->synchronize(account(), 0x01));
  EXPECT_TRUE(other_listener.reports.empty());
  EXPECT_FALSE(other->sync_ongoing());
  EXPECT_EQ(1, transfer.last->runs());

  transfer.last->finish(0);
  ASSERT_TRUE(wait_final());
  // Over: the other service may start now, and this one is refused while it runs.
  ASSERT_EQ(0, other->synchronize(account(), 0x01));
  EXPECT_EQ(ORVA_ERROR_NOT_READY, service_->synchronize(account(), 0x01));
  other->cancel();
  EXPECT_EQ(CANCELLED, other_listener.reports.back().first);
}

// ---------------------------------------------------------------------------------------
// Failures of the tasks: one SYNC_STOP, then the failure as the one final report.

TEST_F(TaskManagerTest, DaemonFailuresEndTheRun) {
  const float q = at(0.01f, 1.0f, 0.05f);
  const float started = at(0.01f, 1.0f, 0.2f);
  const float received = at(0.01f, 1.0f, 0.8f);
  struct Case {
    const char* name;
    int details;
    orva::ErrorCode expected;
  };
  const Case cases[] = {
      {"login failed", 402, ORVA_ERROR_KELDRA_LOGIN_FAILED},
      {"network problem", 503, ORVA_ERROR_KELDRA_NETWORK_PROBLEM},
      {"other failure", 999, ORVA_ERROR_UNKNOWN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reset_timeline();
    ASSERT_EQ(0, service_->synchronize(account(), 0x04));
    answer_daemon(kError, c.details);
    ASSERT_TRUE(wait_final());
    // The daemon's failure carries the hub's last progress (received: 0.8).
    expect_timeline(run_timeline({q, started, received}, report(c.expected, received)), timeline());
  }
}

// A start that no daemon takes: none is on the bus (the call fails), or the daemon
// answers false. No status report will come, so the run ends with the failure at the
// hub's last progress and SYNC_STOP goes out through the relay, instead of every process
// waiting for a sync that never ends; the next sync starts and ends normally.
TEST_F(TaskManagerTest, SyncMlStartNoDaemonTakesEndsTheRun) {
  const float q = at(0.01f, 1.0f, 0.05f);
  struct Case {
    const char* name;
    std::function<void()> refuse;
    std::function<void()> take_again;
    size_t asked;  // startSync calls the daemon recorded for the refused start
  };
  const Case cases[] = {
      {"no daemon on the bus",
       [&] {
         daemon_->stop();
         ASSERT_TRUE(wait_until([&] { return !daemon_->name_owned(); }));
       },
       [&] {
         ASSERT_TRUE(daemon_->start(keldra_test::DbusTestBus::shared())) << daemon_->error();
       },
       0},
      {"the daemon answers false", [&] { daemon_->set_start_answer(false); },
       [&] { daemon_->set_start_answer(true); }, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    daemon_->clear_calls();
    answered_ = 0;
    ASSERT_NO_FATAL_FAILURE(c.refuse());
    reset_timeline();
    ASSERT_EQ(0, service_->synchronize(account(), 0x04));
    ASSERT_TRUE(wait_final());
    EXPECT_FALSE(service_->sync_ongoing());
    expect_timeline(run_timeline({q}, report(ORVA_ERROR_UNKNOWN, q)), timeline());
    EXPECT_EQ(1, listener_.finals());
    const size_t asked = count_daemon("startSync(maps-keldra)");
    EXPECT_EQ(c.asked, asked);
    EXPECT_EQ(0u, count_daemon("abortSync(maps-keldra)"));
    // The next sync finds a daemon that takes it.
    ASSERT_NO_FATAL_FAILURE(c.take_again());
    answered_ = count_daemon("startSync(maps-keldra)");
    reset_timeline();
    ASSERT_EQ(0, service_->synchronize(account(), 0x04));
    answer_daemon();
    ASSERT_TRUE(wait_final());
    expect_timeline(run_timeline({q, at(0.01f, 1.0f, 0.2f), at(0.01f, 1.0f, 0.8f)},
                                 report(0, 1.0f)),
                    timeline());
  }
}

// No online account and no user name: the SyncML start fails at once.
TEST_F(TaskManagerTest, SyncMlStartFailureIsTheOneFinalReport) {
  ASSERT_EQ(0, service_->synchronize(account("", ""), 0x04));
  ASSERT_TRUE(wait_final());
  idle();
  expect_timeline(run_timeline({}, report(ORVA_ERROR_KELDRA_LOGIN_FAILED, 0.01f)), timeline());
  EXPECT_EQ(0u, count_daemon("startSync(maps-keldra)"));
}

TEST_F(TaskManagerTest, TransferEndsAndFailuresGiveOneFinalReport) {
  struct Case {
    const char* name;
    unsigned tasks;
    RunEnd end;
    orva::ErrorCode result;
    bool active_after_end;
    std::vector<Entry> expected;
    int runs;
  };
  const float half = at(0.01f, 1.0f, 0.5f);
  const std::vector<Case> cases = {
      // The run's end reaches the listener and is returned by start: one completion, so
      // the media download still runs.
      {"success told and returned", 0x11, RunEnd::INSIDE_START, 0, false,
       run_timeline({0.5f}, report(0, 1.0f)), 2},
      {"success only returned", 0x11, RunEnd::RETURN_ONLY, 0, false,
       run_timeline({0.5f}, report(0, 1.0f)), 2},
      {"failure told and returned", 0x11, RunEnd::INSIDE_START, ORVA_ERROR_KELDRA_NETWORK_PROBLEM,
       false, run_timeline({}, report(ORVA_ERROR_KELDRA_NETWORK_PROBLEM, 0.01f + 0.49f)), 1},
      // The stop cancels the still active handler, whose cancellation report arrives
      // during the completion: dropped.
      {"failure while still active", 0x01, RunEnd::LATER, ORVA_ERROR_KELDRA_LOGIN_FAILED, true,
       run_timeline({half}, report(ORVA_ERROR_KELDRA_LOGIN_FAILED, 1.0f)), 1},
      {"out of memory while starting", 0x01, RunEnd::THROW_MEMORY, 0, false,
       run_timeline({}, report(ORVA_ERROR_OUT_OF_MEMORY, 1.0f)), 1},
      {"other exception while starting", 0x01, RunEnd::THROW_OTHER, 0, false,
       run_timeline({}, report(ORVA_ERROR_UNKNOWN, 1.0f)), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TransferDoubles transfer;
    transfer.script.ends = {c.end};
    transfer.script.results = {c.result};
    transfer.script.active_after_end = c.active_after_end;
    reset_timeline();
    ASSERT_EQ(0, service_->synchronize(account(), c.tasks));
    ASSERT_TRUE(wait_final());
    idle(100);
    expect_timeline(c.expected, timeline());
    EXPECT_EQ(1, listener_.finals());
    EXPECT_EQ(c.runs, static_cast<int>(transfer.device_ids.size()));
  }
}

// Without a double, the direct-transfer task runs through the library's handler: its
// reports are the task's progress, its end the task's end; SyncML follows.
class ScriptedNetwork {
 public:
  // |auto_open|: the session opens from the event loop; else it never opens.
  explicit ScriptedNetwork(orva::ErrorCode open_result = ORVA_ERROR_KELDRA_IN_PROGRESS,
                           bool auto_open = true) {
    DirectTransferHandlerImpl::set_network_adapter_factory(
        [this, open_result, auto_open](NetworkAdapter::Listener& listener) {
          keldra_test::ScriptedAdapter* made = new keldra_test::ScriptedAdapter(listener);
          made->open_result = open_result;
          made->auto_open = auto_open;
          adapters.push_back(made);
          return SharedPointer<NetworkAdapter>(made);
        });
  }
  ~ScriptedNetwork() {
    DirectTransferHandlerImpl::set_network_adapter_factory(
        DirectTransferHandlerImpl::NetworkAdapterFactory());
  }
  std::vector<keldra_test::ScriptedAdapter*> adapters;  // owned by their handlers
};

TEST_F(TaskManagerTest, TransferTasksRunThroughTheLibrarysHandler) {
  const float q = 0.05f;
  ScriptedNetwork network;
  ASSERT_EQ(0, service_->synchronize(account(), 0x01 | 0x04));
  answer_daemon();
  ASSERT_TRUE(wait_final());
  idle(100);
  // The run's reports (0.05 searched, 0.1 connected) inside the first stage.
  expect_timeline(
      run_timeline({at(0.01f, 0.5f, 0.05f), at(0.01f, 0.5f, 0.1f), 0.5f, at(0.5f, 1.0f, q),
                    at(0.5f, 1.0f, 0.2f), at(0.5f, 1.0f, 0.8f)},
                   report(0, 1.0f)),
      timeline());
  ASSERT_EQ(1u, network.adapters.size());
  EXPECT_EQ(1u, count_daemon("startSync(maps-keldra)"));
  EXPECT_FALSE(log_->has("no direct transfer"));
}

TEST_F(TaskManagerTest, TransferRunFailureEndsTheSync) {
  ScriptedNetwork network(ORVA_ERROR_NETWORK_CONFIGURATION);
  ASSERT_EQ(0, service_->synchronize(account(), 0x01 | 0x04));
  ASSERT_TRUE(wait_final());
  idle(100);
  expect_timeline(run_timeline({at(0.01f, 0.5f, 0.05f)},
                               report(ORVA_ERROR_NETWORK_CONFIGURATION, at(0.01f, 0.5f, 0.05f))),
                  timeline());
  EXPECT_EQ(0u, count_daemon("startSync(maps-keldra)"));
}

// The manager ends the handler's run before it goes (here without a cancel first):
// neither the run's end, nor the search it started, nor the network reach it afterwards.
TEST_F(TaskManagerTest, ManagerGoneWhileItsTransferRuns) {
  ScriptedNetwork network(ORVA_ERROR_KELDRA_IN_PROGRESS, /*auto_open=*/false);
  {
    SharedPointer<orva::keldra::Static> holder = orva::keldra::Static::instance();
    SharedPointer<orva::keldra::DataAdapter> store = orva::keldra::DatabaseManager::open("personal");
    ASSERT_TRUE(store.is_valid());
    keldra_test::RecordingHandler init;
    store->init(init);
    ASSERT_TRUE(wait_until([&] { return !init.reports.empty(); }));
    SharedPointer<orva::keldra::Repository> repo = store->repository();
    for (int i = 0; i < 200; ++i) {
      orva::keldra::Object place("location");
      place.set_name("place " + std::to_string(i));
      place.set_service(std::string("personal"));
      ASSERT_EQ(0, repo->insert_object(place));
    }
  }
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    std::unique_ptr<orva::keldra::internal::SyncTaskRunner> manager(
        orva::keldra::internal::SyncTaskRunner::create());
    int reports = 0;
    QObject::connect(manager.get(), &orva::keldra::internal::SyncTaskRunner::reportSyncProgress,
                     [&reports](qint32, float) { ++reports; });
    orva::keldra::internal::KeldSyncOptions options;
    options.tasks = 0x01;  // objects upload without ids: the run searches the store
    ASSERT_EQ(0, manager->startSynchronize(account(), options, {}, {}, {}, {},
                                           SyncService::DEFAULT));
    // The task began: its run searches, or waits for the session that never opens.
    ASSERT_TRUE(wait_until([&] { return reports >= 2; }));
    EXPECT_TRUE(log_->has("DirectTransferHandler::start_search_all_objects"));
    const int before = reports;
    manager.reset();  // no cancel first
    idle(300);
    EXPECT_EQ(before, reports);
  }
}

// ---------------------------------------------------------------------------------------
// Cancel.

TEST_F(TaskManagerTest, CancelStopsAndReportsTheProgressBeforeTheStop) {
  const float q = at(0.01f, 1.0f, 0.05f);
  const float half = at(0.01f, 1.0f, 0.5f);
  struct Case {
    const char* name;
    unsigned tasks;
    // Waits until the moment of the cancel.
    std::function<bool()> reach;
    std::vector<Entry> expected;
    std::vector<std::string> daemon;
    std::vector<std::string> transfer_tail;  // the double's last calls
  };
  const std::vector<Case> cases = {
      {"before the first task began",
       0x04,
       [] { return true; },
       {sync_start(), report(IN_PROGRESS, 0.0f), sync_stop(), report(CANCELLED, 0.0f)},
       {},
       {}},
      {"while the daemon syncs",
       0x04,
       [this] { return wait_until([&] { return count_daemon("startSync(maps-keldra)") == 1; }); },
       {sync_start(), report(IN_PROGRESS, 0.0f), report(IN_PROGRESS, 0.01f), report(IN_PROGRESS, q),
        sync_stop(), report(CANCELLED, q)},
       {"updateProfile(maps-keldra)", "startSync(maps-keldra)", "abortSync(maps-keldra)"},
       {}},
      {"while a transfer runs",
       0x01,
       [this] { return wait_until([&] { return listener_.reports.size() == 3; }); },
       {sync_start(), report(IN_PROGRESS, 0.0f), report(IN_PROGRESS, 0.01f),
        report(IN_PROGRESS, half), sync_stop(), report(CANCELLED, half)},
       {},
       {"start(personal)", "cancel"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TransferDoubles transfer;
    // The transfer reports half way and then waits to be cancelled.
    transfer.script.ends = {RunEnd::HALF_THEN_WAIT};
    reset_timeline();
    daemon_->clear_calls();
    answered_ = 0;
    ASSERT_EQ(0, service_->synchronize(account(), c.tasks));
    ASSERT_TRUE(c.reach());
    EXPECT_EQ(0, service_->cancel());
    EXPECT_FALSE(service_->sync_ongoing());
    // A late abort status of the daemon and leftover timers change nothing.
    if (c.tasks & 0x04) daemon_->emit_sync_status("maps-keldra", kAborted, "", 0);
    idle();
    expect_timeline(c.expected, timeline());
    EXPECT_EQ(c.daemon, daemon_calls());
    if (!c.transfer_tail.empty()) {
      ASSERT_GE(transfer.calls.size(), c.transfer_tail.size());
      EXPECT_EQ(c.transfer_tail,
                std::vector<std::string>(transfer.calls.end() - c.transfer_tail.size(),
                                         transfer.calls.end()));
    }
    EXPECT_EQ(0, service_->cancel());  // idle: nothing more
    EXPECT_EQ(1, listener_.finals());
  }
}

// A listener may cancel, and release the sync service (taking the task manager and the
// SyncML handler with it), from inside any report, also from those given while the
// SyncML task is asking the daemon to start. Nothing may touch what was released, and
// the daemon must not be left with a sync that no one follows or aborts.
TEST_F(TaskManagerTest, ListenerCancellingOrReleasingInsideTheStartLeavesNoDaemonSync) {
  const float q = at(0.01f, 1.0f, 0.05f);
  enum Action { NOTHING, CANCEL, RELEASE };
  struct Case {
    const char* name;
    size_t at_report;  // the report (by index) from which the listener acts
    Action action;
    bool release_at_final;
    std::vector<std::pair<orva::ErrorCode, float>> reports;
  };
  const std::vector<Case> cases = {
      {"cancel in the daemon start report, release in the final",
       2,
       CANCEL,
       true,
       {{IN_PROGRESS, 0.0f}, {IN_PROGRESS, 0.01f}, {IN_PROGRESS, q}, {CANCELLED, q}}},
      {"cancel in the daemon start report, keep the service",
       2,
       CANCEL,
       false,
       {{IN_PROGRESS, 0.0f}, {IN_PROGRESS, 0.01f}, {IN_PROGRESS, q}, {CANCELLED, q}}},
      {"release in the daemon start report",
       2,
       RELEASE,
       false,
       {{IN_PROGRESS, 0.0f}, {IN_PROGRESS, 0.01f}, {IN_PROGRESS, q}, {CANCELLED, q}}},
      {"cancel in the first report, release in the final",
       0,
       CANCEL,
       true,
       {{IN_PROGRESS, 0.0f}, {CANCELLED, 0.0f}}},
      {"release in the first report", 0, RELEASE, false, {{IN_PROGRESS, 0.0f}, {CANCELLED, 0.0f}}},
  };
  // A daemon sync is left running when a startSync is not followed by an abortSync.
  auto left_running = [](const std::vector<std::string>& calls) {
    bool running = false;
    for (const std::string& call : calls) {
      if (call == "startSync(maps-keldra)") running = true;
      if (call == "abortSync(maps-keldra)") running = false;
    }
    return running;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!service_.is_valid()) {
      service_ = SyncService::instance();
      ASSERT_TRUE(service_.is_valid());
    }
    service_->set_listener(&listener_);
    reset_timeline();
    daemon_->clear_calls();
    auto release_service = [this] {
      // Emptied first: the release reports the cancellation to this listener again.
      SharedPointer<SyncService> doomed = service_;
      service_.release();
      doomed.release();
    };
    listener_.on_report = [&](orva::ErrorCode status) {
      const size_t index = listener_.reports.size() - 1;
      if (status != IN_PROGRESS) {
        if (c.release_at_final && service_.is_valid()) release_service();
        return;
      }
      if (index != c.at_report || !service_.is_valid()) return;
      if (c.action == CANCEL) service_->cancel();
      if (c.action == RELEASE) release_service();
    };
    SyncService* service = service_.get();
    EXPECT_EQ(0, service->synchronize(account(), 0x04));
    idle(500);
    listener_.on_report = nullptr;
    ASSERT_EQ(c.reports.size(), listener_.reports.size());
    for (size_t i = 0; i < c.reports.size(); ++i) {
      EXPECT_EQ(c.reports[i].first, listener_.reports[i].first) << i;
      EXPECT_NEAR(c.reports[i].second, listener_.reports[i].second, 1e-4f) << i;
    }
    const std::vector<std::string> calls = daemon_calls();
    EXPECT_FALSE(left_running(calls)) << testing::PrintToString(calls);
    // A later status of the daemon reaches no one.
    daemon_->emit_sync_status("maps-keldra", kDone, "", 0);
    idle(100);
    EXPECT_EQ(c.reports.size(), listener_.reports.size());
  }
}

}  // namespace

namespace {

// ---------------------------------------------------------------------------------------
// What the direct transfer handler is told per task combination.

TEST_F(TaskManagerTest, TransferHandlerCallsPerTaskCombination) {
  const std::vector<unsigned int> locals{5, 6};
  const std::vector<unsigned long long> globals{9, 10};
  enum Ids { NONE, LOCAL, GLOBAL, GLOBAL_CASCADE };
  struct Case {
    const char* name;
    unsigned tasks;
    Ids ids;
    std::vector<std::vector<std::pair<unsigned long long, unsigned int>>> downloads;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"objects upload: searches for all changed objects",
       0x01,
       NONE,
       {},
       {"create", "disable_all_tasks", "enable_objects_upload", "enable_objects_upload_without_ids",
        "start(personal)"}},
      {"objects upload of given local ids",
       0x01,
       LOCAL,
       {},
       {"create", "disable_all_tasks", "enable_objects_upload", "set_local_objects_filter([5,6],2)",
        "start(personal)"}},
      {"objects download",
       0x02,
       GLOBAL_CASCADE,
       {},
       {"create", "disable_all_tasks", "enable_objects_download([9,10],1)", "start(personal)"}},
      {"files upload",
       0x08,
       NONE,
       {},
       {"create", "disable_all_tasks", "enable_mmf_upload", "start(personal)"}},
      {"queue upload",
       0x20,
       NONE,
       {},
       {"create", "disable_all_tasks", "enable_queue_upload(personal)", "start(personal)"}},
      {"subscribe",
       0x40,
       GLOBAL,
       {},
       {"create", "disable_all_tasks", "enable_objects_subscribe([9,10],0)", "start(personal)"}},
      {"every transfer bit in one run",
       0x01 | 0x02 | 0x08 | 0x20 | 0x40,
       GLOBAL,
       {},
       {"create", "disable_all_tasks", "enable_queue_upload(personal)", "enable_mmf_upload",
        "enable_objects_upload", "enable_objects_download([9,10],0)",
        "enable_objects_subscribe([9,10],0)", "enable_objects_upload_without_ids",
        "start(personal)"}},
      {"media download alone: unlimited",
       0x10,
       NONE,
       {},
       {"create", "disable_all_tasks", "disable_all_tasks", "enable_mmf_download",
        "set_download_options(640)", "start(personal)"}},
      {"media download of given local ids",
       0x10,
       LOCAL,
       {},
       {"create", "disable_all_tasks", "disable_all_tasks", "enable_mmf_download",
        "set_local_objects_filter([5,6],2)", "set_download_options(640)", "start(personal)"}},
      {"upload then media download: not limited to downloads",
       0x11,
       NONE,
       {},
       {"create", "disable_all_tasks", "enable_objects_upload", "enable_objects_upload_without_ids",
        "start(personal)", "disable_all_tasks", "enable_mmf_download", "set_download_options(640)",
        "start(personal)"}},
      {"download then its media",
       0x12,
       GLOBAL,
       {{{9, 31}, {10, 32}}},
       {"create", "disable_all_tasks", "enable_objects_download([9,10],0)", "start(personal)",
        "downloaded_objects", "disable_all_tasks", "enable_mmf_download",
        "set_local_objects_filter([31,32],0)", "set_download_options(640)", "start(personal)"}},
      {"download of nothing: media of nothing",
       0x12,
       GLOBAL,
       {},
       {"create", "disable_all_tasks", "enable_objects_download([9,10],0)", "start(personal)",
        "downloaded_objects", "disable_all_tasks", "enable_mmf_download",
        "set_local_objects_filter([],0)", "set_download_options(640)", "start(personal)"}},
  };
  SyncService::FileSyncOptions download;
  download.image_scaling_longest_side = 640;
  service_->set_file_download_options(download);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TransferDoubles transfer;
    transfer.script.downloads = c.downloads;
    listener_.reports.clear();
    orva::ErrorCode started = -1;
    switch (c.ids) {
      case NONE:
        started = service_->synchronize(account(), c.tasks);
        break;
      case LOCAL:
        started = service_->synchronize(account(), c.tasks, locals, 2);
        break;
      case GLOBAL:
      case GLOBAL_CASCADE:
        started = service_->synchronize(account(), c.tasks, globals, c.ids == GLOBAL_CASCADE);
        break;
    }
    ASSERT_EQ(0, started);
    // Tasks begin from the event loop, never inside synchronize; the byte count of the
    // previous case's sync is gone.
    EXPECT_EQ(0, std::count(transfer.calls.begin(), transfer.calls.end(), "start(personal)"));
    EXPECT_EQ(0u, service_->get_sync_data_transferred());
    ASSERT_TRUE(wait_final());
    EXPECT_EQ(0, listener_.reports.back().first);
    EXPECT_EQ(c.expected, transfer.calls);
    // Each run's bytes count towards the sync.
    const size_t runs = std::count(c.expected.begin(), c.expected.end(), "start(personal)");
    EXPECT_EQ(100u * runs, service_->get_sync_data_transferred());
  }
}

// ---------------------------------------------------------------------------------------
// The device identifier handed to transfer runs.

TEST_F(TaskManagerTest, DeviceIdentifierFromSysinfoOrTheStoredUuid) {
  const std::string values = keldra_test::home_dir() + "/sysinfo_values";
  struct Case {
    const char* name;
    const char* sysinfo;   // file content, or null for no service
    const char* stored;    // the settings' "imei" before the sync, or null
    std::string expected;  // empty: a new UUID, stored under "imei"
  };
  const Case cases[] = {
      {"the service's value", "/other=1\n/certs/npc/esn/gsm=356938035643809\n", nullptr,
       "IMEI\\:356938035643809"},
      {"no service: a new UUID", nullptr, nullptr, ""},
      {"no service: the stored identifier", nullptr, "{stored-id}", "{stored-id}"},
      {"the service without the key", "/other=1\n", "{stored-id}", "{stored-id}"},
      {"an empty value is no identifier", "/certs/npc/esn/gsm=\n", nullptr, ""},
      {"an empty value: the stored identifier", "/certs/npc/esn/gsm=\n", "{stored-id}",
       "{stored-id}"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    clear_home(".config");
    if (c.stored) {
      QSettings settings(QStringLiteral("Ostra"), QStringLiteral("Keldra"));
      settings.setValue(QStringLiteral("imei"), QString::fromLatin1(c.stored));
    }
    if (c.sysinfo) {
      ASSERT_TRUE(keldra_test::write_file(values, c.sysinfo));
      setenv("SYSINFO_VALUES_FILE", values.c_str(), 1);
    } else {
      unsetenv("SYSINFO_VALUES_FILE");
    }
    TransferDoubles transfer;
    // A new service determines the identifier anew.
    SharedPointer<SyncService> service = SyncService::instance();
    service->set_listener(&listener_);
    listener_.reports.clear();
    ASSERT_EQ(0, service->synchronize(account(), 0x01));
    ASSERT_TRUE(wait_final());
    ASSERT_EQ(1u, transfer.device_ids.size());
    const std::string id = transfer.device_ids[0];
    const QString stored =
        QSettings(QStringLiteral("Ostra"), QStringLiteral("Keldra")).value("imei").toString();
    if (c.expected.empty()) {
      EXPECT_FALSE(QUuid(QString::fromStdString(id)).isNull()) << id;
      EXPECT_EQ(id, stored.toStdString());
    } else {
      EXPECT_EQ(c.expected, id);
    }
    // Kept by the manager: a second sync of the same service reuses it even when the
    // service's answer changed.
    ASSERT_TRUE(keldra_test::write_file(values, "/certs/npc/esn/gsm=111\n"));
    setenv("SYSINFO_VALUES_FILE", values.c_str(), 1);
    listener_.reports.clear();
    ASSERT_EQ(0, service->synchronize(account(), 0x01));
    ASSERT_TRUE(wait_final());
    ASSERT_EQ(2u, transfer.device_ids.size());
    EXPECT_EQ(id, transfer.device_ids[1]);
  }
  // A later manager reads the stored UUID back.
  unsetenv("SYSINFO_VALUES_FILE");
  clear_home(".config");
  std::vector<std::string> ids;
  for (int i = 0; i < 2; ++i) {
    TransferDoubles transfer;
    SharedPointer<SyncService> service = SyncService::instance();
    service->set_listener(&listener_);
    listener_.reports.clear();
    ASSERT_EQ(0, service->synchronize(account(), 0x01));
    ASSERT_TRUE(wait_final());
    ids.push_back(transfer.device_ids.at(0));
  }
  EXPECT_EQ(ids[0], ids[1]);
  EXPECT_TRUE(QFile::exists(
      QString::fromStdString(keldra_test::home_dir() + "/.config/Ostra/Keldra.conf")));
}

// ---------------------------------------------------------------------------------------
// Credentials stay out of the log through a whole run.

TEST_F(TaskManagerTest, CredentialsNeverReachTheLog) {
  TransferDoubles transfer;
  SyncService::SyncParams with_password = account("anna", "pass-WORD-1");
  SyncService::SyncParams with_token = account("", "");
  with_token.token = "TOKEN-abcdef";
  for (const SyncService::SyncParams& p : {with_password, with_token}) {
    listener_.reports.clear();
    ASSERT_EQ(0, service_->synchronize(p, 0x01 | 0x04));
    answer_daemon();
    ASSERT_TRUE(wait_final());
    EXPECT_EQ(0, listener_.reports.back().first);
  }
  std::string password_digest, token_digest;
  ASSERT_EQ(0, SyncService::create_auth_digest(with_password, password_digest));
  ASSERT_EQ(0, SyncService::create_auth_digest(with_token, token_digest));
  const std::string text = log_->text();
  EXPECT_TRUE(log_->has("TaskManagerUmbo::startSynchronize ++, tasks 0x00000005"));
  for (const std::string& secret :
       {std::string("pass-WORD-1"), std::string("TOKEN-abcdef"), password_digest, token_digest}) {
    EXPECT_EQ(std::string::npos, text.find(secret)) << secret;
  }
}

}  // namespace

namespace {

// The service's backend is applied to the store's adapter at every start; a value the
// adapter refuses leaves its backend as it was.
TEST_F(TaskManagerTest, BackendIsAppliedToTheStoreAtEachStart) {
  TransferDoubles transfer;
  struct Case {
    int selected;
    int expected;
  };
  const Case cases[] = {{1, 1}, {5, 1}, {0, 0}, {-1, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.selected);
    service_->select_backend(static_cast<SyncService::SyncBackends>(c.selected));
    listener_.reports.clear();
    ASSERT_EQ(0, service_->synchronize(account(), 0x01 | 0x04));
    answer_daemon();
    ASSERT_TRUE(wait_final());
    // The daemon's profile names the backend's server.
    const std::string profile =
        keldra_test::read_file(keldra_test::home_dir() + "/.sync/profiles/service/keldra.xml");
    EXPECT_NE(std::string::npos,
              profile.find(c.expected == 1 ? "sync.keldra.ostra.cn" : ":443/sync"));
    EXPECT_EQ(c.expected == 1, profile.find("sync.keldra.ostra.cn") != std::string::npos);
    // The thread's adapter, kept open by the manager.
    SharedPointer<orva::keldra::DataAdapter> adapter =
        orva::keldra::DatabaseManager::open("personal");
    auto* umbo = dynamic_cast<orva::keldra::internal::DataAdapterUmbo*>(adapter.get());
    ASSERT_NE(nullptr, umbo);
    EXPECT_EQ(c.expected, umbo->get_backend());
  }
}

}  // namespace
