// The SQLite layer against plain SQLite in the same run:
// - one INSERT_OBJECT bind + step + reset through the statement manager, beside a bare
//   sqlite3_bind/sqlite3_step loop writing the same rows to the same table;
// - like_all_words over 100,000 text rows, beside SQLite's own LIKE on the same rows.
// The ratios to the baselines are printed at the end.
#include "adaptation_umbo/database/BindableQuery.h"
#include "adaptation_umbo/database/DatabaseConnection.h"
#include "adaptation_umbo/database/QueryManager.h"

#include <keldra/LoggerUmbo.h>

#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

using namespace orva::keldra::internal;

std::string g_dir;

std::string fresh(const std::string& name) {
  const std::string path = g_dir + "/" + name;
  for (const char* suffix : {"", "-wal", "-shm", ".old"}) ::unlink((path + suffix).c_str());
  return path;
}

sqlite3* raw_open(const std::string& path) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db,
                  SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  // The same journaling as the store's connection.
  sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;", nullptr, nullptr, nullptr);
  return db;
}

const int kCommitEvery = 10000;

void BM_InsertObject_Store(benchmark::State& state) {
  DatabaseConnection conn;
  conn.open(fresh("store_insert.db"));
  QueryManager* qm = conn.get_query_manager();
  conn.begin_transaction(true, 0);
  long long i = 0;
  for (auto _ : state) {
    BindableQuery* q = static_cast<BindableQuery*>(qm->get_known_query(INSERT_OBJECT));
    q->bind(GLOBAL_ID, 880000000000LL + i);
    q->bind(CLASS_NAME, std::string("location"));
    q->bind(NAME, std::string("Cafe Market Square"));
    q->bind(VERSION, 3);
    q->bind(TIMESTAMP, 1700000000000LL + i);
    q->bind(SERVICE, std::string("personal"));
    q->bind(OWNER, std::string("maija.virtanen"));
    q->bind(SHARING, 0);
    q->bind(MODIFIED, 1);
    q->bind(LINKMODS, 0);
    q->bind(UPDEPS, 0);
    q->bind(DOWNDEPS, 0);
    q->bind(NO_SYNC, 0);
    q->execute(0);
    if (++i % kCommitEvery == 0) {
      conn.commit_transaction();
      conn.begin_transaction(true, 0);
    }
  }
  conn.commit_transaction();
  state.SetItemsProcessed(state.iterations());
}

