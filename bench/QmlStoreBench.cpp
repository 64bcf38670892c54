// The Store element's search as QML calls it (a QML engine, the element's invokable
// search() called through the meta-object, its signals heard in C++), beside the
// library's own searcher on the same criterion in the same run (the baseline; "ratio"
// is element time / searcher time):
// - first_page: search(criteria, null, 10) to searchDone, the first page of 10 loaded;
// - first_report: search() to the element's first progressChanged;
// - all: search(criteria, null, 0) to searchDone, every found object loaded;
// and the memory that reading allResults ten times leaves behind (each read makes new
// elements, children of the Store element, which live as long as it does).
//
// The store file is made in a fresh temporary HOME; nothing touches the real home.
#include "../tests/support/PlaceFile.h"

#include "StoreImpl.h"

#include <keldra/Criterion.h>
#include <keldra/Search.h>
#include <keldra/Store.h>

#include <QCoreApplication>
#include <QDir>
#include <QQmlComponent>
#include <QQmlEngine>

#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

using keldra::qtplugin::StoreImpl;
using namespace orva::keldra;
using Clock = std::chrono::steady_clock;

std::string store_path() { return std::string(std::getenv("HOME")) + "/.cities/OstraMaps.db"; }

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

int g_made = 0;
void ensure_store(int count) {
  if (g_made == count) return;
  std::remove(store_path().c_str());
  keldra_search::PlaceFile file(store_path());
  file.exec("BEGIN");
  for (int i = 0; i < count; ++i) {
    keldra_search::Place p;
    p.name = "Place " + std::to_string(i);
    p.positions = {{47.0 + (i % 1000) / 1e3, 10.0 + (i / 1000) / 1e3}};
    file.add(p);
  }
  file.exec("COMMIT");
  g_made = count;
}

struct Ends : ProgressHandler {
  bool ended = false;
  orva::ErrorCode status = -1;
  void handle_progress(float, orva::ErrorCode s) override {
    if (s != ORVA_ERROR_KELDRA_IN_PROGRESS) {
      ended = true;
      status = s;
    }
  }
};

// The library's searcher to its final report, same criterion as the element builds
// (class "location", service "personal", unsorted).
double library_search(Search& search, size_t* found) {
  Criterion criterion;
  criterion.set_service_id(KELD_SERVICE_PERSONAL);
  criterion.set_class_name("location");
  Search::SortPref none = {Search::SortPref::ORDER_NONE, Search::SortPref::KEY_NONE};
  Ends ends;
  const Clock::time_point start = Clock::now();
  search.start(criterion, none, ends);
  while (!ends.ended) QCoreApplication::processEvents();
  const double s = seconds_since(start);
  if (ends.status != 0) throw std::runtime_error("library search failed");
  *found = search.get_results().size();
  return s;
}

// A Store element made by a QML engine, initialised, with a criteria element for class
// "location" and a function that starts the search.
class QmlStore {
 public:
  QmlStore() {
    QQmlComponent component(&m_engine);
    component.setData(
        "import QtQml 2.0\n"
        "import Keldra 1.0\n"
        "Store {\n"
        "  property var criteria: createCriteria()\n"
        "  Component.onCompleted: criteria.appendClass('location')\n"
        "  function go(max) { search(criteria, null, max) }\n"
        "}\n",
        QUrl());
    m_root.reset(component.create());
    m_store = qobject_cast<StoreImpl*>(m_root.get());
    if (!m_store) throw std::runtime_error(component.errorString().toStdString());
    bool done = false;
    QObject::connect(m_store, &StoreImpl::initDone, [&] { done = true; });
    m_store->init();
    while (!done) QCoreApplication::processEvents();
    if (m_store->getStatus() != 1) throw std::runtime_error("init failed");
    QObject::connect(m_store, &StoreImpl::searchDone, [this] { m_done = true; });
    QObject::connect(m_store, &StoreImpl::progressChanged, [this] {
      if (m_first_report < 0) m_first_report = seconds_since(m_start);
    });
  }

