// Encoding and decoding of typical places in the compact transfer format, beside a
// bare scan of the same bytes for the line ends (the floor for any reader).
#include <keldra/Attribute.h>
#include <keldra/DynamicBuffer.h>
#include <keldra/Object.h>
#include <keldra/StringPool.h>

#include "compact/SyncParser.h"
#include "compact/SyncSerializer.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using orva::SharedPointer;
using orva::keldra::Attribute;
using orva::keldra::DynamicBuffer;
using orva::keldra::Field;
using orva::keldra::Link;
using orva::keldra::Object;
using orva::keldra::ObjectPtr;
using orva::keldra::StringPool;
using orva::keldra::internal::SyncParser;
using orva::keldra::internal::SyncSerializer;

const int kObjects = 10000;

Attribute& add(orva::keldra::AttributeList& list, const char* class_name, const char* name) {
  SharedPointer<Attribute> attribute(new Attribute(name, class_name));
  list.push_back(attribute);
  return *attribute;
}

// A place with name, address, position, metadata in three languages, contact data
// and a category link: 26 fields.
ObjectPtr make_place(int i) {
  ObjectPtr place(new Object("location"));
  char text[96];
  snprintf(text, sizeof(text), "Caf\xC3\xA9 %d, Market Square", i);
  place->set_name(std::string(text));
  place->set_local_id(1000 + i);
  place->set_global_id(880000000000ull + i);
  place->set_version(3);
  place->set_owner(std::string("maija.virtanen"));

  Attribute& address = add(place->get_attributes(), "address", "address");
  address.add_field("country")->set_value("Finland");
  address.add_field("country_code")->set_value("FIN");
  address.add_field("state")->set_value("Uusimaa");
  address.add_field("city")->set_value("Helsinki");
  address.add_field("district")->set_value("Kruununhaka");
  address.add_field("postal_code")->set_value("00170");
  address.add_field("street")->set_value("Pohjoisesplanadi");
  address.add_field("street_number")->set_value(std::to_string(i % 90 + 1));

  Attribute& position = add(place->get_attributes(), "position", "position");
  position.add_field("latitude")->set_value(60.1674 + i * 1e-6);
  position.add_field("longitude")->set_value(24.9525 - i * 1e-6);
  position.add_field("altitude")->set_value(12.5f);
  position.add_field("accuracy")->set_value(25.0f);
  position.add_field("datum")->set_value(0);

  Attribute& meta = add(place->get_attributes(), "metadata", "meta");
  const char* languages[] = {"fi", "en", "sv"};
  const char* names[] = {"Kauppatori", "Market Square: the harbour", "Salutorget"};
  for (int l = 0; l < 3; ++l) {
    Attribute& name = add(meta.get_attributes(), "text", "name");
    name.add_field("language")->set_value(languages[l]);
    name.add_field("value")->set_value(names[l]);
  }
  Attribute& description = add(meta.get_attributes(), "text", "description");
  description.add_field("value")->set_value(
      "Open-air market by the harbour; fish, berries, handicraft and coffee all year");
  Attribute& rating = add(meta.get_attributes(), "rating", "avg_rating");
  rating.add_field("value")->set_value(4.5f);
  rating.add_field("count")->set_value(static_cast<unsigned int>(17 + i % 5));
  meta.add_field("time")->set_timestamp(1300000000000ll + i * 1000ll);

  Attribute& contact = add(place->get_attributes(), "contact", "contact");
  contact.add_field("phone")->set_value("+358 9 310 1691");
  contact.add_field("web")->set_value("http://www.example.fi/kauppatori");

  place->get_links().push_back(Link(static_cast<unsigned int>(7 + i % 3)));
  return place;
}

struct Places {
  SharedPointer<StringPool> pool = StringPool::create();
  std::vector<ObjectPtr> objects;
  std::vector<std::string> items;  // each object encoded on its own
  size_t bytes = 0;

  Places() {
    SyncSerializer serializer;
    for (int i = 0; i < kObjects; ++i) {
      objects.push_back(make_place(i));
      SharedPointer<DynamicBuffer> buffer(new DynamicBuffer());
      serializer.encode(*objects.back(), buffer, false);
      items.emplace_back(reinterpret_cast<const char*>(buffer->get_data()),
                         buffer->get_data_length());
      bytes += items.back().size();
    }
  }
};

Places& places() {
  static Places* data = new Places();
  return *data;
}

void report(benchmark::State& state, const Places& data) {
  state.SetItemsProcessed(state.iterations() * kObjects);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.bytes));
  state.counters["bytes_per_object"] = static_cast<double>(data.bytes) / kObjects;
}

void BM_EncodePlaces(benchmark::State& state) {
  Places& data = places();
  SyncSerializer serializer;
  for (auto _ : state) {
    SharedPointer<DynamicBuffer> buffer(new DynamicBuffer(64 * 1024));
    for (const ObjectPtr& object : data.objects) serializer.encode(*object, buffer, false);
    benchmark::DoNotOptimize(buffer->get_data());
  }
  report(state, data);
}
BENCHMARK(BM_EncodePlaces)->Unit(benchmark::kMillisecond);

void BM_DecodePlaces(benchmark::State& state) {
  Places& data = places();
  SyncParser parser;
  for (auto _ : state) {
    for (const std::string& item : data.items) {
      ObjectPtr object;
      parser.decode(reinterpret_cast<const unsigned char*>(item.data()),
                    static_cast<unsigned int>(item.size()), object);
      benchmark::DoNotOptimize(object.get());
    }
  }
  report(state, data);
}
BENCHMARK(BM_DecodePlaces)->Unit(benchmark::kMillisecond);

// The floor: finding every ';' in the same bytes and nothing else.
void BM_ScanLineEnds(benchmark::State& state) {
  Places& data = places();
  for (auto _ : state) {
    size_t lines = 0;
    for (const std::string& item : data.items) {
      const char* p = item.data();
      const char* end = p + item.size();
      while ((p = static_cast<const char*>(memchr(p, ';', end - p))) != nullptr) {
        ++lines;
        ++p;
      }
    }
    benchmark::DoNotOptimize(lines);
  }
  report(state, data);
}
BENCHMARK(BM_ScanLineEnds)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
