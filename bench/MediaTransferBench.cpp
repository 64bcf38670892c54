// Media transfer runs of the direct transfer handler against the loopback HTTPS server,
// each beside curl moving the same bytes to the same server in the same run:
// - upload: 200 images of 500 KB and 1,000 files of 10 KB (the handler's batch packages
//   of at most 1 MiB of file data; curl posts the same file bytes grouped the same way,
//   one request per group, in one process);
// - download: 20 files of 5 MB (curl fetches the same 20 addresses into files);
// - the peak memory of one 100 MB download, against the file's size (the reply is held
//   whole in memory, then written with one write).
// The handler figures carry "x_curl": curl's time over the handler's, i.e. the handler's
// throughput as a fraction of curl's.
// - the look-up a saved download makes while it holds the store's write lock: the
//   recorded local files that may stand in its way, found by the download's name, on a
//   store of 1,200 + N media objects with local files; beside it the decoding of every
//   recorded file, as the look-up was before ("x_all": that time over the look-up's).
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStringList>

#include <keldra/DataAdapter.h>
#include <keldra/DatabaseManager.h>
#include <keldra/LoggerUmbo.h>
#include <keldra/MultimediaObject.h>
#include <keldra/ProgressHandler.h>
#include <keldra/Repository.h>
#include <keldra/Static.h>
#include <keldra/SyncAdapter.h>

#include "BenchSupport.h"
#include "support/DbusTestBus.h"
#include "support/HttpsTestServer.h"
#include "support/TestEnv.h"
#include "transfer/DirectTransferHandler.h"
#include "transfer/TransferExtension.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using orva::SharedPointer;
using orva::keldra::MultimediaObject;
using orva::keldra::internal::DirectTransferHandler;

const uint64_t kImageSize = 500 * 1024;
const int kImages = 200;
const uint64_t kSmallSize = 10 * 1024;
const int kSmallFiles = 1000;
const uint64_t kDownloadSize = 5 * 1000 * 1000;
const int kDownloads = 20;
const uint64_t kBigSize = 100ull * 1024 * 1024;
const uint64_t kPackageLimit = 1048576;

std::string g_root;
keldra_test::HttpsTestServer* g_server = nullptr;
SharedPointer<orva::keldra::DataAdapter> g_adapter;
SharedPointer<orva::keldra::Repository> g_repo;

struct UploadFile {
  std::string path;
  uint64_t size;
  const char* mime;
};
std::vector<UploadFile> g_uploads;
std::vector<std::string> g_groups;  // the same file bytes grouped as the packages are
std::vector<unsigned int> g_download_ids;
uint64_t g_bytes_uploaded = 0;

class FinalListener : public DirectTransferHandler::Listener {
 public:
  void handle_transfer_progress(orva::ErrorCode status, float,
                                DirectTransferHandler::Phase) override {
    if (status != ORVA_ERROR_KELDRA_IN_PROGRESS) {
      done = true;
      final_status = status;
    }
  }
  bool done = false;
  orva::ErrorCode final_status = 0;
};

orva::keldra::SyncService::SyncParams params() {
  orva::keldra::SyncService::SyncParams p;
  p.service = "personal";
  p.user = "anna";
  p.password = "secret";
  return p;
}

// One run of a fresh handler with |enable| applied; its final status.
orva::ErrorCode run_handler(const std::function<void(DirectTransferHandler&)>& enable) {
  orva::ErrorCode error = 0;
  SharedPointer<DirectTransferHandler> handler = DirectTransferHandler::create(g_adapter, &error);
  if (!handler.is_valid()) return error;
  enable(*handler);
  FinalListener listener;
  handler->start(params(), "bench-device", listener);
  while (!listener.done) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  return listener.final_status;
}

void write_random(const std::string& path, uint64_t size, std::mt19937& random) {
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  keldra_test::write_file(path, bytes);
}

