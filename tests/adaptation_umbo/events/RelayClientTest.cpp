// The hub's relay side on a private bus with the real keldservice: what goes on the wire,
// what comes back to the observers, and how SYNC_START / SYNC_STOP hold events.
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <keldra/RepositoryEvent.h>

#include "support/EventsTestSupport.h"
#include "adaptation_umbo/events/DbusEventHandler.h"
#include "adaptation_umbo/base/UmboException.h"
#include "support/DbusTestBus.h"
#include "support/LogCapture.h"

#include <QDBusContext>
#include <QDBusError>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using keldra_test::batch_of;
using keldra_test::Batches;
using keldra_test::Broadcast;
using keldra_test::DbusTestBus;
using keldra_test::Events;
using keldra_test::events_of;
using keldra_test::ints_of;
using keldra_test::Peer;
using keldra_test::RecordingObserver;
using keldra_test::settle;
using keldra_test::wait_until;
using orva::SharedPointer;
using orva::keldra::RepositoryEvent;
using orva::keldra::internal::DbusEventHandler;
using orva::keldra::internal::UmboException;

namespace {

// The start of the one line a hub logs when it cannot reach the session bus.
const char* const kCannotReach =
    "DbusEventHandler::init(): keldservice cannot be reached, no session bus (";

constexpr int A = 101;
constexpr int B = 202;
constexpr int C = 303;

class RelayClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DbusTestBus& bus = DbusTestBus::shared();
    ASSERT_TRUE(bus.running() && bus.relay_pid() > 0) << bus.error();
    log_.reset(new keldra_test::LogCapture);  // before anything holds the logger
    hub_ = DbusEventHandler::instance();
    hub_->init();
    peer_.reset(new Peer);
    ASSERT_TRUE(peer_->ok());
  }

  void TearDown() override {
    hub_->remove_repository_event_observer(&observer_);
    peer_.reset();
    hub_.release();
    log_.reset();
  }

  // Registers the observer and waits until the hub's connection listens.
  void observe() {
    hub_->add_repository_event_observer(&observer_);
    ASSERT_TRUE(settle(*peer_));
  }

  // Starts each case of a table with a new hub (not holding, nothing pending).
  void renew_hub() {
    hub_->remove_repository_event_observer(&observer_);
    hub_.release();
    hub_ = DbusEventHandler::instance();
    hub_->init();
    observer_.batches.clear();
    observe();
  }

  std::unique_ptr<keldra_test::LogCapture> log_;
  SharedPointer<DbusEventHandler> hub_;
  std::unique_ptr<Peer> peer_;
  RecordingObserver observer_;
};

// One step of what another process sends through the relay.
struct Send {
  bool batch;
  std::vector<std::pair<int, int>> events;
};
Send one(int type, int id) { return {false, {{type, id}}}; }
Send many(std::vector<std::pair<int, int>> events) { return {true, std::move(events)}; }

