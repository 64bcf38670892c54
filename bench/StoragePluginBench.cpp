// The storage plug-in (libhkeldra-storage, loaded as the sync daemon loads it) on a store
// of 10,000 places:
//   getAllItems of every place (one compact-format item each) beside a direct baseline
//   that lists the same rows, reads each object and encodes it with the compact writer;
//   addItems of 1,000 received places beside Repository::insert_object of the same
//   objects, one transaction each as the plug-in's writes are.
// Printed at the end: each plug-in figure relative to its baseline of the same run.
#include <dlfcn.h>

#include "adaptation_umbo/base/Utils.h"

#include <keldra/Attribute.h>
#include <keldra/DataAdapter.h>
#include <keldra/DatabaseManager.h>
#include <keldra/DynamicBuffer.h>
#include <keldra/LoggerUmbo.h>
#include <keldra/Object.h>
#include <keldra/ObjectConverter.h>
#include <keldra/ProgressHandler.h>
#include <keldra/Repository.h>
#include <keldra/Static.h>
#include <keldra/SyncAdapter.h>

#include <QCoreApplication>
#include <QEventLoop>

#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "syncfw/StoragePlugin.h"

namespace {

using orva::SharedPointer;
using orva::keldra::Attribute;
using orva::keldra::Object;

const int kPlaces = 10000;
const int kReceived = 1000;
const char kMime[] = KELDRA_COMPACT_MIME_TYPE;

std::string g_home;
Buteo::CreateStoragePluginFn g_create = nullptr;
Buteo::DestroyStoragePluginFn g_destroy = nullptr;
unsigned long long g_next_gid = 100000;

Object make_place(long long i) {
  Object o("location");
  o.set_name("Cafe " + std::to_string(i) + " Market Square");
  o.set_service(std::string("personal"));
  SharedPointer<Attribute> address(new Attribute("address", "address"));
  address->add_field("text")->set_value("Cafe " + std::to_string(i) + ", 00170 Helsinki");
  o.get_attributes().push_back(address);
  SharedPointer<Attribute> position(new Attribute("position", "position"));
  position->add_field("latitude")->set_value(60.0 + (i % 1000) / 1000.0);
  position->add_field("longitude")->set_value(24.0 + (i % 997) / 1000.0);
  o.get_attributes().push_back(position);
  return o;
}

struct Opened : orva::keldra::ProgressHandler {
  void handle_progress(float, orva::ErrorCode status) override {
    done = true;
    code = status;
  }
  bool done = false;
  orva::ErrorCode code = 0;
};

// The thread's store, opened once and filled with the places.
struct StoreSetup {
  SharedPointer<orva::keldra::Static> statics;
  SharedPointer<orva::keldra::DataAdapter> adapter;
  SharedPointer<orva::keldra::Repository> repo;
  SharedPointer<orva::keldra::SyncAdapter> sync;
  SharedPointer<orva::keldra::ObjectConverter> converter;

  bool open() {
    statics = orva::keldra::Static::instance();
    adapter = orva::keldra::DatabaseManager::open("personal");
    if (!adapter.is_valid()) return false;
    Opened opened;
    adapter->init(opened);
    while (!opened.done) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (opened.code != 0) return false;
    repo = adapter->repository();
    sync = adapter->sync_adapter();
    converter = orva::keldra::ObjectConverter::create();
    if (!repo.is_valid() || !sync.is_valid() || !converter.is_valid()) return false;
    if (repo->begin_transaction(true) != 0) return false;
    for (int i = 0; i < kPlaces; ++i) {
      Object o = make_place(i);
      if (repo->insert_object(o) != 0) return false;
    }
    return repo->commit_transaction() == 0;
  }
};

StoreSetup* g_store = nullptr;

Buteo::StoragePlugin* new_session() {
  Buteo::StoragePlugin* plugin = g_create(QStringLiteral("hkeldra"));
  if (!plugin->init(QMap<QString, QString>())) {
    std::fprintf(stderr, "the plug-in's init failed\n");
    std::abort();
  }
  return plugin;
}

void end_session(Buteo::StoragePlugin* plugin) {
  plugin->uninit();
  g_destroy(plugin);
  // The store's deferred report and the relay's calls, as the daemon's loop runs them.
  QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

void BM_GetAllItems_Plugin(benchmark::State& state) {
  size_t items_out = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Buteo::StoragePlugin* plugin = new_session();
    state.ResumeTiming();
    QList<Buteo::StorageItem*> items;
    if (!plugin->getAllItems(items)) state.SkipWithError("getAllItems failed");
    state.PauseTiming();
    items_out = static_cast<size_t>(items.size());
    qDeleteAll(items);
    end_session(plugin);
    state.ResumeTiming();
  }
  state.counters["items"] = static_cast<double>(items_out);
  state.SetItemsProcessed(state.iterations() * kPlaces);
}

// The same rows listed, read and encoded directly.
void BM_GetAllItems_Baseline(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<Object> headers;
    if (g_store->sync->all_objects(headers) != 0) state.SkipWithError("all_objects failed");
    size_t bytes = 0;
    for (const Object& header : headers) {
      Object object;
      if (g_store->repo->get_object(header.get_local_id(), object) != 0) continue;
      SharedPointer<orva::keldra::DynamicBuffer> buffer(new orva::keldra::DynamicBuffer());
      g_store->converter->encode(object, buffer, kMime, false);
      bytes += buffer->get_data_length();
    }
    benchmark::DoNotOptimize(bytes);
  }
  state.SetItemsProcessed(state.iterations() * kPlaces);
}