unsigned int add_media(const std::string& local, const char* mime, uint64_t size,
                       const std::string& remote, unsigned long long global_id) {
  MultimediaObject m;
  if (!local.empty()) {
    m.local_uri().set_url(orva::ustring(local));
    m.local_uri().set_mime(mime);
    m.local_info().set_file_size(size);
  } else {
    m.remote_uri().set_url(orva::ustring(remote));
    m.remote_uri().set_mime(mime);
  }
  orva::keldra::Object& o = *m.object();
  o.set_name(std::string("bench"));
  o.set_service(std::string("personal"));
  orva::ErrorCode r;
  if (global_id != 0) {
    o.set_global_id(global_id);
    r = g_adapter->sync_adapter()->add_object(o);
  } else {
    r = g_repo->insert_object(o);
  }
  return r == 0 ? o.get_local_id() : 0;
}

// Groups the upload files first fit in list order, at most 1 MiB each, as the batch
// packages do, and writes each group's bytes as one file for curl.
void make_groups() {
  std::vector<size_t> left;
  for (size_t i = 0; i < g_uploads.size(); ++i) left.push_back(i);
  int n = 0;
  while (!left.empty()) {
    uint64_t total = 0;
    std::string bytes;
    std::vector<size_t> rest;
    for (size_t i : left) {
      if (total + g_uploads[i].size <= kPackageLimit) {
        total += g_uploads[i].size;
        bytes += keldra_test::read_file(g_uploads[i].path);
      } else {
        rest.push_back(i);
      }
    }
    const std::string path = g_root + "/groups/" + std::to_string(++n);
    keldra_test::write_file(path, bytes);
    g_groups.push_back(path);
    left.swap(rest);
  }
}

bool run_curl(benchmark::State& state, const QStringList& args) {
  QProcess curl;
  curl.start(QStringLiteral("curl"), args);
  if (!curl.waitForFinished(600000) || curl.exitCode() != 0) {
    state.SkipWithError("curl failed");
    return false;
  }
  return true;
}

QStringList curl_start() {
  return {QStringLiteral("-s"), QStringLiteral("-f"), QStringLiteral("-k"), QStringLiteral("-H"),
          QStringLiteral("Expect:")};
}

void BM_CurlUpload(benchmark::State& state) {
  QStringList args = curl_start();
  for (size_t i = 0; i < g_groups.size(); ++i) {
    if (i > 0)
      args << QStringLiteral("--next") << QStringLiteral("-s") << QStringLiteral("-f")
           << QStringLiteral("-k") << QStringLiteral("-H") << QStringLiteral("Expect:");
    args << QStringLiteral("-H") << QStringLiteral("Content-Type: application/zip")
         << QStringLiteral("--data-binary") << QString::fromStdString("@" + g_groups[i])
         << QStringLiteral("-o") << QStringLiteral("/dev/null")
         << QString::fromStdString(g_server->url("/upload"));
  }
  for (auto _ : state) {
    if (!run_curl(state, args)) break;
  }
  state.SetBytesProcessed(state.iterations() * int64_t(g_bytes_uploaded));
}

void BM_HandlerUpload(benchmark::State& state) {
  for (auto _ : state) {
    // The replies leave every remote url empty: each run uploads every file again.
    const orva::ErrorCode r = run_handler([](DirectTransferHandler& h) { h.enable_mmf_upload(); });
    if (r != 0) {
      state.SkipWithError("upload run failed");
      break;
    }
  }
  state.SetBytesProcessed(state.iterations() * int64_t(g_bytes_uploaded));
}

void BM_CurlDownload(benchmark::State& state) {
  QStringList args = curl_start();
  for (int i = 0; i < kDownloads; ++i) {
    args << QStringLiteral("-o") << QString::fromStdString(g_root + "/curl/f" + std::to_string(i))
         << QString::fromStdString(g_server->url("/dl/" + std::to_string(i)));
  }
  QDir().mkpath(QString::fromStdString(g_root + "/curl"));
  for (auto _ : state) {
    if (!run_curl(state, args)) break;
  }
  state.SetBytesProcessed(state.iterations() * kDownloads * int64_t(kDownloadSize));
}

