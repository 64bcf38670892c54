// The object exchange of the direct transfer for N = 100, 1,000 and 5,000 typical places,
// against the loopback HTTPS server answering canned replies (files prepared before each
// iteration, so the server is not the bottleneck). Each run goes through the library's
// handler over the Qt network adapter and the real store file.
//
// Figures per N, in microseconds per object: "search" (start to the OBJECTS step),
// "build" (the package built and handed to the adapter), "post" (until the reply body is
// in), "parse" (the reply parsed by a parser whose consumer keeps nothing) and "store"
// (the rest of the reply's handling: the writes, their transaction, the mapping).
// Baselines in the same run: insert_object of the same places in one transaction
// (BM_InsertBaseline), and the sync adapter's replace of stored places by the server's
// copies in one transaction (BM_ReplaceBaseline, the write a confirmed upload makes).
// Printed at the end: each N's cost per object over N = 100's ("growth", goal <= 1.3 at
// 5,000), and the store part over the baselines per object ("x_insert", goal <= 2;
// "x_replace").
#include "support/HttpsTestServer.h"
#include "support/TestEnv.h"
#include "compact/SyncSerializer.h"
#include "transfer/DirectTransferHandlerImpl.h"

#include <keldra/Attribute.h>
#include <keldra/DataAdapter.h>
#include <keldra/DatabaseManager.h>
#include <keldra/DynamicBuffer.h>
#include <keldra/Field.h>
#include <keldra/LoggerUmbo.h>
#include <keldra/Object.h>
#include <keldra/ProgressHandler.h>
#include <keldra/Repository.h>
#include <keldra/Static.h>
#include <keldra/SyncAdapter.h>

#include <QCoreApplication>
#include <QDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

using orva::SharedPointer;
using orva::keldra::Attribute;
using orva::keldra::Object;
using orva::keldra::internal::DirectTransferHandler;
using orva::keldra::internal::DirectTransferHandlerImpl;
using Clock = std::chrono::steady_clock;

keldra_test::HttpsTestServer* g_server = nullptr;
SharedPointer<orva::keldra::DataAdapter> g_adapter;
SharedPointer<orva::keldra::Repository> g_repo;
std::string g_root;
unsigned long long g_next_global = 1000000;

