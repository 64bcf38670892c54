// Search latency from start to the final report, for 10k and 100k places, beside the
// same statement run as plain SQL on the same file (the baseline; the "ratio" counter is
// search time / plain SQL time), also with the whole process pinned to one core, where
// the caller's thread and the worker share it; "caller_cpu" is the CPU time the
// caller's thread spent while the search ran, as a share of the search's time. The
// caller waits in its event loop as an application does (it does not spin).
//
// The latency of cancel() inside the slowest search (sorted by name), beside the floor:
// sqlite3_interrupt of the same statement stepped by a plain thread, from the call to
// the thread's return ("ratio" = cancel / interrupt).
//
// The store file is made in a fresh temporary HOME; nothing touches the real home.
#include "../tests/support/PlaceFile.h"

#include "adaptation_umbo/search/SearchQueryBuilder.h"
#include "adaptation_umbo/search/SearchUmbo.h"
#include "adaptation_umbo/database/DatabaseConnection.h"
#include "adaptation_umbo/database/Query.h"
#include "adaptation_umbo/database/QueryManager.h"
#include "adaptation_umbo/database/QueryName.h"

#include <keldra/PositionCriterion.h>
#include <keldra/TextCriterion.h>

#include <QCoreApplication>
#include <QDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <sqlite3.h>

#include <sched.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace orva::keldra;
using namespace orva::keldra::internal;
using Clock = std::chrono::steady_clock;

const char* const kWords[] = {"Berg", "Hof",    "Linden",  "Markt",  "Rosen", "Kirch",
                              "Wald", "Sonnen", "Brunnen", "Garten", "Hafen", "Mühlen"};

std::string store_path() { return std::string(std::getenv("HOME")) + "/.cities/OstraMaps.db"; }