TEST_F(RelayClientTest, SendsOneEventAsACallAndSeveralAsOneBigEndianBatch) {
  struct Case {
    const char* name;
    Events events;
    std::vector<Broadcast> wire;
  };
  const std::vector<Case> cases = {
      {"none", {}, {}},
      {"one", events_of({{1, 7}}), {Broadcast::one(1, 7)}},
      {"three",
       events_of({{1, 7}, {2, 7}, {3, 9}}),
       {Broadcast::many(QByteArray::fromHex("00000006"
                                            "00000001"
                                            "00000007"
                                            "00000002"
                                            "00000007"
                                            "00000003"
                                            "00000009"))}},
      {"sync marks and negative ids",
       events_of({{5, 0}, {2, -2}}),
       {Broadcast::many(QByteArray::fromHex("00000004"
                                            "00000005"
                                            "00000000"
                                            "00000002"
                                            "fffffffe"))}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    peer_->heard.clear();
    Events sent = c.events;
    for (RepositoryEvent& e : sent) e.reserved = 77;  // never carried
    EXPECT_EQ(0, hub_->send_repository_events(sent));
    ASSERT_TRUE(settle(*peer_));
    EXPECT_EQ(c.wire, peer_->heard);
    EXPECT_EQ(c.events.size(), sent.size());  // the caller's list stays as it was
  }
  peer_->heard.clear();
  EXPECT_EQ(0, hub_->send_repository_event(RepositoryEvent(3, 44)));
  ASSERT_TRUE(settle(*peer_));
  EXPECT_EQ(std::vector<Broadcast>{Broadcast::one(3, 44)}, peer_->heard);
}

TEST_F(RelayClientTest, OwnChangesReachTheObserverOnlyThroughTheRelay) {
  observe();
  hub_->send_repository_event(RepositoryEvent(0, 5));  // no event: never delivered
  RepositoryEvent created(1, 42);
  created.reserved = 9;
  hub_->send_repository_event(created);
  hub_->send_repository_events(events_of({{2, 42}, {3, 42}}));
  EXPECT_TRUE(observer_.batches.empty());  // nothing is delivered from the sending call

  ASSERT_TRUE(wait_until([&] { return observer_.batches.size() == 2; }));
  ASSERT_TRUE(settle(*peer_));
  EXPECT_EQ((Batches{events_of({{1, 42}}), events_of({{2, 42}, {3, 42}})}), observer_.batches);
  EXPECT_EQ(0, log_->count(kCannotReach));  // the bus is there: nothing to say
}

// Everything the observer received, in order, whatever the batches.
Events flat(const Batches& batches) {
  Events all;
  for (const Events& batch : batches) all.insert(all.end(), batch.begin(), batch.end());
  return all;
}

// The relay is killed and started again while the process keeps writing (each event its
// own call, the event loop running now and then): nothing sent meanwhile is lost, and
// everything reaches the observer once, in the order it was sent, before what is sent
// after the relay's return.
TEST_F(RelayClientTest, EventsSentWhileTheRelayIsAwayReachTheObserversWhenItIsBack) {
  DbusTestBus& bus = DbusTestBus::shared();
  observe();
  const int kAway = 3000;
  const pid_t relay = bus.relay_pid();
  ASSERT_EQ(0, ::kill(relay, SIGKILL));
  ASSERT_TRUE(bus.stop_relay(relay));
  Events expected;
  for (int i = 0; i < kAway; ++i) {
    const RepositoryEvent created(RepositoryEvent::OBJECT_CREATED, 1 + i);
    EXPECT_EQ(0, hub_->send_repository_event(created));
    expected.push_back(created);
    if (i % 100 == 0) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_TRUE(observer_.batches.empty());

  ASSERT_GT(bus.start_relay(), 0) << bus.error();
  ASSERT_TRUE(wait_until([&] { return flat(observer_.batches).size() >= expected.size(); }));
  hub_->send_repository_events(events_of({{2, 1}, {3, 2}}));
  expected.push_back(RepositoryEvent(2, 1));
  expected.push_back(RepositoryEvent(3, 2));
  ASSERT_TRUE(wait_until([&] { return flat(observer_.batches).size() >= expected.size(); }));
  ASSERT_TRUE(settle(*peer_));
  EXPECT_EQ(expected, flat(observer_.batches));
  EXPECT_EQ(0u, hub_->kept_relay_events());
}

// Stands in for the relay on the bus and refuses its first |refusals| calls, as a relay
// that is present but failed a call (a timeout, say) would.
class RefusingRelay : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "com.ostra.maps.keldservice")

 public:
  void refuse_next(int calls) { refusals_ = calls; }

 public Q_SLOTS:
  void SendMessage(int type, int id) {
    if (refuse()) return;
    emit DbChanged(type, id);
  }
  void SendMessages(const QByteArray& messages) {
    if (refuse()) return;
    emit DbChanges(messages);
  }

 Q_SIGNALS:
  void DbChanged(int type, int id);
  void DbChanges(const QByteArray& messages);

 private:
  bool refuse() {
    if (refusals_ == 0) return false;
    --refusals_;
    sendErrorReply(QDBusError::Failed, QStringLiteral("busy"));
    return true;
  }
  int refusals_ = 0;
};

