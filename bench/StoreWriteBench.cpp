// insert_object of a typical place (name, address text, position, two links to earlier
// places) in batches of 1,000 inside one caller transaction, on stores that already
// hold 1k, 10k and 100k places, beside a plain SQLite program writing the same rows
// with prepared statements in one transaction. Printed at the end: the cost per insert
// at each size relative to 1k (growth), and relative to the plain program.
//
// Linked writes on a store of 10k places: a route of 50 waypoints (a "points" list of
// "way_point" attributes, each with a position and a link to a place), 20 routes per
// transaction, and a collection of 1,000 links (the links of its "items" list), 10 per
// transaction; beside a plain program with a minimal schema of its own (one row per
// object, its name, one row per waypoint or item with its target, the target checked to
// exist by one keyed read), WAL and synchronous=FULL like the store.
//
// The public store on a store of 10k places: Store::insert_object autocommitted (one
// transaction each) and in batches of 1,000, and Store::get_object, each beside the
// plain program doing the same rows (one insert per transaction, the batch above, and
// the five prepared selects that read a place back); and the object cache loading 2,000
// places, with the objects it loads per slice of its event loop.
#include "adaptation_umbo/base/Utils.h"
#include "adaptation_umbo/database/Database.h"
#include "adaptation_umbo/database/DatabaseConnection.h"

#include <keldra/Attribute.h>
#include <keldra/LoggerUmbo.h>
#include <keldra/Object.h>
#include <keldra/ObjectCache.h>
#include <keldra/ProgressHandler.h>
#include <keldra/Store.h>
#include <keldra/StringPool.h>

#include <QCoreApplication>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include "BenchSupport.h"

#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace orva::keldra::internal;
using orva::SharedPointer;
using orva::keldra::Attribute;
using orva::keldra::Link;
using orva::keldra::Object;

const int kBatch = 1000;
std::string g_home;

std::string place_name(long long i) { return "Cafe " + std::to_string(i) + " Market Square"; }

// The two earlier places a new place links to.
unsigned int target(long long i, int which) {
  return static_cast<unsigned int>(1 + (i * 7919 + which * 104729) % (i > 1 ? i - 1 : 1));
}

Object make_place(long long i) {
  Object o("location");
  o.set_name(place_name(i));
  o.set_service(std::string("personal"));
  SharedPointer<Attribute> address(new Attribute("address", "address"));
  address->add_field("text")->set_value(place_name(i) + ", 00170 Helsinki");
  o.get_attributes().push_back(address);
  SharedPointer<Attribute> position(new Attribute("position", "position"));
  position->add_field("latitude")->set_value(60.0 + (i % 1000) / 1000.0);
  position->add_field("longitude")->set_value(24.0 + (i % 997) / 1000.0);
  o.get_attributes().push_back(position);
  for (int k = 0; k < 2; ++k) {
    Link link;
    link.set_name(std::string(k ? "near" : "member"));
    link.set_local_link(target(i, k));
    o.get_links().push_back(link);
  }
  return o;
}