double us(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

Object make_place(long long i, unsigned long long global_id = 0) {
  Object o("location");
  o.set_name("Cafe " + std::to_string(i) + " Market Square");
  o.set_service(std::string("personal"));
  o.set_global_id(global_id);
  SharedPointer<Attribute> address(new Attribute("address", "address"));
  address->add_field("text")->set_value("Market Square " + std::to_string(i) + ", Helsinki");
  address->add_field("postal")->set_value(std::string("00100"));
  o.get_attributes().push_back(address);
  SharedPointer<Attribute> position(new Attribute("position", "position"));
  position->add_field("lat")->set_value(60.1699 + static_cast<double>(i % 1000) * 1e-4);
  position->add_field("lon")->set_value(24.9384 + static_cast<double>(i % 997) * 1e-4);
  o.get_attributes().push_back(position);
  return o;
}

std::string compact(orva::keldra::internal::SyncSerializer& serializer, const Object& object) {
  SharedPointer<orva::keldra::DynamicBuffer> buffer(new orva::keldra::DynamicBuffer);
  serializer.encode(object, buffer, false);
  return std::string(reinterpret_cast<const char*>(buffer->get_data()), buffer->get_data_length());
}

struct Parts {
  double search = 0, build = 0, post = 0, parse = 0, store = 0;
};

class NullConsumer : public orva::keldra::internal::SyncParser::Consumer {
 public:
  orva::ErrorCode handle_object_status(
      const orva::keldra::internal::SyncParser::ObjectStatus&) override {
    return 0;
  }
  orva::ErrorCode handle_forward_status(
      const orva::keldra::internal::SyncParser::ForwardStatus&) override {
    return 0;
  }
  orva::ErrorCode handle_response_status(
      const orva::keldra::internal::SyncParser::ResponseStatus&) override {
    return 0;
  }
};

// The library's handler with clocks around its steps.
class TimedHandler : public DirectTransferHandlerImpl, public DirectTransferHandler::Listener {
 public:
  explicit TimedHandler(const SharedPointer<orva::keldra::DataAdapter>& adapter)
      : DirectTransferHandlerImpl(adapter) {}

  orva::ErrorCode run(Parts& parts) {
    m_parts = &parts;
    m_final = ORVA_ERROR_KELDRA_IN_PROGRESS;
    orva::keldra::SyncService::SyncParams params;
    params.service = "personal";
    params.user = "anna";
    params.password = "secret";
    m_start = Clock::now();
    if (start(params, "bench-device", *this) == ORVA_ERROR_KELDRA_IN_PROGRESS) {
      while (m_final == ORVA_ERROR_KELDRA_IN_PROGRESS) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
      }
    }
    return m_final;
  }

  void handle_transfer_progress(orva::ErrorCode status, float, Phase) override {
    if (status != ORVA_ERROR_KELDRA_IN_PROGRESS) m_final = status;
  }
  void handle_network_response_body(
      const SharedPointer<orva::keldra::DynamicBuffer>& body) override {
    const Clock::time_point begin = Clock::now();
    m_parts->post += us(begin - m_sent);
    // The parse alone, with a consumer that keeps nothing: the rest of the handling is
    // the store's (the writes, their transaction and the mapping).
    NullConsumer null;
    orva::keldra::internal::SyncParser parser;
    parser.parse_response_message(body->get_data(), static_cast<int>(body->get_data_length()),
                                  &null);
    const Clock::time_point parsed = Clock::now();
    DirectTransferHandlerImpl::handle_network_response_body(body);
    const double handled = us(Clock::now() - parsed);
    const double parse = us(parsed - begin);
    m_parts->parse += parse;
    m_parts->store += handled > parse ? handled - parse : 0.0;
    m_sent = Clock::now();
  }

 protected:
  orva::ErrorCode send_objects_message() override {
    const Clock::time_point begin = Clock::now();
    if (!m_in_objects) m_parts->search += us(begin - m_start);
    m_in_objects = true;
    const orva::ErrorCode r = DirectTransferHandlerImpl::send_objects_message();
    m_sent = Clock::now();
    if (r == ORVA_ERROR_KELDRA_IN_PROGRESS) m_parts->build += us(m_sent - begin);
    return r;
  }

 private:
  Parts* m_parts = nullptr;
  orva::ErrorCode m_final = 0;
  bool m_in_objects = false;
  Clock::time_point m_start, m_sent;
};

std::map<std::string, double> g_per_object;  // "<what>/<N>" -> us per object

void set_reply(const std::string& body) {
  static int n = 0;
  const std::string path = g_root + "/reply" + std::to_string(++n % 2) + ".txt";
  keldra_test::write_file(path, body);
  g_server->clear_answers();
  keldra_test::HttpsTestServer::Reply reply;
  reply.content_type = "application/vnd.ostra.keldraobjectcompact";
  reply.body_file = path;
  g_server->answer("POST", "/upload", reply);
}

void remove_all(const std::vector<unsigned int>& ids) {
  g_repo->begin_transaction(true);
  for (unsigned int id : ids) g_repo->remove_object(id);
  g_repo->end_transaction(ORVA_ERROR_NONE);
}

void report(benchmark::State& state, const char* what, const Parts& parts, long long objects) {
  const double total = parts.search + parts.build + parts.post + parts.parse + parts.store;
  const double n = static_cast<double>(objects);
  state.counters["search"] = parts.search / n;
  state.counters["build"] = parts.build / n;
  state.counters["post"] = parts.post / n;
  state.counters["parse"] = parts.parse / n;
  state.counters["store"] = parts.store / n;
  state.counters["us_per_object"] = total / n;
  state.counters["objects_per_s"] = n / (total / 1e6);
  const std::string key = std::string(what) + "/" + std::to_string(state.range(0));
  g_per_object[key] = total / n;
  g_per_object["store:" + key] = parts.store / n;
}

