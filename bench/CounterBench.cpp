// The dependency counters on application updates of a place, in one caller transaction,
// beside the same update of a place whose counters are 0 (its photos have their server
// copies): the place lies under two collections, and
// - Counted: its two photos exist only locally, so its upload counter stays above 0 and
//   the write checks whether a cycle of links holds it up;
// - InCycle: the same, with the two collections linking each other, so the objects on
//   and above the cycle are counted afresh on each write.
// The ratios to the baseline are printed at the end.
#include "adaptation_umbo/database/Database.h"

#include <keldra/Attribute.h>
#include <keldra/LoggerUmbo.h>
#include <keldra/Object.h>
#include <keldra/StringPool.h>

#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using orva::SharedPointer;
using orva::keldra::Attribute;
using orva::keldra::Link;
using orva::keldra::Object;
using orva::keldra::internal::Database;
using orva::keldra::internal::LoggerUmbo;

std::string g_home;

Link link_to(unsigned int local) {
  Link l;
  l.set_name(std::string("member"));
  l.set_local_link(local);
  return l;
}

Object photo(bool uploaded) {
  Object o("multimedia");
  o.set_name(std::string("photo"));
  SharedPointer<Attribute> local(new Attribute("local_uri", "uri"));
  local->add_field("url")->set_value("file:///home/user/p.jpg");
  o.get_attributes().push_back(local);
  if (uploaded) {
    SharedPointer<Attribute> remote(new Attribute("remote_uri", "uri"));
    remote->add_field("url")->set_value("https://example.org/p.jpg");
    o.get_attributes().push_back(remote);
  }
  return o;
}

Object place(const std::vector<unsigned int>& photos) {
  Object o("location");
  o.set_name(std::string("Cafe Market Square"));
  o.set_service(std::string("personal"));
  SharedPointer<Attribute> address(new Attribute("address", "address"));
  address->add_field("text")->set_value(std::string("Market Square 1, 00170 Helsinki"));
  o.get_attributes().push_back(address);
  SharedPointer<Attribute> position(new Attribute("position", "position"));
  position->add_field("latitude")->set_value(60.1675);
  position->add_field("longitude")->set_value(24.9531);
  o.get_attributes().push_back(position);
  for (unsigned int p : photos) o.get_links().push_back(link_to(p));
  return o;
}

Object collection(const std::vector<unsigned int>& members) {
  Object o("collection");
  o.set_name(std::string("trip"));
  for (unsigned int m : members) o.get_links().push_back(link_to(m));
  return o;
}

unsigned int insert(Database& db, Object o) {
  db.insert_object(o, true);
  return o.get_local_id();
}

// A fresh store with the place under two collections; updates the place in the loop.
void run(benchmark::State& state, bool uploaded, bool cycle) {
  const std::string store = g_home + "/.cities/OstraMaps.db";
  for (const char* suffix : {"", "-wal", "-shm"}) ::unlink((store + suffix).c_str());
  SharedPointer<orva::keldra::StringPool> pool = orva::keldra::StringPool::create();
  Database db;
  db.init(nullptr);
  const unsigned int a = insert(db, photo(uploaded));
  const unsigned int b = insert(db, photo(uploaded));
  const unsigned int p = insert(db, place({a, b}));
  const unsigned int inner = insert(db, collection({p}));
  const unsigned int outer = insert(db, collection({inner}));
  if (cycle) {
    Object closed = collection({p, outer});
    closed.set_local_id(inner);
    db.update_object(closed, true);
  }
  db.begin_transaction(true);
  for (auto _ : state) {
    Object changed = place({a, b});
    changed.set_local_id(p);
    if (db.update_object(changed, false) != 0) state.SkipWithError("update failed");
  }
  db.commit_transaction();
}

void BM_UpdatePlace_Plain(benchmark::State& state) { run(state, true, false); }
void BM_UpdatePlace_Counted(benchmark::State& state) { run(state, false, false); }
void BM_UpdatePlace_InCycle(benchmark::State& state) { run(state, false, true); }

BENCHMARK(BM_UpdatePlace_Plain)->Iterations(5000)->Repetitions(5);
BENCHMARK(BM_UpdatePlace_Counted)->Iterations(5000)->Repetitions(5);
BENCHMARK(BM_UpdatePlace_InCycle)->Iterations(5000)->Repetitions(5);

class RatioReporter : public keldra_bench::MedianReporter {
 public:
  void Finalize() override {
    ConsoleReporter::Finalize();
    ratio("update, counters above 0 / counters 0 (median time)", "BM_UpdatePlace_Counted",
          "BM_UpdatePlace_Plain");
    ratio("update, under a cycle / counters 0 (median time)", "BM_UpdatePlace_InCycle",
          "BM_UpdatePlace_Plain");
  }
};

}  // namespace

int main(int argc, char** argv) {
  g_home = keldra_bench::make_bench_folder();
  if (g_home.empty()) return 1;
  setenv("HOME", g_home.c_str(), 1);
  ::mkdir((g_home + "/.cities").c_str(), 0700);
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return keldra_bench::remove_bench_folder(g_home);
}
