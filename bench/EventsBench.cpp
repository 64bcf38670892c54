// Change events through the real relay on a private bus: events per second sent by the
// hub one at a time and in batches of 100 until its observer has them all, and the
// latency from send_repository_event to the observer, each beside the same traffic as a
// bare D-Bus call to the relay and its signal back (no hub), measured in the same run.
// The hub figures carry "x_bare", their time per event over the bare one's.
#include <QByteArray>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDataStream>
#include <QDir>
#include <QObject>

#include <keldra/LoggerUmbo.h>
#include <keldra/RepositoryEvent.h>
#include <keldra/RepositoryObserver.h>

#include "adaptation_umbo/events/DbusEventHandler.h"
#include "support/DbusTestBus.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

using orva::SharedPointer;
using orva::keldra::RepositoryEvent;
using orva::keldra::internal::DbusEventHandler;

const int kBurst = 1000;     // events per iteration of the throughput figures
const int kBatchSize = 100;  // events per batch

const QString kService = QString::fromLatin1(keldra_test::DbusTestBus::kRelayService);
const QString kPath = QString::fromLatin1(keldra_test::DbusTestBus::kRelayPath);
const QString kInterface = QString::fromLatin1(keldra_test::DbusTestBus::kRelayInterface);

// Runs the event loop until |received| reaches |target|.
void wait_for(const long& received, long target) {
  while (received < target) {
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
  }
}

QByteArray batch(int events) {
  QByteArray array;
  QDataStream out(&array, QIODevice::WriteOnly);
  out << static_cast<qint32>(2 * events);
  for (int i = 0; i < events; ++i) out << qint32(2) << qint32(i);
  return array;
}

}  // namespace

// The bare side: the relay's signals on this process's session bus connection, counted.
class BareListener : public QObject {
  Q_OBJECT

 public:
  BareListener() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.connect(kService, kPath, kInterface, QStringLiteral("DbChanged"), this,
                SLOT(on_changed(int, int)));
    bus.connect(kService, kPath, kInterface, QStringLiteral("DbChanges"), this,
                SLOT(on_changes(QByteArray)));
  }
  ~BareListener() override {
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.disconnect(kService, kPath, kInterface, QStringLiteral("DbChanged"), this,
                   SLOT(on_changed(int, int)));
    bus.disconnect(kService, kPath, kInterface, QStringLiteral("DbChanges"), this,
                   SLOT(on_changes(QByteArray)));
  }

  long events = 0;

 public Q_SLOTS:
  void on_changed(int, int) { ++events; }
  // Read like the hub reads a batch, so both sides decode what they receive.
  void on_changes(const QByteArray& bytes) {
    QDataStream in(bytes);
    qint32 n = 0;
    in >> n;
    for (qint32 i = 0; i + 1 < n; i += 2) {
      qint32 type, id;
      in >> type >> id;
      benchmark::DoNotOptimize(type + id);
      ++events;
    }
  }
};

namespace {

void bare_send(int type, int id) {
  QDBusMessage call =
      QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("SendMessage"));
  call << type << id;
  QDBusConnection::sessionBus().asyncCall(call);
}

void bare_send(const QByteArray& bytes) {
  QDBusMessage call =
      QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("SendMessages"));
  call << bytes;
  QDBusConnection::sessionBus().asyncCall(call);
}

class CountingObserver : public orva::keldra::RepositoryObserver {
 public:
  void handle_repository_event(const std::vector<RepositoryEvent>& events) override {
    this->events += static_cast<long>(events.size());
  }
  long events = 0;
};

// The hub with a registered observer, for one benchmark.
struct HubSide {
  HubSide() : hub(DbusEventHandler::instance()) {
    hub->init();
    hub->add_repository_event_observer(&observer);
  }
  ~HubSide() { hub->remove_repository_event_observer(&observer); }
  SharedPointer<DbusEventHandler> hub;
  CountingObserver observer;
};

