// The Qt network adapter's throughput against the loopback HTTPS server: a POST of a
// 10 MB body and a GET of a 10 MB body, each beside curl doing the same requests to the
// same server in the same run (one curl process per iteration, its connection reused
// for the iteration's requests, as the adapter's access manager reuses its own), and
// beside a bare QNetworkAccessManager doing the same (the floor Qt's HTTP stack sets: it
// hands upload data from the calling thread to its HTTP thread in small chunks). The
// adapter and bare Qt figures carry "x_curl": curl's time over theirs, i.e. their
// throughput as a fraction of curl's.
#include <QCoreApplication>
#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QStringList>

#include <keldra/DynamicBuffer.h>
#include <keldra/LoggerUmbo.h>

#include "OpenedAdapter.h"
#include "support/HttpsTestServer.h"
#include "support/TestEnv.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using orva::SharedPointer;
using orva::keldra::DynamicBuffer;

const int kBodySize = 10 * 1024 * 1024;
const int kRequestsPerIteration = 3;

keldra_test::HttpsTestServer* g_server = nullptr;
std::string g_body_file;  // the 10 MB bytes, for curl's upload and the server's download

bool run_curl(benchmark::State& state, const QStringList& method_args, const std::string& path) {
  QStringList args{QStringLiteral("-s"), QStringLiteral("-f"), QStringLiteral("-k"),
                   QStringLiteral("-H"), QStringLiteral("Expect:")};
  args << method_args;
  for (int i = 0; i < kRequestsPerIteration; ++i) {
    args << QStringLiteral("-o") << QStringLiteral("/dev/null")
         << QString::fromStdString(g_server->url(path));
  }
  QProcess curl;
  curl.start(QStringLiteral("curl"), args);
  if (!curl.waitForFinished(60000) || curl.exitCode() != 0) {
    state.SkipWithError("curl failed");
    return false;
  }
  return true;
}

void BM_CurlPost10MB(benchmark::State& state) {
  for (auto _ : state) {
    if (!run_curl(state,
                  {QStringLiteral("-H"), QStringLiteral("Content-Type: application/zip"),
                   QStringLiteral("--data-binary"), QString::fromStdString("@" + g_body_file)},
                  "/upload")) {
      break;
    }
  }
  state.SetBytesProcessed(state.iterations() * kRequestsPerIteration * int64_t(kBodySize));
}

void BM_CurlGet10MB(benchmark::State& state) {
  for (auto _ : state) {
    if (!run_curl(state, {}, "/file")) break;
  }
  state.SetBytesProcessed(state.iterations() * kRequestsPerIteration * int64_t(kBodySize));
}

// Bare Qt: one access manager, the same requests, the test certificate accepted.
bool qnam_transfer(QNetworkAccessManager& nam, const QNetworkRequest& request,
                   const QByteArray* body) {
  QNetworkReply* reply = body ? nam.post(request, *body) : nam.get(request);
  QObject::connect(reply, &QNetworkReply::sslErrors, reply, [reply] { reply->ignoreSslErrors(); });
  QByteArray received;
  QObject::connect(reply, &QIODevice::readyRead, reply, [&] { received += reply->readAll(); });
  bool done = false;
  QObject::connect(reply, &QNetworkReply::finished, reply, [&done] { done = true; });
  while (!done) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  const bool ok =
      reply->error() == QNetworkReply::NoError && (body || received.size() == kBodySize);
  reply->deleteLater();
  return ok;
}

void BM_QnamPost10MB(benchmark::State& state) {
  QNetworkAccessManager nam;
  const QByteArray body = QByteArray::fromStdString(keldra_test::read_file(g_body_file));
  QNetworkRequest request(QUrl(QString::fromStdString(g_server->url("/upload"))));
  request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/zip"));
  for (auto _ : state) {
    for (int i = 0; i < kRequestsPerIteration; ++i) {
      if (!qnam_transfer(nam, request, &body)) state.SkipWithError("request failed");
    }
  }
  state.SetBytesProcessed(state.iterations() * kRequestsPerIteration * int64_t(kBodySize));
}

