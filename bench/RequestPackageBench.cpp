// Building a direct-transfer request package of N typical places (metadata, address,
// position): encode every object into the command text, finalize the archive, read its
// bytes back. Reference in the same run: the zip program archiving the same entry (the
// command text, written out as the file upload.compact). The table at the end gives
// the medians of interleaved repetitions per object, the growth from 1,000 to 10,000
// objects, and the ratio to the zip program.
#include <keldra/Attribute.h>
#include <keldra/DynamicBuffer.h>
#include <keldra/Object.h>
#include <keldra/Static.h>

#include "transfer/DirectTransferHandler.h"
#include "transfer/RequestPackage.h"

#include <QDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using orva::SharedPointer;
using orva::keldra::Attribute;
using orva::keldra::DynamicBuffer;
using orva::keldra::Object;
using orva::keldra::ObjectPtr;
using orva::keldra::internal::DirectTransferHandler;
using orva::keldra::internal::RequestPackage;
using orva::keldra::internal::RequestPackagePtr;
using orva::keldra::internal::SyncSerializer;

ObjectPtr typical_place(unsigned int i) {
  ObjectPtr o(new Object("location"));
  o->set_name("Café number " + std::to_string(i));
  o->set_service(std::string("personal"));
  o->set_local_id(i + 1);
  SharedPointer<Attribute> meta(new Attribute("meta", "metadata"));
  meta->add_field("description")->set_value(std::string("A quiet place with a view; open daily"));
  meta->add_field("category")->set_value(std::string("restaurant"));
  o->get_attributes().push_back(meta);
  SharedPointer<Attribute> address(new Attribute("address", "address"));
  address->add_field("street")->set_value(std::string("Mannerheimintie"));
  address->add_field("street_number")->set_value(std::to_string(i % 200 + 1));
  address->add_field("city")->set_value(std::string("Helsinki"));
  address->add_field("postal_code")->set_value(std::string("00100"));
  address->add_field("country")->set_value(std::string("Finland"));
  o->get_attributes().push_back(address);
  SharedPointer<Attribute> position(new Attribute("position", "position"));
  position->add_field("latitude")->set_value(60.1699 + i * 1e-5);
  position->add_field("longitude")->set_value(24.9384 - i * 1e-5);
  o->get_attributes().push_back(position);
  return o;
}

struct Places {
  explicit Places(unsigned int n) {
    for (unsigned int i = 0; i < n; ++i) objects.push_back(typical_place(i));
  }
  std::vector<ObjectPtr> objects;
};

// encode + finalize + get_data; the archive's size.
size_t build_package(const Places& places, std::string* commands = nullptr) {
  RequestPackagePtr package = RequestPackage::create(0x7FFFFFFF);
  if (!package.is_valid()) std::abort();
  if (package->start_request("IMEI\\:3579", "anna", "secret") != 0) std::abort();
  for (const ObjectPtr& o : places.objects) {
    const std::string key = DirectTransferHandler::create_item_key(
        DirectTransferHandler::REQUEST_OBJECT_ADD, o->get_local_id());
    if (package->add_object_submit(SyncSerializer::COMMAND_ADD, key, o) != 0) std::abort();
  }
  if (package->finalize() != 0) std::abort();
  SharedPointer<DynamicBuffer> data = package->get_data();
  if (!data.is_valid() || data->get_data_length() == 0) std::abort();
  if (commands) {
    // The command text as the archive holds it: re-encode with the serializer alone.
    SyncSerializer serializer;
    serializer.start_request("IMEI\\:3579", SyncSerializer::create_auth_digest("anna", "secret"));
    for (const ObjectPtr& o : places.objects) {
      serializer.add_object_submit(
          SyncSerializer::COMMAND_ADD,
          DirectTransferHandler::create_item_key(DirectTransferHandler::REQUEST_OBJECT_ADD,
                                                 o->get_local_id()),
          *o, false);
    }
    const SharedPointer<DynamicBuffer>& b = serializer.get_buffer();
    commands->assign(reinterpret_cast<const char*>(b->get_data()), b->get_data_length());
  }
  return data->get_data_length();
}

// The reference: the zip program archives upload.compact of |folder| (deflate).
void run_zip(const std::string& folder) {
  const std::string archive = folder + "/ref.zip";
  std::remove(archive.c_str());
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(folder.c_str()) != 0) _exit(127);
    execlp("zip", "zip", "-q", "ref.zip", "upload.compact", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "zip failed\n");
    std::abort();
  }
}

struct Reference {
  explicit Reference(const Places& places) {
    folder = QDir::tempPath().toStdString() + "/bench-zip-" + std::to_string(places.objects.size());
    QDir().mkpath(QString::fromStdString(folder));
    std::string commands;
    build_package(places, &commands);
    FILE* f = std::fopen((folder + "/upload.compact").c_str(), "wb");
    std::fwrite(commands.data(), 1, commands.size(), f);
    std::fclose(f);
  }
  ~Reference() { QDir(QString::fromStdString(folder)).removeRecursively(); }
  std::string folder;
};

const Places& places_of(unsigned int n) {
  static Places small(1000);
  static Places large(10000);
  return n == 1000 ? small : large;
}

void BM_Package(benchmark::State& state) {
  const Places& places = places_of(static_cast<unsigned int>(state.range(0)));
  size_t bytes = 0;
  for (auto _ : state) bytes = build_package(places);
  state.counters["per_object"] = benchmark::Counter(
      static_cast<double>(state.range(0)),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["archive_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_Package)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_ZipProgram(benchmark::State& state) {
  const Places& places = places_of(static_cast<unsigned int>(state.range(0)));
  Reference reference(places);
  for (auto _ : state) run_zip(reference.folder);
  state.counters["per_object"] = benchmark::Counter(
      static_cast<double>(state.range(0)),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ZipProgram)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

double seconds_of(const std::function<void()>& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Interleaved repetitions; medians per object in microseconds.
void summary() {
  const unsigned int sizes[] = {1000, 10000};
  double package_us[2];
  double zip_us[2];
  for (int s = 0; s < 2; ++s) {
    const Places& places = places_of(sizes[s]);
    Reference reference(places);
    std::vector<double> p, z;
    build_package(places);  // warm: first-touch pages and caches
    run_zip(reference.folder);
    for (int rep = 0; rep < 11; ++rep) {
      p.push_back(seconds_of([&] { build_package(places); }));
      z.push_back(seconds_of([&] { run_zip(reference.folder); }));
    }
    package_us[s] = median(p) * 1e6 / sizes[s];
    zip_us[s] = median(z) * 1e6 / sizes[s];
  }
  std::printf("\nRequest package, medians of 11 interleaved repetitions (us per object)\n");
  std::printf("%-8s %12s %12s %12s\n", "objects", "package", "zip program", "ratio");
  for (int s = 0; s < 2; ++s) {
    std::printf("%-8u %12.3f %12.3f %12.2f\n", sizes[s], package_us[s], zip_us[s],
                package_us[s] / zip_us[s]);
  }
  std::printf("growth per object 1k -> 10k: package %.2fx, zip program %.2fx (goal <= 1.2x)\n",
              package_us[1] / package_us[0], zip_us[1] / zip_us[0]);
}

}  // namespace

int main(int argc, char** argv) {
  SharedPointer<orva::keldra::Static> holder = orva::keldra::Static::instance();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  summary();
  return 0;
}