void BM_Upload(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Parts parts;
  long long objects = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<unsigned int> ids;
    g_repo->begin_transaction(true);
    for (int i = 0; i < n; ++i) {
      Object o = make_place(i);
      g_repo->insert_object(o);
      ids.push_back(o.get_local_id());
    }
    g_repo->end_transaction(ORVA_ERROR_NONE);
    orva::keldra::internal::SyncSerializer serializer;
    std::string body;
    for (int i = 0; i < n; ++i) {
      body += "S:oa" + std::to_string(ids[i]) + ":0;";
      body += compact(serializer, make_place(i, ++g_next_global));
    }
    body += "R:OK;";
    set_reply(body);
    SharedPointer<TimedHandler> handler(new TimedHandler(g_adapter));
    handler->enable_objects_upload();
    handler->enable_objects_upload_without_ids();
    state.ResumeTiming();
    if (handler->run(parts) != 0 || handler->uploaded_objects().size() != static_cast<size_t>(n)) {
      state.SkipWithError("upload run failed");
      break;
    }
    objects += n;
    state.PauseTiming();
    handler = SharedPointer<TimedHandler>();
    remove_all(ids);
    state.ResumeTiming();
  }
  if (objects > 0) report(state, "upload", parts, objects);
}

void BM_Download(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Parts parts;
  long long objects = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<unsigned long long> gids;
    orva::keldra::internal::SyncSerializer serializer;
    std::string body;
    for (int i = 0; i < n; ++i) {
      gids.push_back(++g_next_global);
      body += "S:od" + std::to_string(gids.back()) + ":0;" +
              compact(serializer, make_place(i, gids.back()));
    }
    body += "R:OK;";
    set_reply(body);
    SharedPointer<TimedHandler> handler(new TimedHandler(g_adapter));
    handler->enable_objects_download(gids, false);
    state.ResumeTiming();
    if (handler->run(parts) != 0 ||
        handler->downloaded_objects().size() != static_cast<size_t>(n)) {
      state.SkipWithError("download run failed");
      break;
    }
    objects += n;
    state.PauseTiming();
    std::vector<unsigned int> ids;
    for (const auto& entry : handler->downloaded_objects())
      ids.push_back(entry.second.get_local_id());
    // The mapping grows with every download; each iteration starts from none.
    ids.push_back(g_repo->get_object_local_id(997));
    handler = SharedPointer<TimedHandler>();
    remove_all(ids);
    state.ResumeTiming();
  }
  if (objects > 0) report(state, "download", parts, objects);
}

// The same places inserted in one transaction.
void BM_InsertBaseline(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  double total = 0;
  long long objects = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<Object> places;
    for (int i = 0; i < n; ++i) places.push_back(make_place(i, ++g_next_global));
    std::vector<unsigned int> ids;
    state.ResumeTiming();
    const Clock::time_point begin = Clock::now();
    g_repo->begin_transaction(true);
    for (Object& o : places) {
      g_repo->insert_object(o);
      ids.push_back(o.get_local_id());
    }
    g_repo->end_transaction(ORVA_ERROR_NONE);
    total += us(Clock::now() - begin);
    objects += n;
    state.PauseTiming();
    remove_all(ids);
    state.ResumeTiming();
  }
  state.counters["us_per_object"] = total / static_cast<double>(objects);
  g_per_object["insert/" + std::to_string(n)] = total / static_cast<double>(objects);
}