// The download objects afresh: only on the server.
void reset_downloads() {
  for (unsigned int id : g_download_ids) g_repo->remove_object(id);
  g_download_ids.clear();
  for (int i = 0; i < kDownloads; ++i) {
    g_download_ids.push_back(add_media("", "application/octet-stream", 0,
                                       g_server->url("/dl/" + std::to_string(i)), 70000 + i));
  }
}

void BM_HandlerDownload(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    reset_downloads();
    state.ResumeTiming();
    const orva::ErrorCode r =
        run_handler([](DirectTransferHandler& h) { h.enable_mmf_download(); });
    if (r != 0) {
      state.SkipWithError("download run failed");
      break;
    }
  }
  state.SetBytesProcessed(state.iterations() * kDownloads * int64_t(kDownloadSize));
}

void BM_HandlerDownload100MBPeakMemory(benchmark::State& state) {
  double peak_mb = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const unsigned int id =
        add_media("", "application/octet-stream", 0, g_server->url("/big"), 80001);
    keldra_test::PeakMemory memory;  // the peak counts from here
    if (!memory.start()) {
      g_repo->remove_object(id);
      state.SkipWithError("the peak memory cannot be measured here");
      break;
    }
    state.ResumeTiming();
    const orva::ErrorCode r =
        run_handler([](DirectTransferHandler& h) { h.enable_mmf_download(); });
    state.PauseTiming();
    peak_mb = static_cast<double>(memory.growth_kib()) / 1024.0;
    g_repo->remove_object(id);
    state.ResumeTiming();
    if (r != 0) {
      state.SkipWithError("download run failed");
      break;
    }
  }
  state.counters["peak_MB"] = peak_mb;
  state.counters["file_MB"] = static_cast<double>(kBigSize) / (1024.0 * 1024.0);
  state.counters["peak_per_file"] = peak_mb * 1024.0 * 1024.0 / static_cast<double>(kBigSize);
  state.SetBytesProcessed(state.iterations() * int64_t(kBigSize));
}

// Media objects with local files added by the look-up figures (after every run above,
// which they would change).
int g_recorded_added = 0;

bool add_recorded_files(int n) {
  if (g_recorded_added >= n) return true;
  // One transaction: one commit for all of them.
  if (g_repo->begin_transaction(false) != 0) return false;
  bool ok = true;
  for (; ok && g_recorded_added < n; ++g_recorded_added) {
    ok = add_media(g_root + "/media/kept" + std::to_string(g_recorded_added) + ".jpg", "image/jpeg",
                   1, "", 0) != 0;
  }
  return g_repo->end_transaction(ok ? 0 : 1) == 0 && ok;
}

// |name| empty: every recorded file, decoded (the look-up before).
void recorded_files(benchmark::State& state, const std::string& name) {
  SharedPointer<orva::keldra::internal::TransferExtension> ext =
      orva::keldra::internal::TransferExtension::create(g_adapter);
  if (!add_recorded_files(static_cast<int>(state.range(0))) || !ext.is_valid()) {
    state.SkipWithError("store not filled");
    for (auto _ : state) {
    }
    return;
  }
  size_t found = 0;
  for (auto _ : state) {
    std::vector<std::string> files;
    if (ext->get_local_files(name, files) != 0) {
      state.SkipWithError("look-up failed");
      break;
    }
    found = files.size();
  }
  state.counters["files"] = static_cast<double>(found);
}

void BM_RecordedFilesAll(benchmark::State& state) { recorded_files(state, std::string()); }
void BM_RecordedFilesByName(benchmark::State& state) { recorded_files(state, "md70001"); }