// Fills the store with |count| places: a name of two words and a number, a description,
// one position in a 2 x 2 degree square; every tenth place is a "route".
void make_store(int count) {
  std::remove(store_path().c_str());
  keldra_search::PlaceFile file(store_path());
  std::mt19937 random(static_cast<unsigned>(count));
  file.exec("BEGIN");
  for (int i = 0; i < count; ++i) {
    keldra_search::Place p;
    p.class_name = i % 10 == 0 ? "route" : "location";
    p.name = std::string(kWords[random() % 12]) + "strasse " + kWords[random() % 12] + " " +
             std::to_string(i);
    p.texts = {"Near the " + std::string(kWords[random() % 12]) + "platz"};
    p.positions = {{47.0 + (random() % 2000000) / 1e6, 10.0 + (random() % 2000000) / 1e6}};
    file.add(p);
  }
  file.exec("COMMIT");
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

// Runs the caller's event loop, sleeping while it has nothing to do, until |ends|.
void wait_for_end(const Ends& ends) {
  while (!ends.ended) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

double thread_cpu_seconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Pins the calling thread (and the threads it starts later) to one core, and restores
// the old set when it goes.
class OneCore {
 public:
  explicit OneCore(bool pin) : m_pinned(pin) {
    if (!pin) return;
    sched_getaffinity(0, sizeof(m_old), &m_old);
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int c = 0; c < CPU_SETSIZE; ++c) {
      if (CPU_ISSET(c, &m_old)) {
        CPU_SET(c, &one);
        break;
      }
    }
    sched_setaffinity(0, sizeof(one), &one);
  }
  ~OneCore() {
    if (m_pinned) sched_setaffinity(0, sizeof(m_old), &m_old);
  }

 private:
  bool m_pinned;
  cpu_set_t m_old;
};

// One store of each size, made once.
int g_made = 0;
void ensure_store(int count) {
  if (g_made == count) return;
  make_store(count);
  g_made = count;
}

struct Query {
  const char* name;
  std::shared_ptr<Criterion> criterion;
  Search::SortPref sort;
};

std::vector<Query> queries() {
  auto personal = [](Criterion* c, const char* cls) {
    c->set_service_id("personal");
    c->set_class_name(cls);
    return std::shared_ptr<Criterion>(c);
  };
  TextCriterion* text = new TextCriterion(orva::ustring("*berg*"));
  TextCriterion* words = new TextCriterion(orva::ustring("hof*"));
  words->set_options(TextCriterion::OPTION_WORD_START);
  return {
      {"class", personal(new Criterion(), "route"), {0, 0}},
      {"text", personal(text, ""), {0, 0}},
      {"word_start", personal(words, ""), {0, 0}},
      {"rectangle", personal(new PositionCriterion(47.5, 47.7, 10.5, 10.7), ""), {0, 0}},
      {"circle",
       personal(new PositionCriterion(orva::GeoCoordinates(48.0, 11.0), 15000.0), ""),
       {0, 0}},
      {"sorted_by_name", personal(new Criterion(), "location"), {1, 1}},
  };
}

// The baseline: the same statement with the same values on a connection of the store
// (so the same SQL functions), collecting the ids; sorted searches add the name key in
// the statement and order by it.
// Binds the statement's values by position.
void bind_all(sqlite3_stmt* s, const SearchStatement& statement) {
  for (size_t i = 0; i < statement.parameters.size(); ++i) {
    const SearchParameter& p = statement.parameters[i];
    if (p.kind == SearchParameter::TEXT) {
      sqlite3_bind_text(s, static_cast<int>(i + 1), p.text.c_str(), -1, SQLITE_TRANSIENT);
    } else {
      sqlite3_bind_double(s, static_cast<int>(i + 1), p.real);
    }
  }
}

class PlainSql {
 public:
  PlainSql() {
    if (!m_connection.open(store_path())) throw std::runtime_error("open");
  }
  sqlite3* handle() {
    return sqlite3_db_handle(
        m_connection.get_query_manager()->get_known_query(BEGIN_TRANSACTION)->get_statement());
  }

  // Steps the statement of |q| as the worker does (ids and name keys, no ORDER BY) until
  // it ends or is interrupted; the rows it gave.
  size_t step_all(const Query& q) {
    SearchStatement statement;
    SearchQueryBuilder::create_query(*q.criterion, statement);
    SearchQueryBuilder::add_name_key(statement);
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(handle(), statement.sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
      throw std::runtime_error(sqlite3_errmsg(handle()));
    }
    bind_all(s, statement);
    std::vector<std::pair<std::string, unsigned>> rows;
    while (sqlite3_step(s) == SQLITE_ROW) {
      const void* key = sqlite3_column_blob(s, 1);
      rows.emplace_back(std::string(static_cast<const char*>(key ? key : ""),
                                    static_cast<size_t>(sqlite3_column_bytes(s, 1))),
                        static_cast<unsigned>(sqlite3_column_int(s, 0)));
    }
    sqlite3_finalize(s);
    return rows.size();
  }

  size_t run(const Query& q) {
    SearchStatement statement;
    SearchQueryBuilder::create_query(*q.criterion, statement);
    std::string sql = statement.sql;
    if (q.sort.key == 1 && q.sort.order != 0) {
      SearchQueryBuilder::add_name_key(statement);
      sql = statement.sql + " ORDER BY 2";
    }
    sqlite3* db = sqlite3_db_handle(
        m_connection.get_query_manager()->get_known_query(BEGIN_TRANSACTION)->get_statement());
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
      throw std::runtime_error(sqlite3_errmsg(db));
    }
    bind_all(s, statement);
    std::vector<unsigned int> ids;
    while (sqlite3_step(s) == SQLITE_ROW)
      ids.push_back(static_cast<unsigned>(sqlite3_column_int(s, 0)));
    sqlite3_finalize(s);
    return ids.size();
  }

 private:
  DatabaseConnection m_connection;
};

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs the search to its final report; the seconds it took. Adds the caller thread's
// CPU seconds meanwhile to |caller_cpu|.
double timed_search(SearchUmbo& search, const Query& q, double* caller_cpu = nullptr) {
  Ends ends;
  const double cpu = thread_cpu_seconds();
  const Clock::time_point start = Clock::now();
  search.start(*q.criterion, q.sort, ends);
  wait_for_end(ends);
  const double s = seconds_since(start);
  if (caller_cpu) *caller_cpu += thread_cpu_seconds() - cpu;
  if (ends.status != 0) throw std::runtime_error("search failed");
  return s;
}