// Plain SQLite writer of the rows a place makes.
class PlainWriter {
 public:
  explicit PlainWriter(sqlite3* db) : m_db(db) {
    const char* sql[] = {
        "INSERT INTO object (global_id, class_name, name, version, timestamp, service, owner, "
        "sharing, modified, linkmods, updeps, downdeps, no_sync) VALUES (NULL, 'location', ?, 0, "
        "?, 'personal', NULL, 0, 1, 0, 0, 0, 0)",
        "INSERT INTO attribute (class_name, name, value_blob, parent_object, parent_attribute) "
        "VALUES (?, ?, NULL, ?, 0)",
        "INSERT INTO text(type, name, value_text, collate_key, parent_object, parent_attribute) "
        "VALUES (8, 'text', ?, ?, ?, ?)",
        "INSERT INTO position (latitude, longitude, parent_object, parent_attribute) VALUES (?, "
        "?, ?, ?)",
        "INSERT INTO link (target_id, target_gid, name, parent_object, parent_attribute) VALUES "
        "(?, NULL, ?, ?, 0)",
    };
    for (int i = 0; i < 5; ++i) sqlite3_prepare_v2(m_db, sql[i], -1, &m_stmt[i], nullptr);
  }
  ~PlainWriter() {
    for (sqlite3_stmt* s : m_stmt) sqlite3_finalize(s);
  }
  void write(long long i) {
    const std::string name = place_name(i);
    const std::string text = name + ", 00170 Helsinki";
    const std::string key = collate_key(casefold_and_normalize(text));
    sqlite3_bind_text(m_stmt[0], 1, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(m_stmt[0], 2, 1700000000000LL + i);
    step(m_stmt[0]);
    const sqlite3_int64 lid = sqlite3_last_insert_rowid(m_db);
    sqlite3_bind_text(m_stmt[1], 1, "address", -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(m_stmt[1], 2, "address", -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(m_stmt[1], 3, lid);
    step(m_stmt[1]);
    const sqlite3_int64 address = sqlite3_last_insert_rowid(m_db);
    sqlite3_bind_text(m_stmt[2], 1, text.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(m_stmt[2], 2, key.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(m_stmt[2], 3, lid);
    sqlite3_bind_int64(m_stmt[2], 4, address);
    step(m_stmt[2]);
    sqlite3_bind_text(m_stmt[1], 1, "position", -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(m_stmt[1], 2, "position", -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(m_stmt[1], 3, lid);
    step(m_stmt[1]);
    const sqlite3_int64 position = sqlite3_last_insert_rowid(m_db);
    sqlite3_bind_double(m_stmt[3], 1, 60.0 + (i % 1000) / 1000.0);
    sqlite3_bind_double(m_stmt[3], 2, 24.0 + (i % 997) / 1000.0);
    sqlite3_bind_int64(m_stmt[3], 3, lid);
    sqlite3_bind_int64(m_stmt[3], 4, position);
    step(m_stmt[3]);
    for (int k = 0; k < 2; ++k) {
      sqlite3_bind_int64(m_stmt[4], 1, target(i, k));
      sqlite3_bind_text(m_stmt[4], 2, k ? "near" : "member", -1, SQLITE_TRANSIENT);
      sqlite3_bind_int64(m_stmt[4], 3, lid);
      step(m_stmt[4]);
    }
  }

 private:
  static void step(sqlite3_stmt* s) {
    sqlite3_step(s);
    sqlite3_reset(s);
    sqlite3_clear_bindings(s);
  }
  sqlite3* m_db;
  sqlite3_stmt* m_stmt[5];
};

sqlite3* raw_open(const std::string& path) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  sqlite3_exec(db, "PRAGMA synchronous=FULL;", nullptr, nullptr, nullptr);
  return db;
}

void remove_db(const std::string& path) {
  for (const char* suffix : {"", "-wal", "-shm"}) ::unlink((path + suffix).c_str());
}

void copy_file(const std::string& from, const std::string& to) {
  std::ifstream in(from, std::ios::binary);
  std::ofstream out(to, std::ios::binary);
  out << in.rdbuf();
}

// A store file already holding |n| places, written once by the plain writer.
std::string template_file(long long n) {
  static std::map<long long, std::string> made;
  if (made.count(n)) return made[n];
  const std::string path = g_home + "/template_" + std::to_string(n) + ".db";
  remove_db(path);
  {
    DatabaseConnection schema;  // schema 5, the link indexes, WAL
    schema.open(path);
  }
  sqlite3* db = raw_open(path);
  {
    PlainWriter writer(db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    for (long long i = 1; i <= n; ++i) writer.write(i);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  }
  sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  made[n] = path;
  return path;
}

// The plain program's own copy of the file holding |n| places.
sqlite3* open_plain_copy(long long n) {
  const std::string path = g_home + "/plain.db";
  remove_db(path);
  copy_file(template_file(n), path);
  return raw_open(path);
}

// Inserts, per iteration, |per_transaction| objects made by |make| (from index |next|
// on, made outside the timing) in one caller transaction, on a copy of the store of
// |size| places.
template <class Make>
void insert_batches(benchmark::State& state, long long size, int per_transaction, long long next,
                    Make make) {
  SharedPointer<orva::keldra::StringPool> pool = orva::keldra::StringPool::create();
  const std::string path = g_home + "/.cities/OstraMaps.db";
  remove_db(path);
  copy_file(template_file(size), path);
  Database db;
  db.init(nullptr);
  std::vector<Object> batch;
  for (auto _ : state) {
    state.PauseTiming();
    batch.clear();  // the previous batch goes outside the timed part
    for (int k = 0; k < per_transaction; ++k) batch.push_back(make(next + k));
    state.ResumeTiming();
    db.begin_transaction(true);
    for (Object& o : batch) {
      if (db.insert_object(o, false) != 0) state.SkipWithError("insert failed");
    }
    db.commit_transaction();
    next += per_transaction;
  }
  state.SetItemsProcessed(state.iterations() * per_transaction);
}

void BM_InsertPlace_Store(benchmark::State& state) {
  const long long size = state.range(0);
  insert_batches(state, size, kBatch, size + 1, make_place);
}

void BM_InsertPlace_Plain(benchmark::State& state) {
  const long long size = state.range(0);
  sqlite3* db = open_plain_copy(size);
  {
    PlainWriter writer(db);
    long long next = size + 1;
    for (auto _ : state) {
      sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
      for (int k = 0; k < kBatch; ++k) writer.write(next + k);
      sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
      next += kBatch;
    }
  }
  sqlite3_close(db);
  state.SetItemsProcessed(state.iterations() * kBatch);
}

BENCHMARK(BM_InsertPlace_Store)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Iterations(5)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InsertPlace_Plain)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Iterations(5)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond);

// ---- linked writes ----

const long long kLinkedSize = 10000;
const int kWaypoints = 50;
const int kRoutesPerTransaction = 20;
const int kItems = 1000;
const int kCollectionsPerTransaction = 10;

Object make_route(long long i) {
  Object o("route");
  o.set_name("Route " + std::to_string(i));
  o.set_service(std::string("personal"));
  SharedPointer<Attribute> points(new Attribute("points", "list"));
  for (int w = 0; w < kWaypoints; ++w) {
    SharedPointer<Attribute> point(new Attribute("", "way_point"));
    SharedPointer<Attribute> position(new Attribute("position", "position"));
    position->add_field("latitude")->set_value(60.0 + w / 1000.0);
    position->add_field("longitude")->set_value(24.0 + (i % 997) / 1000.0);
    point->get_attributes().push_back(position);
    Link link;
    link.set_name(std::string("location"));
    link.set_local_link(target(i * kWaypoints + w + kLinkedSize, 0) % kLinkedSize + 1);
    point->get_links().push_back(link);
    points->get_attributes().push_back(point);
  }
  o.get_attributes().push_back(points);
  return o;
}

Object make_collection(long long i) {
  Object o("collection");
  o.set_name("Collection " + std::to_string(i));
  o.set_service(std::string("personal"));
  SharedPointer<Attribute> items(new Attribute("items", "list"));
  for (int k = 0; k < kItems; ++k) {
    Link link;
    link.set_local_link(static_cast<unsigned int>((i * 7919 + k) % kLinkedSize + 1));
    items->get_links().push_back(link);
  }
  o.get_attributes().push_back(items);
  return o;
}

// The plain program's own file: places, their names, and the links of routes and
// collections, with the indexes a program needs to list an object's links and to find
// the objects that link to a place.
class PlainLinked {
 public:
  PlainLinked() {
    const std::string path = g_home + "/plain_linked.db";
    remove_db(path);
    m_db = raw_open(path);
    sqlite3_exec(m_db,
                 "PRAGMA journal_mode=WAL;"
                 "CREATE TABLE object (id INTEGER PRIMARY KEY, class TEXT, name TEXT);"
                 "CREATE TABLE link (id INTEGER PRIMARY KEY, parent INTEGER, seq INTEGER, "
                 "latitude REAL, longitude REAL, target INTEGER);"
                 "CREATE INDEX link_parent ON link(parent);"
                 "CREATE INDEX link_target ON link(target);",
                 nullptr, nullptr, nullptr);
    sqlite3_exec(m_db, "BEGIN", nullptr, nullptr, nullptr);
    prepare("INSERT INTO object (class, name) VALUES (?, ?)", &m_object);
    prepare("INSERT INTO link (parent, seq, latitude, longitude, target) VALUES (?, ?, ?, ?, ?)",
            &m_link);
    prepare("SELECT 1 FROM object WHERE id=?", &m_exists);
    for (long long i = 1; i <= kLinkedSize; ++i) object("location", place_name(i));
    sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
  }
  ~PlainLinked() {
    for (sqlite3_stmt* s : {m_object, m_link, m_exists}) sqlite3_finalize(s);
    sqlite3_close(m_db);
  }
  sqlite3* db() { return m_db; }

  sqlite3_int64 object(const char* class_name, const std::string& name) {
    sqlite3_bind_text(m_object, 1, class_name, -1, SQLITE_STATIC);
    sqlite3_bind_text(m_object, 2, name.c_str(), -1, SQLITE_TRANSIENT);
    step(m_object);
    return sqlite3_last_insert_rowid(m_db);
  }
  void link(sqlite3_int64 parent, int seq, double latitude, double longitude,
            unsigned int target) {
    sqlite3_bind_int64(m_exists, 1, target);
    if (sqlite3_step(m_exists) != SQLITE_ROW) throw std::runtime_error("no target");
    sqlite3_reset(m_exists);
    sqlite3_bind_int64(m_link, 1, parent);
    sqlite3_bind_int(m_link, 2, seq);
    sqlite3_bind_double(m_link, 3, latitude);
    sqlite3_bind_double(m_link, 4, longitude);
    sqlite3_bind_int64(m_link, 5, target);
    step(m_link);
  }

 private:
  void prepare(const char* sql, sqlite3_stmt** out) {
    if (sqlite3_prepare_v2(m_db, sql, -1, out, nullptr) != SQLITE_OK) {
      throw std::runtime_error(sqlite3_errmsg(m_db));
    }
  }
  static void step(sqlite3_stmt* s) {
    sqlite3_step(s);
    sqlite3_reset(s);
  }
  sqlite3* m_db;
  sqlite3_stmt* m_object = nullptr;
  sqlite3_stmt* m_link = nullptr;
  sqlite3_stmt* m_exists = nullptr;
};

// range(0): 0 routes, 1 collections.
void BM_Linked_Store(benchmark::State& state) {
  if (state.range(0) == 0) {
    insert_batches(state, kLinkedSize, kRoutesPerTransaction, 1, make_route);
  } else {
    insert_batches(state, kLinkedSize, kCollectionsPerTransaction, 1, make_collection);
  }
}

void BM_Linked_Plain(benchmark::State& state) {
  const bool routes = state.range(0) == 0;
  const int per_transaction = routes ? kRoutesPerTransaction : kCollectionsPerTransaction;
  SharedPointer<orva::keldra::StringPool> pool = orva::keldra::StringPool::create();
  PlainLinked plain;
  long long next = 1;
  std::vector<Object> batch;
  for (auto _ : state) {
    state.PauseTiming();
    batch.clear();
    for (int k = 0; k < per_transaction; ++k) {
      batch.push_back(routes ? make_route(next + k) : make_collection(next + k));
    }
    state.ResumeTiming();
    sqlite3_exec(plain.db(), "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
    for (const Object& o : batch) {
      const sqlite3_int64 id = plain.object(routes ? "route" : "collection", o.get_name());
      const Attribute& list = *o.get_attributes().at(0);
      if (routes) {
        const orva::keldra::AttributeList& points = list.get_attributes();
        for (unsigned int w = 0; w < points.size(); ++w) {
          const Attribute& point = *points.at(w);
          const Attribute& position = *point.get_attributes().at(0);
          double latitude = 0, longitude = 0;
          position.get_fields().at(0).get_value(latitude);
          position.get_fields().at(1).get_value(longitude);
          plain.link(id, static_cast<int>(w), latitude, longitude,
                     point.get_links().begin()->get_local_link());
        }
      } else {
        int seq = 0;
        for (const Link& link : list.get_links()) plain.link(id, seq++, 0, 0, link.get_local_link());
      }
    }
    sqlite3_exec(plain.db(), "COMMIT", nullptr, nullptr, nullptr);
    next += per_transaction;
  }
  state.SetItemsProcessed(state.iterations() * per_transaction);
}

BENCHMARK(BM_Linked_Store)->Arg(0)->Arg(1)->Iterations(20)->Repetitions(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Linked_Plain)->Arg(0)->Arg(1)->Iterations(20)->Repetitions(3)->Unit(benchmark::kMillisecond);

const long long kFacadeSize = 10000;

// The public store, opened and initialised on a copy of the 10k file.
class OpenStore {
 public:
  explicit OpenStore(long long size = kFacadeSize) {
    const std::string path = g_home + "/.cities/OstraMaps.db";
    remove_db(path);
    copy_file(template_file(size), path);
    orva::keldra::Store::open(m_store);
    Progress init;
    m_store->init(init);
    while (!init.done) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    ok = init.status == 0;
  }
  ~OpenStore() { m_store.release(); }
  orva::keldra::Store& operator*() { return *m_store; }

  struct Progress : public orva::keldra::ProgressHandler {
    void handle_progress(float, orva::ErrorCode code) override {
      status = code;
      ++reports;
      done = code != ORVA_ERROR_KELDRA_IN_PROGRESS;
    }
    orva::ErrorCode status = 0;
    int reports = 0;
    bool done = false;
  };
  bool ok = false;

 private:
  SharedPointer<orva::keldra::Store> m_store;
};

void BM_Facade_InsertAutocommit_Store(benchmark::State& state) {
  OpenStore store;
  if (!store.ok) return state.SkipWithError("init failed");
  long long next = kFacadeSize + 1;
  for (auto _ : state) {
    state.PauseTiming();
    Object place = make_place(next++);
    state.ResumeTiming();
    if ((*store).insert_object(place) != 0) state.SkipWithError("insert failed");
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_Facade_InsertAutocommit_Plain(benchmark::State& state) {
  sqlite3* db = open_plain_copy(kFacadeSize);
  {
    PlainWriter writer(db);
    long long next = kFacadeSize + 1;
    for (auto _ : state) {
      sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
      writer.write(next++);
      sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    }
  }
  sqlite3_close(db);
  state.SetItemsProcessed(state.iterations());
}

void BM_Facade_InsertBatch_Store(benchmark::State& state) {
  OpenStore store;
  if (!store.ok) return state.SkipWithError("init failed");
  long long next = kFacadeSize + 1;
  std::vector<Object> batch;
  for (auto _ : state) {
    state.PauseTiming();
    batch.clear();
    for (int k = 0; k < kBatch; ++k) batch.push_back(make_place(next + k));
    state.ResumeTiming();
    (*store).begin_transaction(true);
    for (Object& o : batch) {
      if ((*store).insert_object(o) != 0) state.SkipWithError("insert failed");
    }
    (*store).commit_transaction();
    next += kBatch;
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

// The local id read at each turn: spread over the file.
unsigned int read_id(long long turn) {
  return static_cast<unsigned int>(1 + (turn * 7919) % kFacadeSize);
}

void BM_Facade_GetObject_Store(benchmark::State& state) {
  OpenStore store;
  if (!store.ok) return state.SkipWithError("init failed");
  long long turn = 0;
  for (auto _ : state) {
    Object read;
    if ((*store).get_object(read_id(turn++), read) != 0) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(read);
  }
  state.SetItemsProcessed(state.iterations());
}

// Reads back the rows of one place with prepared statements in one read transaction.
void BM_Facade_GetObject_Plain(benchmark::State& state) {
  sqlite3* db = open_plain_copy(kFacadeSize);
  const char* sql[] = {
      "SELECT local_id, global_id, class_name, name, version, timestamp, service, owner, "
      "sharing, modified, linkmods, updeps, downdeps, no_sync FROM object WHERE local_id = ?",
      "SELECT id, class_name, name, value_blob, parent_attribute FROM attribute WHERE "
      "parent_object = ?",
      "SELECT id, name, type, value_text, parent_attribute FROM text WHERE parent_object = ?",
      "SELECT id, latitude, longitude, accuracy, altitude, altitude_above_sea, alt_accuracy, "
      "datetime, course, speed, datum, parent_attribute FROM position WHERE parent_object = ?",
      "SELECT id, target_id, target_gid, name, parent_attribute FROM link WHERE parent_object = ?",
  };
  sqlite3_stmt* stmt[5];
  for (int i = 0; i < 5; ++i) sqlite3_prepare_v2(db, sql[i], -1, &stmt[i], nullptr);
  long long turn = 0;
  for (auto _ : state) {
    const unsigned int id = read_id(turn++);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    long long columns = 0;
    for (sqlite3_stmt* s : stmt) {
      sqlite3_bind_int64(s, 1, id);
      while (sqlite3_step(s) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(s); ++c) {
          if (sqlite3_column_type(s, c) == SQLITE_TEXT) {
            columns += std::string(reinterpret_cast<const char*>(sqlite3_column_text(s, c))).size();
          } else {
            columns += sqlite3_column_int64(s, c);
          }
        }
      }
      sqlite3_reset(s);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    benchmark::DoNotOptimize(columns);
  }
  for (sqlite3_stmt* s : stmt) sqlite3_finalize(s);
  sqlite3_close(db);
  state.SetItemsProcessed(state.iterations());
}

// Loads 2,000 places by name; objects_per_slice is what one turn of the event loop takes.
void BM_Facade_CacheLoad_Store(benchmark::State& state) {
  const unsigned int kLoaded = 2000;
  OpenStore store;
  if (!store.ok) return state.SkipWithError("init failed");
  std::vector<unsigned int> ids;
  for (unsigned int n = 0; n < kLoaded; ++n) ids.push_back(read_id(n));
  double slices = 0;
  for (auto _ : state) {
    SharedPointer<orva::keldra::ObjectCache> cache = (*store).get_object_cache();
    OpenStore::Progress progress;
    cache->set_progress_listener(progress);
    cache->set_object_order(orva::keldra::ObjectCache::name_order);
    cache->set_object_ids(ids);
    cache->load();
    while (!progress.done) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (progress.status != 0) state.SkipWithError("load failed");
    slices += progress.reports;
  }
  state.counters["objects_per_slice"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kLoaded / slices);
  state.SetItemsProcessed(state.iterations() * kLoaded);
}

// get_object of random ids over 10k and 100k places, beside a plain program reading the
// object's row and its text rows from its own copy of the same file.
std::vector<unsigned int> random_ids(long long size) {
  std::mt19937 random(42);
  std::vector<unsigned int> ids(4096);
  for (unsigned int& id : ids) id = static_cast<unsigned int>(1 + random() % size);
  return ids;
}

void BM_GetObject_Store(benchmark::State& state) {
  OpenStore store(state.range(0));
  if (!store.ok) return state.SkipWithError("init failed");
  const std::vector<unsigned int> ids = random_ids(state.range(0));
  size_t turn = 0;
  for (auto _ : state) {
    Object read;
    if ((*store).get_object(ids[turn++ % ids.size()], read) != 0) {
      state.SkipWithError("read failed");
    }
    benchmark::DoNotOptimize(read);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_GetObject_RowAndTexts(benchmark::State& state) {
  sqlite3* db = open_plain_copy(state.range(0));
  const char* sql[] = {
      "SELECT local_id, global_id, class_name, name, version, timestamp, service, owner, "
      "sharing, modified, linkmods, updeps, downdeps, no_sync FROM object WHERE local_id = ?",
      "SELECT id, name, type, value_text, parent_attribute FROM text WHERE parent_object = ?",
  };
  sqlite3_stmt* stmt[2];
  for (int i = 0; i < 2; ++i) sqlite3_prepare_v2(db, sql[i], -1, &stmt[i], nullptr);
  const std::vector<unsigned int> ids = random_ids(state.range(0));
  size_t turn = 0;
  for (auto _ : state) {
    const unsigned int id = ids[turn++ % ids.size()];
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    std::vector<std::string> texts;
    for (sqlite3_stmt* s : stmt) {
      sqlite3_bind_int64(s, 1, id);
      while (sqlite3_step(s) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(s); ++c) {
          if (sqlite3_column_type(s, c) == SQLITE_TEXT) {
            texts.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, c)));
          } else {
            benchmark::DoNotOptimize(sqlite3_column_int64(s, c));
          }
        }
      }
      sqlite3_reset(s);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    benchmark::DoNotOptimize(texts);
  }
  for (sqlite3_stmt* s : stmt) sqlite3_finalize(s);
  sqlite3_close(db);
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_GetObject_Store)->Arg(10000)->Arg(100000)->Iterations(20000)->Repetitions(3);
BENCHMARK(BM_GetObject_RowAndTexts)->Arg(10000)->Arg(100000)->Iterations(20000)->Repetitions(3);

// Resident memory of 100k places loaded through an object cache: the growth of the
// process from before the cache was made to after its load, per place, beside the
// file's size per place.
void BM_CacheMemory(benchmark::State& state) {
  const long long size = state.range(0);
  OpenStore store(size);
  if (!store.ok) return state.SkipWithError("init failed");
  std::vector<unsigned int> ids;
  for (long long n = 1; n <= size; ++n) ids.push_back(static_cast<unsigned int>(n));
  double per_place = 0;
  for (auto _ : state) {
    malloc_trim(0);
    const long before = keldra_test::status_kib("VmRSS");
    SharedPointer<orva::keldra::ObjectCache> cache = (*store).get_object_cache();
    OpenStore::Progress progress;
    cache->set_progress_listener(progress);
    cache->set_object_ids(ids);
    cache->load();
    while (!progress.done) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (progress.status != 0) state.SkipWithError("load failed");
    malloc_trim(0);
    per_place = 1024.0 * static_cast<double>(keldra_test::status_kib("VmRSS") - before) /
                static_cast<double>(size);
  }
  std::ifstream file(g_home + "/.cities/OstraMaps.db", std::ios::binary | std::ios::ate);
  state.counters["bytes_per_place"] = per_place;
  state.counters["file_bytes_per_place"] =
      static_cast<double>(file.tellg()) / static_cast<double>(size);
}
BENCHMARK(BM_CacheMemory)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_Facade_InsertAutocommit_Store)->Iterations(300)->Repetitions(3);
BENCHMARK(BM_Facade_InsertAutocommit_Plain)->Iterations(300)->Repetitions(3);
BENCHMARK(BM_Facade_InsertBatch_Store)
    ->Iterations(5)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Facade_GetObject_Store)->Iterations(20000)->Repetitions(3);
BENCHMARK(BM_Facade_GetObject_Plain)->Iterations(20000)->Repetitions(3);
BENCHMARK(BM_Facade_CacheLoad_Store)->Iterations(3)->Repetitions(3)->Unit(benchmark::kMillisecond);

class RatioReporter : public keldra_bench::MedianReporter {
 public:
  void Finalize() override {
    ConsoleReporter::Finalize();
    const struct {
      const char* what;
      const char* store;
      const char* plain;
      double store_items;  // per timed iteration
      double plain_items;
    } facade[] = {
        {"Store::insert_object, autocommitted", "BM_Facade_InsertAutocommit_Store/",
         "BM_Facade_InsertAutocommit_Plain/", 1, 1},
        {"Store::insert_object, batches of 1,000", "BM_Facade_InsertBatch_Store/",
         "BM_InsertPlace_Plain/10000", kBatch, kBatch},
        {"Store::get_object", "BM_Facade_GetObject_Store/", "BM_Facade_GetObject_Plain/", 1, 1},
    };
    for (const auto& f : facade) {
      if (times.count(f.store) && times.count(f.plain)) {
        const double store = times[f.store] / f.store_items;
        const double plain = times[f.plain] / f.plain_items;
        std::printf("%s (10k places): %.3f x plain SQLite (CPU time: %.3f x)\n", f.what,
                    store / plain,
                    (cpu_times[f.store] / f.store_items) / (cpu_times[f.plain] / f.plain_items));
      }
    }
    for (const char* size : {"10000", "100000"}) {
      const std::string st = std::string("BM_GetObject_Store/") + size;
      const std::string pl = std::string("BM_GetObject_RowAndTexts/") + size;
      if (times.count(st) && times.count(pl)) {
        std::printf("get_object, random ids over %s places: %.1f us, %.3f x the row and its "
                    "text rows (CPU time: %.3f x)\n",
                    size, times[st] / 1000.0, times[st] / times[pl], cpu_times[st] / cpu_times[pl]);
      }
    }
    for (const char* kind : {"0", "1"}) {
      const std::string st = std::string("BM_Linked_Store/") + kind;
      const std::string pl = std::string("BM_Linked_Plain/") + kind;
      if (times.count(st) && times.count(pl)) {
        const int per = kind[0] == '0' ? kRoutesPerTransaction : kCollectionsPerTransaction;
        std::printf("%s: %.3f ms each, %.3f x plain SQLite (CPU time: %.3f x)\n",
                    kind[0] == '0' ? "route of 50 waypoints, 20 per transaction"
                                   : "collection of 1,000 links, 10 per transaction",
                    times[st] / per, times[st] / times[pl], cpu_times[st] / cpu_times[pl]);
      }
    }
    for (const char* size : {"1000", "10000", "100000"}) {
      const std::string s = std::string("BM_InsertPlace_Store/") + size;
      const std::string p = std::string("BM_InsertPlace_Plain/") + size;
      const std::string base = "BM_InsertPlace_Store/1000";
      if (times.count(s) && times.count(p) && times.count(base)) {
        std::printf(
            "store size %6s: per insert %.1f us, %.3f x the 1k cost, %.3f x plain SQLite"
            " (CPU time: %.3f x the 1k cost, %.3f x plain)\n",
            size, times[s] * 1000.0 / kBatch, times[s] / times[base], times[s] / times[p],
            cpu_times[s] / cpu_times[base], cpu_times[s] / cpu_times[p]);
      }
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  g_home = keldra_bench::make_bench_folder();
  if (g_home.empty()) return 1;
  setenv("HOME", g_home.c_str(), 1);
  orva::keldra::internal::mkdir(g_home + "/.cities");
  // glibc adapts its trim threshold only after the first large free; until then the
  // first runs pay for giving memory back to the system after every statement. Fixed
  // thresholds give every size and both writers the same allocator.
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  mallopt(M_TOP_PAD, 16 << 20);
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  // The store reports its opening, and the object cache steps, from a Qt event loop.
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return keldra_bench::remove_bench_folder(g_home);
}