void BM_InsertObject_Bare(benchmark::State& state) {
  // The same table, made by the store's schema, written by plain SQLite.
  const std::string path = fresh("bare_insert.db");
  {
    DatabaseConnection make;
    make.open(path);
  }
  sqlite3* db = raw_open(path);
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db,
                     "INSERT INTO object (local_id, global_id, class_name, name, version, "
                     "timestamp, service, owner, sharing, modified, linkmods, updeps, downdeps, "
                     "no_sync) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
                     -1, &stmt, nullptr);
  sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
  long long i = 0;
  for (auto _ : state) {
    sqlite3_bind_int64(stmt, 2, 880000000000LL + i);
    sqlite3_bind_text(stmt, 3, "location", -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt, 4, "Cafe Market Square", -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(stmt, 5, 3);
    sqlite3_bind_int64(stmt, 6, 1700000000000LL + i);
    sqlite3_bind_text(stmt, 7, "personal", -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt, 8, "maija.virtanen", -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(stmt, 9, 0);
    sqlite3_bind_int(stmt, 10, 1);
    sqlite3_bind_int(stmt, 11, 0);
    sqlite3_bind_int(stmt, 12, 0);
    sqlite3_bind_int(stmt, 13, 0);
    sqlite3_bind_int(stmt, 14, 0);
    sqlite3_step(stmt);
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (++i % kCommitEvery == 0) {
      sqlite3_exec(db, "COMMIT; BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
    }
  }
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  state.SetItemsProcessed(state.iterations());
}

const int kTextRows = 100000;

// 100,000 text rows of names and addresses, one in ten with letters beyond ASCII.
std::string text_file() {
  static std::string path;
  if (!path.empty()) return path;
  path = fresh("texts.db");
  {
    DatabaseConnection make;
    make.open(path);
  }
  sqlite3* db = raw_open(path);
  const char* words[] = {"Old",    "Town",   "Hall",    "Market", "Square", "Cafe",
                         "Street", "Grand",  "Hotel",   "Park",   "Museum", "Station",
                         "North",  "Bridge", "Harbour", "Church", "Garden", "Tower"};
  const char* wide[] = {"Caf\xC3\xA9",
                        "Stra\xC3\x9F"
                        "e",
                        "K\xC3\xB6nig", "\xC3\x85s"};
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO text(type, name, value_text) VALUES (8, 'name', ?)", -1,
                     &stmt, nullptr);
  unsigned seed = 12345;
  for (int i = 0; i < kTextRows; ++i) {
    std::string text;
    for (int w = 0; w < 4; ++w) {
      seed = seed * 1103515245u + 12345u;
      if (w) text += ' ';
      text += (i % 10 == 0 && w == 1) ? wide[(seed >> 16) % 4] : words[(seed >> 16) % 18];
    }
    text += " " + std::to_string(i % 200);
    sqlite3_bind_text(stmt, 1, text.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_step(stmt);
    sqlite3_reset(stmt);
  }
  sqlite3_finalize(stmt);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  return path;
}

void count_rows(benchmark::State& state, sqlite3* db, const char* sql) {
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
  long long found = 0;
  for (auto _ : state) {
    sqlite3_step(stmt);
    found = sqlite3_column_int64(stmt, 0);
    sqlite3_reset(stmt);
  }
  sqlite3_finalize(stmt);
  state.counters["matches"] = static_cast<double>(found);
  state.SetItemsProcessed(state.iterations() * kTextRows);
}

void BM_LikeAllWords_Store(benchmark::State& state) {
  DatabaseConnection conn;
  conn.open(text_file());
  // The statement runs on the store's connection, with its functions registered.
  sqlite3* db = sqlite3_db_handle(
      conn.get_query_manager()->get_known_query(BEGIN_TRANSACTION)->get_statement());
  count_rows(state, db, "SELECT count(*) FROM text WHERE like_all_words(value_text, 'hall*')");
}

void BM_Like_Sqlite(benchmark::State& state) {
  sqlite3* db = raw_open(text_file());
  count_rows(state, db, "SELECT count(*) FROM text WHERE value_text LIKE '%hall%'");
  sqlite3_close(db);
}

// Fixed row counts on fresh files, so both inserts see the same table sizes; the
// ratios use the medians of the repetitions.
BENCHMARK(BM_InsertObject_Store)->Iterations(200000)->Repetitions(5);
BENCHMARK(BM_InsertObject_Bare)->Iterations(200000)->Repetitions(5);
BENCHMARK(BM_LikeAllWords_Store)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_Like_Sqlite)->Unit(benchmark::kMillisecond)->Repetitions(5);

// Console output plus the ratios of each store benchmark to its baseline.
class RatioReporter : public keldra_bench::MedianReporter {
 public:
  void Finalize() override {
    ConsoleReporter::Finalize();
    ratio("INSERT_OBJECT bind+step+reset / bare sqlite3 loop (median time)",
          "BM_InsertObject_Store", "BM_InsertObject_Bare");
    ratio("like_all_words / SQLite LIKE (median time per row)", "BM_LikeAllWords_Store",
          "BM_Like_Sqlite");
  }
};

}  // namespace

int main(int argc, char** argv) {
  g_dir = keldra_bench::make_bench_folder();
  if (g_dir.empty()) return 1;
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return keldra_bench::remove_bench_folder(g_dir);
}
