// The network adapter's two reply paths against the loopback HTTPS server, on the
// replies that are hard for a reader: a body in 1-byte chunks, a body in 64 KiB chunks,
// and a large error body that is read and dropped. Each figure runs once on Qt's own
// client (a plain path) and once on the adapter's own client (a path Qt would rewrite,
// "/.s/"), in the same run; the own client's figure carries "x_qt", its time over Qt's
// (the target is at most 2), and every figure carries "peak_MiB", how far the process's
// peak resident memory rose above its size at the start of the figure.
#include <QCoreApplication>

#include <keldra/DynamicBuffer.h>

#include "BenchSupport.h"
#include "adaptation_umbo/transfer/NetworkAdapterUmbo.h"
#include "support/HttpsTestServer.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

using orva::SharedPointer;
using orva::keldra::DynamicBuffer;
using orva::keldra::internal::NetworkAdapter;
using orva::keldra::internal::NetworkAdapterUmbo;

keldra_test::HttpsTestServer* g_server = nullptr;

// The replies, by name: the body's bytes on the wire after the head.
struct Shape {
  const char* name;
  const char* head;
  std::string piece;   // sent |repeat| times
  long long repeat;
  const char* tail;
  long long body;      // body bytes a whole reply hands over (0: an error body, dropped)
};

const char kChunkedHead[] =
    "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
    "Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n";

std::vector<Shape> shapes() {
  const long long kSmall = 256 * 1024;  // body bytes in 1-byte chunks
  const long long kLarge = 64 * 1024;   // one chunk
  const long long kLargeCount = 512;    // 32 MiB in 64 KiB chunks
  const long long kError = 64 << 20;    // a 64 MiB error body
  static const std::string error_head =
      "HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nConnection: close\r\n"
      "Content-Length: " + std::to_string(kError) + "\r\n\r\n";
  return {
      {"Chunks1B", kChunkedHead, "1\r\nx\r\n", kSmall, "0\r\n\r\n", kSmall},
      {"Chunks64K", kChunkedHead, "10000\r\n" + std::string(kLarge, 'x') + "\r\n", kLargeCount,
       "0\r\n\r\n", kLarge * kLargeCount},
      {"ErrorBody", error_head.c_str(), std::string(64 * 1024, 'e'), kError / (64 * 1024), "",
       0},
  };
}

long status_kib(const char* key) {
  FILE* file = std::fopen("/proc/self/status", "r");
  if (!file) return -1;
  char line[256];
  long value = -1;
  const size_t n = std::strlen(key);
  while (std::fgets(line, sizeof line, file)) {
    if (std::strncmp(line, key, n) == 0) value = std::atol(line + n);
  }
  std::fclose(file);
  return value;
}

// Lets the peak resident size start again from the current one.
void reset_peak() {
  FILE* file = std::fopen("/proc/self/clear_refs", "w");
  if (!file) return;
  std::fputs("5", file);
  std::fclose(file);
}

class EndListener : public NetworkAdapter::Listener {
 public:
  void handle_network_state_change(orva::ErrorCode status, NetworkAdapter::State state) override {
    if (state == NetworkAdapter::READY) {
      ++ends;
      last_status = status;
    }
  }
  void handle_network_response_head(const NetworkAdapter::Response&) override {}
  void handle_network_response_body(const SharedPointer<DynamicBuffer>& body) override {
    last_body = body->get_data_length();
  }
  void handle_network_progress(float) override {}

  long ends = 0;
  orva::ErrorCode last_status = 0;
  long long last_body = 0;
};

void run_shape(benchmark::State& state, const Shape& shape, bool own) {
  EndListener listener;
  SharedPointer<NetworkAdapter> adapter(new NetworkAdapterUmbo(listener));
  adapter->open(0);
  while (adapter->state() != NetworkAdapter::READY) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  listener.ends = 0;
  const std::string path = std::string(own ? "/r/.s/" : "/r/") + shape.name;
  const std::string url = g_server->url(path);
  // An error body ends with the error's status; a whole body with 0.
  const orva::ErrorCode wanted = shape.body ? 0 : ORVA_ERROR_NOT_FOUND;
  reset_peak();
  const long start_kib = status_kib("VmRSS:");
  long sent = 0;
  for (auto _ : state) {
    adapter->get(url, "");
    ++sent;
    while (listener.ends < sent) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (listener.last_status != wanted || listener.last_body != shape.body) {
      state.SkipWithError("request failed or body incomplete");
      break;
    }
    listener.last_body = 0;
  }
  state.counters["peak_MiB"] = (status_kib("VmHWM:") - start_kib) / 1024.0;
  state.SetBytesProcessed(state.iterations() * static_cast<long long>(shape.piece.size()) *
                          shape.repeat);
}

// Pairs each own-client figure with Qt's figure of the same reply, run before it.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    std::vector<Run> out = runs;
    for (Run& run : out) {
      if (run.iterations == 0 || run.error_occurred) continue;
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      const std::string name = run.benchmark_name();
      const double time = run.GetAdjustedRealTime();
      if (name.rfind("BM_Qt_", 0) == 0) {
        qt_[name.substr(6)] = time;
      } else if (name.rfind("BM_Own_", 0) == 0) {
        auto it = qt_.find(name.substr(7));
        if (it != qt_.end() && it->second > 0) {
          run.counters["x_qt"] = benchmark::Counter(time / it->second);
          ratios_.push_back(name.substr(7) + ": " + std::to_string(time / it->second));
        }
      }
    }
    ConsoleReporter::ReportRuns(out);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const std::string& r : ratios_) std::printf("own client / Qt's client, %s\n", r.c_str());
  }

 private:
  std::map<std::string, double> qt_;
  std::vector<std::string> ratios_;
};

}  // namespace

int main(int argc, char** argv) {
  // A folder of its own for HOME and TMPDIR, and no logging.
  const std::string root = keldra_bench::make_bench_folder();
  if (root.empty()) {
    std::perror("mkdtemp");
    return 1;
  }
  setenv("HOME", root.c_str(), 1);
  setenv("TMPDIR", root.c_str(), 1);

  QCoreApplication app(argc, argv);
  int rc = 0;
  {
    keldra_test::HttpsTestServer server;
    server.set_record_bodies(false);
    for (const Shape& shape : shapes()) {
      keldra_test::HttpsTestServer::Reply reply;
      reply.raw = shape.head;
      reply.endless = shape.piece;
      reply.repeat = shape.repeat;
      reply.tail = shape.tail;
      server.answer("GET", std::string("/r/") + shape.name, reply);
      server.answer("GET", std::string("/r/.s/") + shape.name, reply);
    }
    if (!server.start()) {
      std::fprintf(stderr, "loopback server: %s\n", server.error().c_str());
      rc = 1;
    } else {
      server.redirect_sync_server();  // the adapter accepts the self-signed certificate
      g_server = &server;
      for (const Shape& shape : shapes()) {
        for (const bool own : {false, true}) {
          const std::string name = std::string(own ? "BM_Own_" : "BM_Qt_") + shape.name;
          benchmark::RegisterBenchmark(name.c_str(),
                                       [shape, own](benchmark::State& state) {
                                         run_shape(state, shape, own);
                                       })
              ->Unit(benchmark::kMillisecond)
              ->UseRealTime();
        }
      }
      benchmark::Initialize(&argc, argv);
      RatioReporter reporter;
      benchmark::RunSpecifiedBenchmarks(&reporter);
      g_server = nullptr;
    }
  }
  return keldra_bench::remove_bench_folder(root) == 0 ? rc : 1;
}
