// The hub's sync-daemon side against the fake daemon on the private bus: the
// requests it makes, and how the daemon's signals become reports to the sync
// listener.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QString>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "support/EventsTestSupport.h"
#include "adaptation_umbo/events/DbusEventHandler.h"
#include "syncengine/SyncMlHandler.h"
#include "adaptation_umbo/base/UmboException.h"
#include "support/DbusTestBus.h"
#include "support/FakeSyncDaemon.h"
#include "support/LogCapture.h"
#include "support/TestEnv.h"

using keldra_test::DbusTestBus;
using keldra_test::FakeSyncDaemon;
using orva::SharedPointer;
using orva::keldra::SyncMlHandler;
using orva::keldra::internal::DbusEventHandler;
using orva::keldra::internal::UmboException;

namespace {

const QString kProfile = QStringLiteral("maps-keldra");
constexpr int kInProgress = ORVA_ERROR_KELDRA_IN_PROGRESS;

struct Report {
  int status;
  float progress;
  bool operator==(const Report& o) const { return status == o.status && progress == o.progress; }
};

void PrintTo(const Report& r, std::ostream* os) {
  *os << "(0x" << std::hex << r.status << std::dec << ", " << r.progress << ")";
}

using Reports = std::vector<Report>;

class RecordingListener : public SyncMlHandler::SyncMlListener {
 public:
  void sync_event(orva::ErrorCode status, float progress) override {
    reports.push_back({status, progress});
    if (on_call) on_call();
  }
  Reports reports;
  std::function<void()> on_call;
};

// Lets the daemon's signals that are on their way reach the hub.
void drain() {
  static keldra_test::Peer* peer = nullptr;
  if (!peer) peer = new keldra_test::Peer;  // lives as long as the process
  ASSERT_TRUE(peer->ok() && keldra_test::settle(*peer));
}

class SyncDaemonClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DbusTestBus& bus = DbusTestBus::shared();
    ASSERT_TRUE(bus.running()) << bus.error();
    log_.reset(new keldra_test::LogCapture);  // before anything holds the logger
    ASSERT_TRUE(daemon_.start(bus)) << daemon_.error();
    hub_ = DbusEventHandler::instance();
    hub_->init();
  }

  void TearDown() override {
    hub_.release();
    log_.reset();
  }

  // The daemon emits; the hub has handled the signal when this returns.
  void status(int value, int details = 0, const QString& profile = kProfile) {
    daemon_.emit_sync_status(profile, value, QStringLiteral("message"), details);
    drain();
  }
  void transfer(int database, const QString& profile = kProfile) {
    daemon_.emit_transfer_progress(profile, database, 1, QStringLiteral("text/x-vcard"), 3);
    drain();
  }

  std::unique_ptr<keldra_test::LogCapture> log_;
  FakeSyncDaemon daemon_;
  SharedPointer<DbusEventHandler> hub_;
  RecordingListener listener_;
};

using Call = FakeSyncDaemon::Call;