// Sends |kBurst| events per iteration with |send| and waits until |received| has them.
template <typename Send>
void burst(benchmark::State& state, const Send& send, const long& received) {
  long sent = 0;
  for (auto _ : state) {
    send();
    sent += kBurst;
    wait_for(received, sent);
  }
  state.SetItemsProcessed(sent);
  state.counters["s_per_event"] = benchmark::Counter(
      static_cast<double>(sent), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_BareSingle(benchmark::State& state) {
  BareListener listener;
  burst(
      state,
      [] {
        for (int i = 0; i < kBurst; ++i) bare_send(2, i);
      },
      listener.events);
}

void BM_HubSingle(benchmark::State& state) {
  HubSide side;
  burst(
      state,
      [&] {
        for (int i = 0; i < kBurst; ++i) side.hub->send_repository_event(RepositoryEvent(2, i));
      },
      side.observer.events);
}

void BM_BareBatch100(benchmark::State& state) {
  BareListener listener;
  const QByteArray bytes = batch(kBatchSize);
  burst(
      state,
      [&] {
        for (int i = 0; i < kBurst / kBatchSize; ++i) bare_send(bytes);
      },
      listener.events);
}

void BM_HubBatch100(benchmark::State& state) {
  HubSide side;
  std::vector<RepositoryEvent> events;
  for (int i = 0; i < kBatchSize; ++i) events.push_back(RepositoryEvent(2, i));
  burst(
      state,
      [&] {
        for (int i = 0; i < kBurst / kBatchSize; ++i) side.hub->send_repository_events(events);
      },
      side.observer.events);
}

void BM_BareLatency(benchmark::State& state) {
  BareListener listener;
  long sent = 0;
  for (auto _ : state) {
    bare_send(1, static_cast<int>(sent));
    wait_for(listener.events, ++sent);
  }
}

void BM_HubLatency(benchmark::State& state) {
  HubSide side;
  long sent = 0;
  for (auto _ : state) {
    side.hub->send_repository_event(RepositoryEvent(1, static_cast<int>(sent)));
    wait_for(side.observer.events, ++sent);
  }
}

// Pairs each hub figure with the bare figure of the same traffic, run just before it.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    std::vector<Run> out = runs;
    for (Run& run : out) {
      if (run.iterations == 0 || run.error_occurred) continue;
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "mean" &&
          run.aggregate_name != "median") {
        continue;
      }
      // Paired figures share their time unit.
      const std::string name = run.benchmark_name();
      const double per_iteration = run.GetAdjustedRealTime();
      if (name.rfind("BM_Bare", 0) == 0) {
        bare_[name.substr(7)] = per_iteration;
      } else if (name.rfind("BM_Hub", 0) == 0) {
        auto it = bare_.find(name.substr(6));
        if (it != bare_.end() && it->second > 0) {
          run.counters["x_bare"] = benchmark::Counter(per_iteration / it->second);
        }
      }
    }
    ConsoleReporter::ReportRuns(out);
  }

 private:
  std::map<std::string, double> bare_;
};

}  // namespace

BENCHMARK(BM_BareSingle)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HubSingle)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareBatch100)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HubBatch100)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareLatency)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_HubLatency)->Unit(benchmark::kMicrosecond)->UseRealTime();

int main(int argc, char** argv) {
  // A folder of its own for HOME and TMPDIR (the bus's configuration goes there), and
  // no logging, whatever the machine's level file says.
  const char* base = std::getenv("TMPDIR");
  std::string root = std::string(base && *base ? base : "/tmp") + "/keldra-bench-XXXXXX";
  if (!mkdtemp(&root[0])) {
    std::perror("mkdtemp");
    return 1;
  }
  setenv("HOME", root.c_str(), 1);
  setenv("TMPDIR", root.c_str(), 1);
  orva::keldra::internal::LoggerUmbo::set_level_file_path(root + "/no_log_level");

  QCoreApplication app(argc, argv);
  int rc = 0;
  {
    keldra_test::DbusTestBus bus;
    if (!bus.start() || bus.start_relay() < 0) {
      std::fprintf(stderr, "private bus: %s\n", bus.error().c_str());
      rc = 1;
    } else {
      benchmark::Initialize(&argc, argv);
      RatioReporter reporter;
      benchmark::RunSpecifiedBenchmarks(&reporter);
    }
  }
  QDir(QString::fromStdString(root)).removeRecursively();
  return rc;
}

#include "EventsBench.moc"