// Received places: new global ids every time, so every one is a new row.
std::vector<Object> received_places() {
  std::vector<Object> out;
  for (int i = 0; i < kReceived; ++i) {
    Object o = make_place(i);
    o.set_global_id(++g_next_gid);
    out.push_back(o);
  }
  return out;
}

void BM_AddItems_Plugin(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    Buteo::StoragePlugin* plugin = new_session();
    QList<Buteo::StorageItem*> items;
    for (const Object& o : received_places()) {
      SharedPointer<orva::keldra::DynamicBuffer> buffer(new orva::keldra::DynamicBuffer());
      g_store->converter->encode(o, buffer, kMime, false);
      Buteo::StorageItem* item = plugin->newItem();
      item->write(0, QByteArray(reinterpret_cast<const char*>(buffer->get_data()),
                                static_cast<int>(buffer->get_data_length())));
      items.append(item);
    }
    state.ResumeTiming();
    const QList<Buteo::StoragePlugin::OperationStatus> statuses = plugin->addItems(items);
    state.PauseTiming();
    for (Buteo::StoragePlugin::OperationStatus s : statuses) {
      if (s != Buteo::StoragePlugin::STATUS_OK) state.SkipWithError("addItems refused an item");
    }
    qDeleteAll(items);
    end_session(plugin);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kReceived);
}

void BM_AddItems_Baseline(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<Object> objects = received_places();
    state.ResumeTiming();
    for (Object& o : objects) {
      if (g_store->repo->insert_object(o) != 0) state.SkipWithError("insert_object failed");
    }
  }
  state.SetItemsProcessed(state.iterations() * kReceived);
}

BENCHMARK(BM_GetAllItems_Baseline)->Iterations(5)->Repetitions(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetAllItems_Plugin)->Iterations(5)->Repetitions(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddItems_Baseline)->Iterations(3)->Repetitions(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddItems_Plugin)->Iterations(3)->Repetitions(3)->Unit(benchmark::kMillisecond);

class RatioReporter : public keldra_bench::MedianReporter {
 public:
  void Finalize() override {
    ConsoleReporter::Finalize();
    const struct {
      const char* what;
      const char* plugin;
      const char* baseline;
      int items;
    } pairs[] = {
        {"getAllItems, 10,000 places", "BM_GetAllItems_Plugin", "BM_GetAllItems_Baseline", kPlaces},
        {"addItems, 1,000 received places", "BM_AddItems_Plugin", "BM_AddItems_Baseline",
         kReceived},
    };
    for (const auto& p : pairs) {
      if (!times.count(p.plugin) || !times.count(p.baseline)) continue;
      std::printf("%s: %.0f items/s, %.3f x the baseline (CPU time: %.3f x)\n", p.what,
                  p.items / (times[p.plugin] / 1000.0), times[p.plugin] / times[p.baseline],
                  cpu_times[p.plugin] / cpu_times[p.baseline]);
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  g_home = keldra_bench::make_bench_folder();
  if (g_home.empty()) return 1;
  setenv("HOME", g_home.c_str(), 1);
  setenv("TMPDIR", g_home.c_str(), 1);
  // No daemon here: the plug-in's client of it finds no bus at once.
  setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + g_home + "/no-bus").c_str(), 1);
  orva::keldra::internal::mkdir(g_home + "/.cities");
  QCoreApplication app(argc, argv);

  void* library = dlopen(STORAGE_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    std::fprintf(stderr, "cannot load the plug-in: %s\n", dlerror());
    return 1;
  }
  g_create = reinterpret_cast<Buteo::CreateStoragePluginFn>(dlsym(library, "createPlugin"));
  g_destroy = reinterpret_cast<Buteo::DestroyStoragePluginFn>(dlsym(library, "destroyPlugin"));
  StoreSetup store;
  if (!g_create || !g_destroy || !store.open()) {
    std::fprintf(stderr, "cannot set up the store or the plug-in\n");
    return 1;
  }
  g_store = &store;

  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  g_store = nullptr;
  store = StoreSetup();
  return keldra_bench::remove_bench_folder(g_home);
}