  // Seconds from the QML call to searchDone; |first_report| the seconds to the first
  // progressChanged.
  double search(int max, double* first_report) {
    m_done = false;
    m_first_report = -1;
    m_start = Clock::now();
    QMetaObject::invokeMethod(m_root.get(), "go", Q_ARG(QVariant, QVariant(max)));
    while (!m_done) QCoreApplication::processEvents();
    const double s = seconds_since(m_start);
    if (m_store->getStatus() != 1) throw std::runtime_error("element search failed");
    if (first_report) *first_report = m_first_report;
    return s;
  }

  StoreImpl* store() { return m_store; }

 private:
  QQmlEngine m_engine;
  std::unique_ptr<QObject> m_root;
  StoreImpl* m_store = nullptr;
  bool m_done = false;
  double m_first_report = -1;
  Clock::time_point m_start;
};

void BM_QmlSearch(benchmark::State& state) {
  const int places = static_cast<int>(state.range(0));
  const int max = static_cast<int>(state.range(1));
  ensure_store(places);
  QmlStore element;
  orva::SharedPointer<Store> store;
  if (Store::open(store) != 0) throw std::runtime_error("open");
  orva::SharedPointer<Search> own;
  {
    // A searcher of a second store object would be the same one; the library's own
    // search runs on the searcher of this store, which the element shares.
    own = store->get_searcher();
  }
  size_t found = 0;
  double first = 0;
  element.search(max, &first);  // warm: connections opened, pages cached by SQLite
  library_search(*own, &found);
  double element_total = 0, library_total = 0, first_total = 0;
  for (auto _ : state) {
    const double e = element.search(max, &first);
    state.SetIterationTime(e);
    element_total += e;
    first_total += first;
    library_total += library_search(*own, &found);
  }
  const double n = static_cast<double>(state.iterations());
  state.SetLabel(max > 0 ? "first_page" : "all");
  state.counters["found"] = static_cast<double>(found);
  state.counters["library_ms"] = 1000.0 * library_total / n;
  state.counters["first_report_ms"] = 1000.0 * first_total / n;
  state.counters["ratio"] = element_total / library_total;
  state.counters["first_report_ratio"] = first_total / library_total;
}

// Reading allResults ten times after a search that loaded every place.
void BM_AllResultsTenReads(benchmark::State& state) {
  const int places = static_cast<int>(state.range(0));
  ensure_store(places);
  double grown_mib = 0;
  int elements = 0;
  for (auto _ : state) {
    QmlStore element;
    element.search(0, nullptr);
    const long before = keldra_test::status_kib("VmRSS");
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < 10; ++i) {
      const QVariant all = element.store()->property("allResults");
      benchmark::DoNotOptimize(all);
    }
    state.SetIterationTime(seconds_since(start));
    grown_mib = (keldra_test::status_kib("VmRSS") - before) / 1024.0;
    elements = element.store()->children().size();
  }
  state.counters["rss_growth_mib"] = grown_mib;
  state.counters["children"] = elements;
}

BENCHMARK(BM_QmlSearch)
    ->Args({10000, 10})
    ->Args({10000, 0})
    ->Args({100000, 10})
    ->Args({100000, 0})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AllResultsTenReads)
    ->Arg(10000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  char home[] = "/tmp/keldra-qmlstore-bench-XXXXXX";
  if (!mkdtemp(home)) return 1;
  setenv("HOME", home, 1);
  setenv("QML2_IMPORT_PATH", KELDRA_QML_IMPORT_DIR, 1);
  // No bus of the machine: change events are not part of these figures.
  unsetenv("DBUS_SESSION_BUS_ADDRESS");
  QDir().mkpath(QString(home) + "/.cities");
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  QDir(home).removeRecursively();
  return 0;
}