// A call the relay fails while it stays on the bus keeps its events, and they go again
// to the same relay, before anything sent after them.
TEST_F(RelayClientTest, EventsOfACallFailedByAPresentRelayGoAgain) {
  DbusTestBus& bus = DbusTestBus::shared();
  observe();
  ASSERT_TRUE(bus.stop_relay(bus.relay_pid()));
  QDBusConnection relay_connection =
      QDBusConnection::connectToBus(QString::fromStdString(bus.address()), "refusing_relay");
  RefusingRelay relay;
  ASSERT_TRUE(relay_connection.registerObject(DbusTestBus::kRelayPath, &relay,
                                              QDBusConnection::ExportAllSlots |
                                                  QDBusConnection::ExportAllSignals));
  ASSERT_TRUE(relay_connection.registerService(DbusTestBus::kRelayService));
  // Once this arrives, the hub knows the relay is there.
  EXPECT_EQ(0, hub_->send_repository_event(RepositoryEvent(1, 4)));
  ASSERT_TRUE(wait_until([&] { return flat(observer_.batches).size() == 1; }));

  relay.refuse_next(2);
  EXPECT_EQ(0, hub_->send_repository_event(RepositoryEvent(1, 5)));
  EXPECT_EQ(0, hub_->send_repository_events(events_of({{2, 5}, {3, 6}})));
  ASSERT_TRUE(wait_until([&] { return hub_->kept_relay_events() > 0; }));
  EXPECT_EQ(0, hub_->send_repository_event(RepositoryEvent(1, 7)));
  const Events expected = events_of({{1, 4}, {1, 5}, {2, 5}, {3, 6}, {1, 7}});
  ASSERT_TRUE(wait_until([&] { return flat(observer_.batches).size() >= expected.size(); }));
  EXPECT_EQ(expected, flat(observer_.batches));
  EXPECT_EQ(0u, hub_->kept_relay_events());

  relay_connection.unregisterService(DbusTestBus::kRelayService);
  QDBusConnection::disconnectFromBus("refusing_relay");
  ASSERT_GT(bus.start_relay(), 0) << bus.error();
}

// While the relay stays away, only the newest events are kept, so that a process that
// writes on without it does not grow without end.
TEST_F(RelayClientTest, EventsKeptForTheRelayAreBounded) {
  DbusTestBus& bus = DbusTestBus::shared();
  observe();
  ASSERT_TRUE(bus.stop_relay(bus.relay_pid()));
  // The hub learns that the relay is away from the first call's answer.
  hub_->send_repository_event(RepositoryEvent(RepositoryEvent::OBJECT_UPDATED, 1));
  ASSERT_TRUE(wait_until([&] { return hub_->kept_relay_events() == 1; }));
  const size_t kMax = DbusEventHandler::kMaxKeptEvents;
  const size_t kSent = kMax + 100;
  Events sent;
  for (size_t i = 0; i < kSent; ++i) sent.push_back(RepositoryEvent(1, static_cast<int>(i)));
  EXPECT_EQ(0, hub_->send_repository_events(Events(sent.begin(), sent.begin() + kSent / 2)));
  EXPECT_EQ(0, hub_->send_repository_events(Events(sent.begin() + kSent / 2, sent.end())));
  EXPECT_EQ(kMax, hub_->kept_relay_events());

  ASSERT_GT(bus.start_relay(), 0) << bus.error();
  ASSERT_TRUE(wait_until([&] { return flat(observer_.batches).size() >= kMax; }));
  ASSERT_TRUE(settle(*peer_));
  EXPECT_EQ(Events(sent.end() - kMax, sent.end()), flat(observer_.batches));
  EXPECT_TRUE(log_->has("WARNING: DbusEventHandler: relay away, 101 oldest events dropped so far"));
}