// The sync adapter's replace of the same places (stored ones, each replaced by the
// server's copy) in one transaction: the write a confirmed upload makes, shown beside.
void BM_ReplaceBaseline(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  double total = 0;
  long long objects = 0;
  SharedPointer<orva::keldra::SyncAdapter> sync = g_adapter->sync_adapter();
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<unsigned int> ids;
    g_repo->begin_transaction(true);
    for (int i = 0; i < n; ++i) {
      Object o = make_place(i);
      g_repo->insert_object(o);
      ids.push_back(o.get_local_id());
    }
    g_repo->end_transaction(ORVA_ERROR_NONE);
    std::vector<Object> copies;
    for (int i = 0; i < n; ++i) copies.push_back(make_place(i, ++g_next_global));
    state.ResumeTiming();
    const Clock::time_point begin = Clock::now();
    g_repo->begin_transaction(true);
    for (int i = 0; i < n; ++i) sync->replace_object(ids[i], copies[i]);
    g_repo->end_transaction(ORVA_ERROR_NONE);
    total += us(Clock::now() - begin);
    objects += n;
    state.PauseTiming();
    remove_all(ids);
    state.ResumeTiming();
  }
  state.counters["us_per_object"] = total / static_cast<double>(objects);
  g_per_object["replace/" + std::to_string(n)] = total / static_cast<double>(objects);
}

class InitWait : public orva::keldra::ProgressHandler {
 public:
  void handle_progress(float, orva::ErrorCode s) override { status = s; }
  orva::ErrorCode status = ORVA_ERROR_KELDRA_IN_PROGRESS;
};

}  // namespace

BENCHMARK(BM_InsertBaseline)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(5000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ReplaceBaseline)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(5000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Upload)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Download)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(5000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char** argv) {
  const char* base = std::getenv("TMPDIR");
  g_root = std::string(base && *base ? base : "/tmp") + "/keldra-bench-XXXXXX";
  if (!mkdtemp(&g_root[0])) {
    std::perror("mkdtemp");
    return 1;
  }
  setenv("HOME", g_root.c_str(), 1);
  setenv("TMPDIR", g_root.c_str(), 1);
  orva::keldra::internal::LoggerUmbo::set_level_file_path(g_root + "/no_log_level");

  QCoreApplication app(argc, argv);
  int rc = 0;
  {
    keldra_test::HttpsTestServer server;
    server.set_record_bodies(false);
    if (!server.start()) {
      std::fprintf(stderr, "loopback server: %s\n", server.error().c_str());
      rc = 1;
    } else {
      server.redirect_sync_server();
      g_server = &server;
      SharedPointer<orva::keldra::Static> holder = orva::keldra::Static::instance();
      g_adapter = orva::keldra::DatabaseManager::open("personal");
      InitWait init;
      g_adapter->init(init);
      while (init.status == ORVA_ERROR_KELDRA_IN_PROGRESS) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
      }
      g_repo = g_adapter->repository();
      benchmark::Initialize(&argc, argv);
      benchmark::RunSpecifiedBenchmarks();
      for (const char* what : {"upload", "download"}) {
        const double at100 = g_per_object[std::string(what) + "/100"];
        for (int n : {100, 1000, 5000}) {
          const std::string key = std::string(what) + "/" + std::to_string(n);
          const double insert = g_per_object["insert/" + std::to_string(n)];
          const double replace = g_per_object["replace/" + std::to_string(n)];
          std::printf(
              "%-14s %8.1f us/object  growth %.2f  store %.1f us/object  x_insert %.2f  "
              "x_replace %.2f\n",
              key.c_str(), g_per_object[key], at100 > 0 ? g_per_object[key] / at100 : 0,
              g_per_object["store:" + key], insert > 0 ? g_per_object["store:" + key] / insert : 0,
              replace > 0 ? g_per_object["store:" + key] / replace : 0);
        }
      }
      g_repo = SharedPointer<orva::keldra::Repository>();
      g_adapter = SharedPointer<orva::keldra::DataAdapter>();
      g_server = nullptr;
    }
  }
  QDir(QString::fromStdString(g_root)).removeRecursively();
  return rc;
}
