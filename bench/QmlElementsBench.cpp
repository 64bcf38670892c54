// Reads and writes through the QML elements against the same calls on the library views
// they wrap. The elements re-attach their view before each use (so that two elements
// over one section see each other's child sections); the ratio shows what that costs.
#include "LocationObjectImpl.h"
#include "MetadataImpl.h"

#include <keldra/LocationObject.h>
#include <keldra/Metadata.h>
#include <keldra/StringPool.h>

#include <QCoreApplication>

#include <benchmark/benchmark.h>

namespace {

using keldra::qtplugin::LocationObjectImpl;
using keldra::qtplugin::MetadataImpl;

// A metadata section with names in three languages, tags and a rating.
void fill(orva::keldra::Metadata& meta) {
  meta.set_name("Kauppatori", "fi");
  meta.set_name("Salutorget", "sv");
  meta.set_name("Market Square", "en");
  meta.set_tags({"market", "harbour"});
  meta.rating().set_rating({4.5f, 12});
}

void BM_LibraryMetadataGetName(benchmark::State& state) {
  auto pool = orva::keldra::StringPool::create();
  orva::keldra::Metadata meta;
  fill(meta);
  orva::ustring text;
  for (auto _ : state) {
    meta.get_name(text, "en");
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(BM_LibraryMetadataGetName);

void BM_ElementMetadataGetName(benchmark::State& state) {
  auto pool = orva::keldra::StringPool::create();
  orva::keldra::Metadata meta;
  fill(meta);
  MetadataImpl element(meta.attribute(), nullptr);
  const QString en = QStringLiteral("en");
  for (auto _ : state) {
    benchmark::DoNotOptimize(element.getName(en));
  }
}
BENCHMARK(BM_ElementMetadataGetName);

void BM_LibraryMetadataSetName(benchmark::State& state) {
  auto pool = orva::keldra::StringPool::create();
  orva::keldra::Metadata meta;
  fill(meta);
  for (auto _ : state) {
    meta.set_name("Market Square", "en");
  }
}
BENCHMARK(BM_LibraryMetadataSetName);

void BM_ElementMetadataSetName(benchmark::State& state) {
  auto pool = orva::keldra::StringPool::create();
  orva::keldra::Metadata meta;
  fill(meta);
  MetadataImpl element(meta.attribute(), nullptr);
  const QString name = QStringLiteral("Market Square");
  const QString en = QStringLiteral("en");
  for (auto _ : state) {
    element.setName(name, en);
  }
}
BENCHMARK(BM_ElementMetadataSetName);

// A place's categories read through its object view, and through the place element,
// which re-attaches the place's two object views first.
void BM_LibraryPlaceCategories(benchmark::State& state) {
  auto pool = orva::keldra::StringPool::create();
  orva::keldra::LocationObject place;
  fill(place.metadata());
  place.address().set_address_field(orva::keldra::Address::CITY, "Helsinki");
  place.categories().set_global_categories({"market", "sights"});
  std::vector<std::string> categories;
  for (auto _ : state) {
    categories.clear();
    place.categories().get_global_categories(categories);
    benchmark::DoNotOptimize(categories);
  }
}
BENCHMARK(BM_LibraryPlaceCategories);

void BM_ElementPlaceCategories(benchmark::State& state) {
  auto pool = orva::keldra::StringPool::create();
  orva::keldra::LocationObject place;
  fill(place.metadata());
  place.address().set_address_field(orva::keldra::Address::CITY, "Helsinki");
  place.categories().set_global_categories({"market", "sights"});
  LocationObjectImpl element(place.object(), nullptr);
  for (auto _ : state) {
    benchmark::DoNotOptimize(element.getPlaceCategories());
  }
}
BENCHMARK(BM_ElementPlaceCategories);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