// What the observer receives for what another process sends, one signal or one batch
// at a time; not holding at the start.
TEST_F(RelayClientTest, HoldsEventsBetweenSyncStartAndSyncStop) {
  struct Case {
    const char* name;
    std::vector<Send> sent;
    Batches delivered;
  };
  const std::vector<Case> cases = {
      {"one signal each",
       {one(1, A), one(5, 0), one(2, B), one(3, C), one(6, 0)},
       {events_of({{1, A}}), events_of({{5, 0}}), events_of({{2, B}, {3, C}, {6, 0}})}},
      {"all in one batch",
       {many({{1, A}, {5, 0}, {2, B}, {3, C}, {6, 0}})},
       {events_of({{1, A}, {5, 0}}), events_of({{2, B}, {3, C}, {6, 0}})}},
      {"a second single SYNC_START waits like any event",
       {one(5, 0), one(5, 0), one(2, B), one(6, 0)},
       {events_of({{5, 0}}), events_of({{5, 0}, {2, B}, {6, 0}})}},
      {"a batch's SYNC_START delivers what is held",
       {one(5, 0), one(1, A), many({{5, 0}}), one(2, B), one(6, 0)},
       {events_of({{5, 0}}), events_of({{1, A}, {5, 0}}), events_of({{2, B}, {6, 0}})}},
      {"holding begun in a batch ends with a single SYNC_STOP",
       {many({{5, 0}, {2, B}}), one(6, 0)},
       {events_of({{5, 0}}), events_of({{2, B}, {6, 0}})}},
      {"holding begun by a single ends in a batch",
       {one(5, 0), one(1, A), many({{2, B}, {6, 0}, {3, C}})},
       {events_of({{5, 0}}), events_of({{1, A}, {2, B}, {6, 0}, {3, C}})}},
      {"start and stop in one batch",
       {many({{5, 0}, {6, 0}})},
       {events_of({{5, 0}}), events_of({{6, 0}})}},
      // No call with an empty list after the SYNC_START took everything.
      {"a batch ending in SYNC_START while not holding",
       {many({{1, A}, {2, B}, {5, 0}}), one(6, 0)},
       {events_of({{1, A}, {2, B}, {5, 0}}), events_of({{6, 0}})}},
      {"a batch ending in SYNC_START while holding",
       {one(5, 0), many({{5, 0}}), one(6, 0)},
       {events_of({{5, 0}}), events_of({{5, 0}}), events_of({{6, 0}})}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    renew_hub();
    for (const Send& s : c.sent) {
      if (s.batch) {
        peer_->send(batch_of(s.events));
      } else {
        peer_->send(s.events[0].first, s.events[0].second);
      }
    }
    ASSERT_TRUE(settle(*peer_));
    EXPECT_EQ(c.delivered, observer_.batches);
  }
}

// Batches any client of the relay can send. Each is followed by the single {2, 99}, which
// delivers whatever the batch left pending.
TEST_F(RelayClientTest, ReadsMalformedBatchesNoFurtherThanTheirData) {
  struct Case {
    const char* name;
    QByteArray bytes;
    Batches delivered;
    bool stop_first = false;  // a SYNC_STOP before the {2, 99}
  };
  const Events fence = events_of({{2, 99}});
  const std::vector<Case> cases = {
      {"odd count: the last type has no id", ints_of({3, 1, A, 2}), {events_of({{1, A}, {2, 99}})}},
      {"count far beyond the data", ints_of({0x7FFFFFFF, 1, A}), {events_of({{1, A}}), fence}},
      {"count beyond the data, which ends in a type",
       ints_of({6, 1, A, 2}),
       {events_of({{1, A}, {2, 99}})}},
      {"count beyond the data, SYNC_START inside",
       ints_of({1000, 1, A, 5, 0}),
       {events_of({{1, A}, {5, 0}}), events_of({{6, 0}}), fence},
       true},
      {"negative count", ints_of({-2, 1, A}), {fence}},
      {"most negative count", ints_of({qint32(0x80000000), 1, A}), {fence}},
      {"zero count with data", ints_of({0, 1, A}), {fence}},
      {"count only", ints_of({2}), {fence}},
      {"empty array", QByteArray(), {fence}},
      {"three bytes", QByteArray::fromHex("000002"), {fence}},
      {"count with a torn id",
       ints_of({2, 1}) + QByteArray::fromHex("0000"),
       {events_of({{2, 99}})}},
      {"events of type 0 are no events", ints_of({4, 0, A, 3, B}), {events_of({{3, B}}), fence}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    renew_hub();
    peer_->send(c.bytes);
    if (c.stop_first) peer_->send(6, 0);
    peer_->send(2, 99);
    ASSERT_TRUE(settle(*peer_));
    EXPECT_EQ(c.delivered, observer_.batches);
  }
}

TEST_F(RelayClientTest, OddCountIsReportedAndDeliversNothing) {
  keldra_test::LogCapture& log = *log_;
  observe();
  peer_->send(ints_of({3, 1, A, 2}));
  ASSERT_TRUE(settle(*peer_));
  EXPECT_TRUE(observer_.batches.empty());
  EXPECT_EQ(1u,
            log.count_exact(
                "DbusEventHandler::handle_db_changed_events, could not get id, WRONG PARAMETER!"));
  EXPECT_EQ(0u, log.count_exact("DbusEventHandler::handle_db_changed_events --"));
}

TEST_F(RelayClientTest, ObserversRegisterOnceAndTheLastOneTakesTheSignalsAlong) {
  RecordingObserver second;
  observe();
  hub_->add_repository_event_observer(&observer_);  // again: still one entry
  hub_->add_repository_event_observer(&second);
  hub_->add_repository_event_observer(nullptr);
  peer_->send(1, A);
  ASSERT_TRUE(settle(*peer_));
  EXPECT_EQ((Batches{events_of({{1, A}})}), observer_.batches);
  EXPECT_EQ((Batches{events_of({{1, A}})}), second.batches);

  // Without observers the hub does not hear the relay: nothing is kept for later.
  hub_->remove_repository_event_observer(&observer_);
  hub_->remove_repository_event_observer(&second);
  hub_->remove_repository_event_observer(&second);  // not registered: no change
  ASSERT_TRUE(settle(*peer_));
  peer_->send(2, B);
  peer_->send(batch_of({{3, B}, {3, C}}));
  ASSERT_TRUE(settle(*peer_));

  observer_.batches.clear();
  observe();
  peer_->send(1, C);
  ASSERT_TRUE(settle(*peer_));
  EXPECT_EQ((Batches{events_of({{1, C}})}), observer_.batches);
  EXPECT_EQ(1u, second.batches.size());
}

TEST_F(RelayClientTest, ObserversMayUnregisterDuringTheirCall) {
  RecordingObserver second;
  RecordingObserver third;
  observe();
  hub_->add_repository_event_observer(&second);
  hub_->add_repository_event_observer(&third);
  // The first removes itself: the second still gets the batch.
  observer_.on_call = [&](const Events&) { hub_->remove_repository_event_observer(&observer_); };
  // The second removes the third, which must not be called any more.
  second.on_call = [&](const Events&) { hub_->remove_repository_event_observer(&third); };
  peer_->send(1, A);
  ASSERT_TRUE(settle(*peer_));
  EXPECT_EQ((Batches{events_of({{1, A}})}), observer_.batches);
  EXPECT_EQ((Batches{events_of({{1, A}})}), second.batches);
  EXPECT_TRUE(third.batches.empty());

  peer_->send(2, A);
  ASSERT_TRUE(settle(*peer_));
  EXPECT_EQ(1u, observer_.batches.size());
  EXPECT_EQ((Batches{events_of({{1, A}}), events_of({{2, A}})}), second.batches);
  hub_->remove_repository_event_observer(&second);
}

TEST_F(RelayClientTest, EventsFoundWithoutObserverWaitForTheNextDelivery) {
  // The only observer leaves during a delivery at a batch's SYNC_START: what that start
  // took is dropped; the rest of the batch waits for the next observer's first delivery.
  observe();
  observer_.on_call = [&](const Events&) { hub_->remove_repository_event_observer(&observer_); };
  peer_->send(batch_of({{1, A}, {5, 0}, {2, B}, {6, 0}, {3, C}}));
  ASSERT_TRUE(settle(*peer_));
  EXPECT_EQ((Batches{events_of({{1, A}, {5, 0}})}), observer_.batches);
  EXPECT_EQ(1u, log_->count_exact("DbusEventHandler::send_events_to_observers: no listener"));

  observer_.on_call = nullptr;
  observer_.batches.clear();
  observe();
  peer_->send(1, 7);
  ASSERT_TRUE(settle(*peer_));
  EXPECT_EQ((Batches{events_of({{2, B}, {6, 0}, {3, C}, {1, 7}})}), observer_.batches);
}

TEST_F(RelayClientTest, RemovingTheLastObserverEndsHolding) {
  observe();
  peer_->send(5, 0);
  peer_->send(1, A);  // held
  ASSERT_TRUE(settle(*peer_));
  EXPECT_EQ((Batches{events_of({{5, 0}})}), observer_.batches);

  // It left during the sync and missed its SYNC_STOP.
  hub_->remove_repository_event_observer(&observer_);
  ASSERT_TRUE(settle(*peer_));
  peer_->send(6, 0);
  ASSERT_TRUE(settle(*peer_));

  observer_.batches.clear();
  observe();
  peer_->send(2, B);
  ASSERT_TRUE(settle(*peer_));
  EXPECT_EQ((Batches{events_of({{1, A}, {2, B}})}), observer_.batches);
  peer_->send(3, B);
  ASSERT_TRUE(settle(*peer_));
  EXPECT_EQ((Batches{events_of({{1, A}, {2, B}}), events_of({{3, B}})}), observer_.batches);
}

TEST_F(RelayClientTest, AnObserverMayReleaseTheLastHoldOfTheHub) {
  observe();
  observer_.on_call = [&](const Events&) {
    hub_->remove_repository_event_observer(&observer_);
    hub_.release();
  };
  peer_->send(batch_of({{1, A}, {5, 0}, {2, B}}));
  ASSERT_TRUE(wait_until([&] { return !observer_.batches.empty(); }));
  for (int i = 0; i < 10; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_EQ((Batches{events_of({{1, A}, {5, 0}})}), observer_.batches);
  EXPECT_FALSE(hub_.is_valid());
  hub_ = DbusEventHandler::instance();  // a new hub for TearDown
}

TEST(RelayClientWithoutInit, SendingReportsFailureAndObserversAreNotRegistered) {
  DbusTestBus& bus = DbusTestBus::shared();
  ASSERT_TRUE(bus.running()) << bus.error();
  keldra_test::LogCapture log;
  SharedPointer<DbusEventHandler> hub = DbusEventHandler::instance();
  Events events = events_of({{1, 1}, {2, 2}});
  EXPECT_EQ(ORVA_ERROR_UNKNOWN, hub->send_repository_event(RepositoryEvent(1, 1)));
  EXPECT_EQ(ORVA_ERROR_UNKNOWN, hub->send_repository_events(events));
  EXPECT_EQ(ORVA_ERROR_UNKNOWN, hub->send_repository_events(Events()));
  EXPECT_EQ(2u, events.size());
  EXPECT_EQ(3u, log.count_exact("Keldservice interface is not available"));

  RecordingObserver observer;
  hub->add_repository_event_observer(&observer);
  EXPECT_EQ(1u, log.count_exact("DbusEventHandler::add_repository_event_observer: WARNING: "
                                "Keldservice interface is not available!"));
  hub->init();
  hub->init();
  EXPECT_EQ(1u, log.count_exact("DbusEventHandler::init(): already initiated!"));
  Peer peer;
  ASSERT_TRUE(peer.ok());
  peer.send(1, 3);
  ASSERT_TRUE(settle(peer));
  EXPECT_TRUE(observer.batches.empty());
}

// Without a reachable session bus nothing else would tell why no observer hears a
// change: the hub says so once, in one line, when it is initialised. Each case runs in a
// fresh process, whose session-bus connection is made from the address given.
TEST(RelayClientWithoutBus, SaysInOneLineThatKeldserviceCannotBeReached) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  struct Case {
    const char* name;
    const char* address;  // empty: none in the environment
  };
  const Case cases[] = {{"no bus address", ""}, {"stale bus address", "/gone/socket"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EXIT(
        {
          const std::string home = keldra_test::home_dir();
          // Nor a user bus under the runtime folder.
          setenv("XDG_RUNTIME_DIR", home.c_str(), 1);
          if (*c.address) {
            setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + home + c.address).c_str(), 1);
          } else {
            unsetenv("DBUS_SESSION_BUS_ADDRESS");
          }
          unsetenv("DISPLAY");  // no autolaunch of a bus either
          keldra_test::LogCapture log;
          SharedPointer<DbusEventHandler> hub = DbusEventHandler::instance();
          hub->init();
          hub->init();  // once only
          const bool said =
              log.count(kCannotReach) == 1 && log.has("): observers will hear no change events");
          std::fflush(nullptr);
          std::_Exit(said ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
  }
}

}  // namespace

#include "RelayClientTest.moc"