TEST_F(SyncDaemonClientTest, RequestsCarryTheProfileNameAndAreNotAwaited) {
  struct Case {
    const char* name;
    int type;
    std::vector<Call> calls;
  };
  const std::vector<Case> cases = {
      {"start", DbusEventHandler::START_SYNC, {{"startSync", {"maps-keldra"}}}},
      {"cancel", DbusEventHandler::CANCEL_SYNC, {{"abortSync", {"maps-keldra"}}}},
      // The profile's name, not profile XML.
      {"profile changed", DbusEventHandler::PROFILE_CHANGED, {{"updateProfile", {"maps-keldra"}}}},
      {"unknown", 3, {}},
      {"negative", -1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    daemon_.clear_calls();
    hub_->send_sync_message(static_cast<DbusEventHandler::SyncMessageType>(c.type));
    EXPECT_EQ(c.calls, daemon_.calls());
  }
  EXPECT_EQ(2u, log_->count_exact("DbusEventSender::send_sync_message: unknown message type"));
}

TEST_F(SyncDaemonClientTest, StartReportsToTheListenerBeforeCallingTheDaemon) {
  hub_->set_sync_event_listener(&listener_);
  size_t calls_seen = 99;
  listener_.on_call = [&] { calls_seen = daemon_.calls().size(); };
  hub_->send_sync_message(DbusEventHandler::START_SYNC);
  EXPECT_EQ((Reports{{kInProgress, 0.05f}}), listener_.reports);
  EXPECT_EQ(0u, calls_seen);
  EXPECT_EQ((std::vector<Call>{{"startSync", {"maps-keldra"}}}), daemon_.calls());
}

// One step of a table: the daemon's signal, or a new registration of the
// listener.
struct Step {
  enum Kind { STATUS, TRANSFER, RESULTS, SET_LISTENER } kind;
  int value;
  int details;
  QString profile;
};
Step daemon_status(int value, int details = 0) { return {Step::STATUS, value, details, kProfile}; }
Step daemon_status_for(const char* profile, int value) {
  return {Step::STATUS, value, 0, QString::fromUtf8(profile)};
}
Step daemon_transfer(int database) { return {Step::TRANSFER, database, 0, kProfile}; }
Step daemon_transfer_for(const char* profile, int database) {
  return {Step::TRANSFER, database, 0, QString::fromUtf8(profile)};
}
Step daemon_results() { return {Step::RESULTS, 0, 0, kProfile}; }
Step set_listener_again() { return {Step::SET_LISTENER, 0, 0, QString()}; }

TEST_F(SyncDaemonClientTest, MapsTheDaemonsReportsOntoTheListener) {
  struct Case {
    const char* name;
    std::vector<Step> steps;
    Reports reports;
  };
  const std::vector<Case> cases = {
      {"a whole sync",
       {daemon_status(0), daemon_status(1), daemon_transfer(1), daemon_status(2),
        daemon_transfer(0), daemon_status(4)},
       {{kInProgress, 0.1f},
        {kInProgress, 0.2f},
        {kInProgress, 0.5f},
        {kInProgress, 0.8f},
        {ORVA_ERROR_NONE, 1.0f}}},
      {"login failed",
       {daemon_status(0), daemon_status(3, 402)},
       {{kInProgress, 0.1f}, {ORVA_ERROR_KELDRA_LOGIN_FAILED, 0.1f}}},
      {"network problem",
       {daemon_status(1), daemon_status(3, 503)},
       {{kInProgress, 0.2f}, {ORVA_ERROR_KELDRA_NETWORK_PROBLEM, 0.2f}}},
      // Success, with the last progress rather than 1.0.
      {"error detail 301",
       {daemon_status(1), daemon_status(3, 301)},
       {{kInProgress, 0.2f}, {0, 0.2f}}},
      {"error detail 500", {daemon_status(3, 500)}, {{ORVA_ERROR_UNKNOWN, 0.0f}}},
      {"error detail 507", {daemon_status(3, 507)}, {{ORVA_ERROR_UNKNOWN, 0.0f}}},
      {"aborted, then the next sync fails",
       {daemon_transfer(1), daemon_status(5), set_listener_again(), daemon_status(3, 402)},
       {{kInProgress, 0.5f},
        {ORVA_ERROR_KELDRA_CANCELLED, 0.5f},
        {ORVA_ERROR_KELDRA_LOGIN_FAILED, 0.0f}}},
      {"unknown database repeats the progress",
       {daemon_status(1), daemon_transfer(2)},
       {{kInProgress, 0.2f}, {kInProgress, 0.2f}}},
      {"profile name in other letter case",
       {daemon_status_for("MAPS-KELDRA", 0), daemon_transfer_for("Maps-Keldra", 0)},
       {{kInProgress, 0.1f}, {kInProgress, 0.8f}}},
      {"other profiles are ignored",
       {daemon_status_for("contacts", 0), daemon_transfer_for("contacts", 0),
        daemon_status_for("maps-keldra2", 4), daemon_status_for("", 1)},
       {}},
      {"progressing, unknown statuses and results report nothing",
       {daemon_status(2), daemon_status(6), daemon_status(-1), daemon_results()},
       {}},
      // The listener is unset by the end of its sync: what another program's
      // sync reports later does not reach it.
      {"nothing after finished",
       {daemon_status(4), daemon_status(0), daemon_transfer(1), daemon_status(4)},
       {{ORVA_ERROR_NONE, 1.0f}}},
      {"nothing after an error",
       {daemon_status(3, 402), daemon_status(1), daemon_status(5)},
       {{ORVA_ERROR_KELDRA_LOGIN_FAILED, 0.0f}}},
      {"nothing after aborted",
       {daemon_status(5), daemon_status(0)},
       {{ORVA_ERROR_KELDRA_CANCELLED, 0.0f}}},
      {"a new sync hears again",
       {daemon_status(4), set_listener_again(), daemon_status(0)},
       {{ORVA_ERROR_NONE, 1.0f}, {kInProgress, 0.1f}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    hub_.release();  // a new hub: progress starts at 0
    hub_ = DbusEventHandler::instance();
    hub_->init();
    listener_.reports.clear();
    hub_->set_sync_event_listener(&listener_);
    for (const Step& s : c.steps) {
      switch (s.kind) {
        case Step::STATUS:
          status(s.value, s.details, s.profile);
          break;
        case Step::TRANSFER:
          transfer(s.value, s.profile);
          break;
        case Step::RESULTS:
          daemon_.emit_results_available(s.profile, QStringLiteral("<results/>"));
          drain();
          break;
        case Step::SET_LISTENER:
          hub_->set_sync_event_listener(&listener_);
          break;
      }
    }
    EXPECT_EQ(c.reports, listener_.reports);
  }
}

TEST_F(SyncDaemonClientTest, ErrorDetailsMapToResults) {
  const std::vector<std::pair<int, orva::ErrorCode>> cases = {
      {402, ORVA_ERROR_KELDRA_LOGIN_FAILED},
      {501, ORVA_ERROR_KELDRA_NETWORK_PROBLEM},
      {506, ORVA_ERROR_KELDRA_NETWORK_PROBLEM},
      {301, ORVA_ERROR_NONE},
      {500, ORVA_ERROR_UNKNOWN},
      {507, ORVA_ERROR_UNKNOWN},
      {401, ORVA_ERROR_UNKNOWN},
      {0, ORVA_ERROR_UNKNOWN},
      {-402, ORVA_ERROR_UNKNOWN},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.second, hub_->convertSyncMLErrorCodeToKeldraError(c.first)) << c.first;
  }
}

TEST_F(SyncDaemonClientTest, ListenerChangesConnectTheSignalsOnce) {
  RecordingListener other;
  hub_->set_sync_event_listener(&listener_);
  hub_->set_sync_event_listener(&listener_);
  status(0);
  EXPECT_EQ((Reports{{kInProgress, 0.1f}}), listener_.reports);

  hub_->set_sync_event_listener(&other);
  status(1);
  EXPECT_EQ(1u, listener_.reports.size());
  EXPECT_EQ((Reports{{kInProgress, 0.2f}}), other.reports);

  // Through none and back: still one report per signal.
  hub_->set_sync_event_listener(nullptr);
  status(1);
  hub_->set_sync_event_listener(&other);
  transfer(1);
  EXPECT_EQ((Reports{{kInProgress, 0.2f}, {kInProgress, 0.5f}}), other.reports);

  hub_->unset_sync_event_listener();
  status(0);
  EXPECT_EQ(2u, other.reports.size());
  EXPECT_EQ(1u, listener_.reports.size());
}

TEST_F(SyncDaemonClientTest, ADestroyedListenerIsNeverCalled) {
  std::unique_ptr<RecordingListener> gone(new RecordingListener);
  hub_->set_sync_event_listener(gone.get());
  status(0);
  EXPECT_EQ(1u, gone->reports.size());
  gone.reset();
  status(1);
  transfer(0);
  hub_->send_sync_message(DbusEventHandler::START_SYNC);
  EXPECT_EQ(1u, log_->count_exact("DbusEventHandler::handle sync status, "
                                  "listener not present or wrong profile"));
  EXPECT_EQ(1u, log_->count_exact("DbusEventHandler::START_SYNC"));

  // Another listener, perhaps at the same address, is set and called as usual.
  RecordingListener next;
  hub_->set_sync_event_listener(&next);
  status(1);
  EXPECT_EQ((Reports{{kInProgress, 0.2f}}), next.reports);
}

TEST_F(SyncDaemonClientTest, AListenerMaySetItselfAgainFromItsFinalReport) {
  hub_->set_sync_event_listener(&listener_);
  listener_.on_call = [&] {
    if (listener_.reports.size() == 1) hub_->set_sync_event_listener(&listener_);
  };
  status(4);
  status(0);
  EXPECT_EQ((Reports{{ORVA_ERROR_NONE, 1.0f}, {kInProgress, 0.1f}}), listener_.reports);
}

TEST_F(SyncDaemonClientTest, TheStartStillGoesOutWhenTheListenerLetsGoOfTheHub) {
  hub_->set_sync_event_listener(&listener_);
  DbusEventHandler* hub = hub_.get();
  listener_.on_call = [&] { hub_.release(); };
  hub->send_sync_message(DbusEventHandler::START_SYNC);
  EXPECT_FALSE(hub_.is_valid());
  EXPECT_EQ((Reports{{kInProgress, 0.05f}}), listener_.reports);
  EXPECT_EQ((std::vector<Call>{{"startSync", {"maps-keldra"}}}), daemon_.calls());
  hub_ = DbusEventHandler::instance();  // for TearDown
}

TEST(SyncDaemonClientWithoutInit, RequestsAndListenersThrow) {
  DbusTestBus& bus = DbusTestBus::shared();
  ASSERT_TRUE(bus.running()) << bus.error();
  SharedPointer<DbusEventHandler> hub = DbusEventHandler::instance();
  RecordingListener listener;
  try {
    hub->send_sync_message(DbusEventHandler::START_SYNC);
    ADD_FAILURE() << "no exception";
  } catch (const UmboException& e) {
    EXPECT_EQ(ORVA_ERROR_UNKNOWN, e.get_reason());
    EXPECT_EQ("Msyncd interface is not available", e.get_error_message());
  }
  try {
    hub->set_sync_event_listener(&listener);
    ADD_FAILURE() << "no exception";
  } catch (const UmboException& e) {
    EXPECT_EQ(ORVA_ERROR_UNKNOWN, e.get_reason());
    EXPECT_EQ("Msyncd interface is not available!", e.get_error_message());
  }
  // The listener stayed unset: after init it gets nothing until it is set.
  hub->init();
  FakeSyncDaemon daemon;
  ASSERT_TRUE(daemon.start(bus)) << daemon.error();
  daemon.emit_sync_status(kProfile, 0, QString(), 0);
  drain();
  EXPECT_TRUE(listener.reports.empty());
}

// A start the daemon cannot take: its name has no owner, the owner fails the call (here
// a connection that holds the name but serves no daemon object), or the daemon answers
// false. No status report would ever come, so the failed start is the sync's final
// report, with the last progress; a start whose listener was replaced before the failure
// came reports nothing (the new listener follows its own start).
TEST(SyncDaemonClientWithoutDaemon, AStartTheDaemonCannotTakeEndsTheSync) {
  DbusTestBus& bus = DbusTestBus::shared();
  ASSERT_TRUE(bus.running()) << bus.error();
  FakeSyncDaemon daemon;  // started only by the refusing case
  ASSERT_TRUE(keldra_test::wait_until([&] { return !daemon.name_owned(); }));
  SharedPointer<DbusEventHandler> hub = DbusEventHandler::instance();
  hub->init();
  const Reports failed = {{kInProgress, 0.05f}, {ORVA_ERROR_UNKNOWN, 0.05f}};
  enum Owner { NO_OWNER, OWNER_WITHOUT_DAEMON, REFUSING_DAEMON };
  struct Case {
    const char* name;
    Owner owner;
  };
  const Case cases[] = {{"no owner", NO_OWNER},
                        {"owner fails the call", OWNER_WITHOUT_DAEMON},
                        {"the daemon answers false", REFUSING_DAEMON}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QString stand_in = QStringLiteral("keldra_test_msyncd_stand_in");
    if (c.owner == OWNER_WITHOUT_DAEMON) {
      QDBusConnection owner =
          QDBusConnection::connectToBus(QString::fromStdString(bus.address()), stand_in);
      ASSERT_TRUE(owner.registerService(QLatin1String(FakeSyncDaemon::kService)));
      ASSERT_TRUE(daemon.name_owned());
    } else if (c.owner == REFUSING_DAEMON) {
      ASSERT_TRUE(daemon.start(bus)) << daemon.error();
      daemon.set_start_answer(false);
    }
    RecordingListener listener;
    hub->set_sync_event_listener(&listener);
    hub->send_sync_message(DbusEventHandler::START_SYNC);
    EXPECT_EQ((Reports{{kInProgress, 0.05f}}), listener.reports);
    ASSERT_TRUE(keldra_test::wait_until([&] { return listener.reports.size() >= 2; }));
    EXPECT_EQ(failed, listener.reports);

    // Replaced before its failure came: only the second start ends, once.
    RecordingListener first;
    RecordingListener second;
    hub->set_sync_event_listener(&first);
    hub->send_sync_message(DbusEventHandler::START_SYNC);
    hub->set_sync_event_listener(&second);
    hub->send_sync_message(DbusEventHandler::START_SYNC);
    ASSERT_TRUE(keldra_test::wait_until([&] { return second.reports.size() >= 2; }));
    drain();
    EXPECT_EQ((Reports{{kInProgress, 0.05f}}), first.reports);
    EXPECT_EQ(failed, second.reports);
    // A final report unsets the listener.
    EXPECT_EQ(failed, listener.reports);
    if (c.owner == REFUSING_DAEMON) {
      // Refused, not lost: the daemon was asked each time.
      EXPECT_EQ(3u, daemon.calls().size());
      daemon.stop();
    } else if (c.owner == OWNER_WITHOUT_DAEMON) {
      QDBusConnection::disconnectFromBus(stand_in);
    }
    EXPECT_TRUE(keldra_test::wait_until([&] { return !daemon.name_owned(); }));
  }
}

}  // namespace