// Pairs each handler figure with curl's figure of the same traffic, run just before it,
// and the look-up by name with the decoding of every file on the same store.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    std::vector<Run> out = runs;
    for (Run& run : out) {
      if (run.iterations == 0 || run.error_occurred) continue;
      const std::string name = run.benchmark_name();
      const double per_iteration = run.GetAdjustedRealTime();
      if (name.rfind("BM_RecordedFilesAll", 0) == 0) {
        all_[name.substr(19)] = per_iteration;
      } else if (name.rfind("BM_RecordedFilesByName", 0) == 0) {
        auto it = all_.find(name.substr(22));
        if (it != all_.end() && per_iteration > 0) {
          run.counters["x_all"] = benchmark::Counter(it->second / per_iteration);
        }
      } else if (name.rfind("BM_Curl", 0) == 0) {
        curl_[name.substr(7)] = per_iteration;
      } else if (name.rfind("BM_Handler", 0) == 0) {
        auto it = curl_.find(name.substr(10));
        if (it != curl_.end() && per_iteration > 0) {
          run.counters["x_curl"] = benchmark::Counter(it->second / per_iteration);
        }
      }
    }
    ConsoleReporter::ReportRuns(out);
  }

 private:
  std::map<std::string, double> curl_;
  std::map<std::string, double> all_;
};

struct InitDone : orva::keldra::ProgressHandler {
  void handle_progress(float, orva::ErrorCode s) override {
    status = s;
    done = true;
  }
  orva::ErrorCode status = -1;
  bool done = false;
};

}  // namespace

BENCHMARK(BM_CurlUpload)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HandlerUpload)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CurlDownload)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_HandlerDownload)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_HandlerDownload100MBPeakMemory)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
// Each size's pair on the same store: the store only grows.
BENCHMARK(BM_RecordedFilesAll)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RecordedFilesByName)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RecordedFilesAll)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RecordedFilesByName)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
  // A folder of its own for HOME and TMPDIR, and no logging.
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
    keldra_test::DbusTestBus& bus = keldra_test::DbusTestBus::shared();
    keldra_test::HttpsTestServer server;
    server.set_record_bodies(false);

    std::mt19937 random(23);
    for (int i = 0; i < kImages; ++i) {
      const std::string path = g_root + "/media/img" + std::to_string(i) + ".jpg";
      write_random(path, kImageSize, random);
      g_uploads.push_back({path, kImageSize, "image/jpeg"});
    }
    for (int i = 0; i < kSmallFiles; ++i) {
      const std::string path = g_root + "/media/note" + std::to_string(i) + ".bin";
      write_random(path, kSmallSize, random);
      g_uploads.push_back({path, kSmallSize, "application/octet-stream"});
    }
    for (const UploadFile& f : g_uploads) g_bytes_uploaded += f.size;
    make_groups();
    write_random(g_root + "/download.bin", kDownloadSize, random);
    write_random(g_root + "/big.bin", kBigSize, random);

    keldra_test::HttpsTestServer::Reply file;
    file.content_type = "application/octet-stream";
    file.body_file = g_root + "/download.bin";
    server.answer("GET", "/dl/*", file);
    keldra_test::HttpsTestServer::Reply big = file;
    big.body_file = g_root + "/big.bin";
    server.answer("GET", "/big", big);

    if (!bus.running() || !server.start()) {
      std::fprintf(stderr, "bus or loopback server: %s %s\n", bus.error().c_str(),
                   server.error().c_str());
      rc = 1;
    } else {
      // Before the store takes its settings: the sync server is the loopback one.
      server.redirect_sync_server();
      g_server = &server;
      SharedPointer<orva::keldra::Static> statics = orva::keldra::Static::instance();
      g_adapter = orva::keldra::DatabaseManager::open("personal");
      InitDone init;
      g_adapter->init(init);
      while (!init.done) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
      g_repo = g_adapter->repository();

      std::string reply;
      for (const UploadFile& f : g_uploads) {
        const unsigned int id = add_media(f.path, f.mime, f.size, "", 0);
        // No url: the remote url stays empty and the next run uploads the file again.
        reply += "F:mu" + std::to_string(id) + ":0;";
      }
      reply += "R:OK;";
      keldra_test::HttpsTestServer::Reply stored;
      stored.body = reply;
      server.answer("POST", "/upload", stored);

      benchmark::Initialize(&argc, argv);
      RatioReporter reporter;
      benchmark::RunSpecifiedBenchmarks(&reporter);
      g_server = nullptr;
      g_repo.release();
      g_adapter.release();
      statics.release();
    }
  }
  QDir(QString::fromStdString(g_root)).removeRecursively();
  return rc;
}