// range(2): 1 pins the process to one core.
void BM_Search(benchmark::State& state) {
  const int places = static_cast<int>(state.range(0));
  const Query q = queries()[static_cast<size_t>(state.range(1))];
  ensure_store(places);
  OneCore pin(state.range(2) != 0);
  SearchUmbo search;  // its worker starts below, on the same core when pinned
  PlainSql plain;
  timed_search(search, q);  // the worker opens its connection
  plain.run(q);
  double plain_total = 0, search_total = 0, caller_cpu = 0;
  size_t rows = 0;
  for (auto _ : state) {
    const double s = timed_search(search, q, &caller_cpu);
    state.SetIterationTime(s);
    search_total += s;
    const Clock::time_point start = Clock::now();
    rows = plain.run(q);
    plain_total += seconds_since(start);
  }
  state.SetLabel(std::string(q.name) + (state.range(2) ? " one core" : ""));
  state.counters["rows"] = static_cast<double>(rows);
  state.counters["plain_ms"] = 1000.0 * plain_total / static_cast<double>(state.iterations());
  state.counters["ratio"] = search_total / plain_total;
  state.counters["caller_cpu"] = caller_cpu / search_total;
  if (search.get_results().size() != rows) state.SkipWithError("row counts differ");
}

// cancel() while the slowest search (sorted by name) is in its scan: from the call to
// its return.
void BM_CancelLatency(benchmark::State& state) {
  const int places = static_cast<int>(state.range(0));
  ensure_store(places);
  const Query q = queries().back();
  SearchUmbo search;
  timed_search(search, q);
  double worst = 0, cancel_total = 0, end_total = 0;
  std::vector<double> each;
  for (auto _ : state) {
    Ends ends;
    search.start(*q.criterion, q.sort, ends);
    // Let the scan get going, the caller waiting in its event loop as an application
    // does (a spinning caller would take the worker's core on a busy machine).
    bool waited = false;
    QTimer::singleShot(20, [&waited] { waited = true; });
    while (!waited) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const Clock::time_point start = Clock::now();
    search.cancel();
    const double s = seconds_since(start);
    state.SetIterationTime(s);
    if (s > worst) worst = s;
    cancel_total += s;
    each.push_back(s);
    wait_for_end(ends);
    end_total += seconds_since(start);
    if (ends.status != ORVA_ERROR_KELDRA_CANCELLED) state.SkipWithError("not cancelled");
    if (search.get_results().empty()) state.SkipWithError("no ids reported with the end");
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["worst_ms"] = worst * 1000.0;
  std::sort(each.begin(), each.end());
  if (!each.empty()) {
    state.counters["median_ms"] = 1000.0 * each[each.size() / 2];
    state.counters["p90_ms"] = 1000.0 * each[each.size() * 9 / 10];
  }
  // From the call of cancel to the end's report, the sort of the ids found included.
  state.counters["to_end_ms"] = 1000.0 * end_total / n;

  // The floor: the same statement stepped by a plain thread, interrupted at the same
  // point of its scan.
  PlainSql plain;
  double floor_total = 0, floor_worst = 0;
  std::vector<double> floor_each;
  const int floors = 20;
  for (int i = 0; i < floors; ++i) {
    std::thread stepper([&] { plain.step_all(q); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const Clock::time_point start = Clock::now();
    sqlite3_interrupt(plain.handle());
    stepper.join();
    const double s = seconds_since(start);
    floor_total += s;
    floor_each.push_back(s);
    if (s > floor_worst) floor_worst = s;
  }
  state.counters["interrupt_ms"] = 1000.0 * floor_total / floors;
  state.counters["interrupt_worst_ms"] = 1000.0 * floor_worst;
  std::sort(floor_each.begin(), floor_each.end());
  state.counters["interrupt_median_ms"] = 1000.0 * floor_each[floor_each.size() / 2];
  state.counters["ratio"] = (cancel_total / n) / (floor_total / floors);
}

void SearchArgs(benchmark::internal::Benchmark* b) {
  for (int pinned : {0, 1}) {
    for (int places : {10000, 100000}) {
      for (int q = 0; q < 6; ++q) b->Args({places, q, pinned});
    }
  }
}

BENCHMARK(BM_Search)->Apply(SearchArgs)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CancelLatency)
    ->Arg(10000)
    ->Arg(100000)
    ->UseManualTime()
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  // A fresh home of our own: the store file is made below it.
  char home[] = "/tmp/keldra-search-bench-XXXXXX";
  if (!mkdtemp(home)) return 1;
  setenv("HOME", home, 1);
  QDir().mkpath(QString(home) + "/.cities");
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  QDir(home).removeRecursively();
  return 0;
}
