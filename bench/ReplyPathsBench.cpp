// The network adapter's two reply paths against the loopback HTTPS server, on the
// replies that are hard for a reader: a body in 1-byte chunks, a body in 64 KiB chunks,
// and a large error body that is read and dropped. Each figure runs on Qt's own client
// (a plain path) and on the adapter's own client (a path Qt would rewrite, "/.s/"), in
// the same run and with repetitions; after the run, each reply's own-client median time
// over Qt's is printed (the target is at most 2), the CPU time being the whole process's
// (Qt's client reads on a thread of its own). Every figure carries "peak_MiB", how far
// the process's peak resident memory rose above its size at the start of the figure.
#include <QCoreApplication>

#include "BenchSupport.h"
#include "OpenedAdapter.h"
#include "support/HttpsTestServer.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

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

void run_shape(benchmark::State& state, const Shape& shape, bool own) {
  keldra_bench::OpenedAdapter side;
  const std::string path = std::string(own ? "/r/.s/" : "/r/") + shape.name;
  const std::string url = g_server->url(path);
  // An error body ends with the error's status; a whole body with 0.
  const orva::ErrorCode wanted = shape.body ? 0 : ORVA_ERROR_NOT_FOUND;
  keldra_test::PeakMemory memory;
  const bool measured = memory.start();
  long sent = 0;
  for (auto _ : state) {
    side.adapter->get(url, "");
    side.wait_for_ends(++sent);
    if (side.listener.last_status != wanted ||
        side.listener.body_bytes != static_cast<unsigned long long>(sent * shape.body)) {
      state.SkipWithError("request failed or body incomplete");
      break;
    }
  }
  if (measured) state.counters["peak_MiB"] = memory.growth_kib() / 1024.0;
  state.SetBytesProcessed(state.iterations() * static_cast<long long>(shape.piece.size()) *
                          shape.repeat);
}

// Prints each reply's own-client median over Qt's after the run.
class RatioReporter : public keldra_bench::MedianReporter {
 public:
  void Finalize() override {
    ConsoleReporter::Finalize();
    for (const Shape& shape : shapes()) {
      const std::string label =
          std::string("own client / Qt's client, ") + shape.name + " (median time)";
      ratio(label.c_str(), std::string("BM_Own_") + shape.name,
            std::string("BM_Qt_") + shape.name);
    }
  }
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
              ->UseRealTime()
              ->MeasureProcessCPUTime()
              ->Repetitions(3);
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