void BM_QnamGet10MB(benchmark::State& state) {
  QNetworkAccessManager nam;
  QNetworkRequest request(QUrl(QString::fromStdString(g_server->url("/file"))));
  for (auto _ : state) {
    for (int i = 0; i < kRequestsPerIteration; ++i) {
      if (!qnam_transfer(nam, request, nullptr)) state.SkipWithError("request failed");
    }
  }
  state.SetBytesProcessed(state.iterations() * kRequestsPerIteration * int64_t(kBodySize));
}

void BM_AdapterPost10MB(benchmark::State& state) {
  keldra_bench::OpenedAdapter side;  // one adapter, opened once, for a whole figure
  SharedPointer<DynamicBuffer> body(new DynamicBuffer);
  const std::string bytes = keldra_test::read_file(g_body_file);
  body->write(reinterpret_cast<const unsigned char*>(bytes.data()),
              static_cast<unsigned int>(bytes.size()));
  const std::string url = g_server->url("/upload");
  long sent = 0;
  for (auto _ : state) {
    for (int i = 0; i < kRequestsPerIteration; ++i) {
      side.adapter->post(url, "ZGlnZXN0", body);
      side.wait_for_ends(++sent);
    }
  }
  if (side.listener.last_status != 0) state.SkipWithError("request failed");
  state.SetBytesProcessed(state.iterations() * kRequestsPerIteration * int64_t(kBodySize));
}

void BM_AdapterGet10MB(benchmark::State& state) {
  keldra_bench::OpenedAdapter side;  // one adapter, opened once, for a whole figure
  const std::string url = g_server->url("/file");
  long sent = 0;
  for (auto _ : state) {
    for (int i = 0; i < kRequestsPerIteration; ++i) {
      side.adapter->get(url, "");
      side.wait_for_ends(++sent);
    }
  }
  if (side.listener.last_status != 0 ||
      side.listener.body_bytes != static_cast<unsigned long long>(sent) * kBodySize) {
    state.SkipWithError("request failed or body incomplete");
  }
  state.SetBytesProcessed(state.iterations() * kRequestsPerIteration * int64_t(kBodySize));
}

// Pairs each adapter and bare Qt figure with curl's figure of the same traffic, run
// before it.
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
      const std::string name = run.benchmark_name();
      const double per_iteration = run.GetAdjustedRealTime();
      if (name.rfind("BM_Curl", 0) == 0) {
        curl_[name.substr(7)] = per_iteration;
      } else if (name.rfind("BM_Adapter", 0) == 0 || name.rfind("BM_Qnam", 0) == 0) {
        auto it = curl_.find(name.substr(name.rfind("BM_Adapter", 0) == 0 ? 10 : 7));
        if (it != curl_.end() && per_iteration > 0) {
          run.counters["x_curl"] = benchmark::Counter(it->second / per_iteration);
        }
      }
    }
    ConsoleReporter::ReportRuns(out);
  }

 private:
  std::map<std::string, double> curl_;
};

}  // namespace

BENCHMARK(BM_CurlPost10MB)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_QnamPost10MB)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AdapterPost10MB)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CurlGet10MB)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_QnamGet10MB)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AdapterGet10MB)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
  // A folder of its own for HOME and TMPDIR, and no logging.
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
    std::string bytes(kBodySize, '\0');
    std::mt19937 random(11);
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    g_body_file = root + "/body.bin";
    keldra_test::write_file(g_body_file, bytes);

    keldra_test::HttpsTestServer server;
    server.set_record_bodies(false);
    keldra_test::HttpsTestServer::Reply stored;
    stored.body = "stored";
    server.answer("POST", "/upload", stored);
    keldra_test::HttpsTestServer::Reply file;
    file.content_type = "application/zip";
    file.body_file = g_body_file;
    server.answer("GET", "/file", file);
    if (!server.start()) {
      std::fprintf(stderr, "loopback server: %s\n", server.error().c_str());
      rc = 1;
    } else {
      server.redirect_sync_server();  // the adapter accepts the self-signed certificate
      g_server = &server;
      benchmark::Initialize(&argc, argv);
      RatioReporter reporter;
      benchmark::RunSpecifiedBenchmarks(&reporter);
      g_server = nullptr;
    }
  }
  QDir(QString::fromStdString(root)).removeRecursively();
  return rc;
}
