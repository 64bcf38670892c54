// Encoding and decoding of typical places in the compact transfer format and in the
// binary records, beside the reference: the same objects as JSON documents decoded
// into and encoded from a RapidJSON DOM. Floors: a copy of the same bytes laid out
// contiguously, and a bare scan for the line ends. Repetitions run interleaved; the
// table at the end gives the medians per object, as ratios to the reference, and the
// heap allocations per object, counted in one pass outside the timing.
//
// Besides the rich places alone, a mix like a stored favourites list: 8 places of 10,
// one route of 50 waypoints (a position and a link to a place each), one collection of
// 30 links, decoded beside RapidJSON decoding the same objects.
#include <keldra/Attribute.h>
#include <keldra/DynamicBuffer.h>
#include <keldra/Object.h>
#include <keldra/StringPool.h>

#include "compact/SyncParser.h"
#include "compact/SyncSerializer.h"

#include <keldra/WriteStream.h>

#include "runtime/BufferReadStream.h"

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <thread>
#include <vector>

// Heap use of the whole process (the library's allocations included), for the
// allocation counts and the pool's size.
namespace {
std::atomic<long long> g_allocations{0};
std::atomic<long long> g_live_bytes{0};
}  // namespace

void* operator new(size_t size) {
  void* p = malloc(size ? size : 1);
  if (!p) throw std::bad_alloc();
  ++g_allocations;
  g_live_bytes += static_cast<long long>(malloc_usable_size(p));
  return p;
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  void* p = malloc(size ? size : 1);
  if (p) {
    ++g_allocations;
    g_live_bytes += static_cast<long long>(malloc_usable_size(p));
  }
  return p;
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* p) noexcept {
  if (!p) return;
  g_live_bytes -= static_cast<long long>(malloc_usable_size(p));
  free(p);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, size_t) noexcept { operator delete(p); }
void operator delete[](void* p, size_t) noexcept { operator delete(p); }

namespace {

using orva::SharedPointer;
using orva::keldra::Attribute;
using orva::keldra::BufferReadStream;
using orva::keldra::DynamicBuffer;
using orva::keldra::Field;
using orva::keldra::Link;
using orva::keldra::Object;
using orva::keldra::ObjectPtr;
using orva::keldra::StringPool;
using orva::keldra::WriteStream;
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
ObjectPtr make_place(int i, const char* owner = "maija.virtanen") {
  ObjectPtr place(new Object("location"));
  char text[96];
  snprintf(text, sizeof(text), "Caf\xC3\xA9 %d, Market Square", i);
  place->set_name(std::string(text));
  place->set_local_id(1000 + i);
  place->set_global_id(880000000000ull + i);
  place->set_version(3);
  place->set_owner(std::string(owner));

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

// A route of 50 waypoints: a "points" list of "way_point" attributes, each with a
// "position" (latitude, longitude) and a link to a place.
ObjectPtr make_route(int i) {
  ObjectPtr route(new Object("route"));
  route->set_name("Route " + std::to_string(i));
  route->set_local_id(1000 + i);
  route->set_global_id(880000000000ull + i);
  route->set_version(2);
  route->set_owner(std::string("maija.virtanen"));
  Attribute& points = add(route->get_attributes(), "list", "points");
  for (int w = 0; w < 50; ++w) {
    Attribute& point = add(points.get_attributes(), "way_point", "");
    Attribute& position = add(point.get_attributes(), "position", "position");
    position.add_field("latitude")->set_value(60.1674 + w * 1e-3);
    position.add_field("longitude")->set_value(24.9525 - w * 1e-3);
    Link link(static_cast<unsigned int>(1 + (i * 50 + w) % 5000));
    link.set_name(std::string("location"));
    point.get_links().push_back(link);
  }
  return route;
}

// A collection of 30 places: the links of its "items" list.
ObjectPtr make_collection(int i) {
  ObjectPtr collection(new Object("collection"));
  collection->set_name("Collection " + std::to_string(i));
  collection->set_local_id(1000 + i);
  collection->set_global_id(880000000000ull + i);
  collection->set_version(1);
  collection->set_owner(std::string("maija.virtanen"));
  Attribute& items = add(collection->get_attributes(), "list", "items");
  for (int k = 0; k < 30; ++k) {
    items.get_links().push_back(Link(static_cast<unsigned int>(1 + (i * 30 + k) % 5000)));
  }
  return collection;
}

// The mix: 8 places of 10, then a route, then a collection.
ObjectPtr make_mixed(int i) {
  switch (i % 10) {
    case 8:
      return make_route(i);
    case 9:
      return make_collection(i);
    default:
      return make_place(i);
  }
}

// The object as a JSON document of the same content: header members, then
// "attributes" with their "fields" (name, wire type, value), "links" and children.
// A field's value as the JSON value of its type.
void json_value(rapidjson::Writer<rapidjson::StringBuffer>& w, const Field& f) {
  switch (f.get_type()) {
    case Field::TYPE_INT32: {
      int v = 0;
      f.get_value(v);
      w.Int(v);
      break;
    }
    case Field::TYPE_UINT32: {
      unsigned int v = 0;
      f.get_value(v);
      w.Uint(v);
      break;
    }
    case Field::TYPE_INT64: {
      long long v = 0;
      f.get_value(v);
      w.Int64(v);
      break;
    }
    case Field::TYPE_UINT64: {
      unsigned long long v = 0;
      f.get_value(v);
      w.Uint64(v);
      break;
    }
    case Field::TYPE_FLOAT: {
      float v = 0;
      f.get_value(v);
      w.Double(v);
      break;
    }
    case Field::TYPE_DOUBLE: {
      double v = 0;
      f.get_value(v);
      w.Double(v);
      break;
    }
    case Field::TYPE_TIMESTAMP: {
      long long v = 0;
      f.get_timestamp(v);
      w.Int64(v);
      break;
    }
    default: {
      std::string v;
      f.get_value(v);
      w.String(v.c_str(), static_cast<rapidjson::SizeType>(v.size()));
    }
  }
}

void json_field(rapidjson::Writer<rapidjson::StringBuffer>& w, const Field& f) {
  w.StartObject();
  w.Key("name");
  std::string name = f.get_name();
  w.String(name.c_str(), static_cast<rapidjson::SizeType>(name.size()));
  w.Key("type");
  w.Int(f.get_type());
  w.Key("value");
  json_value(w, f);
  w.EndObject();
}

void json_links(rapidjson::Writer<rapidjson::StringBuffer>& w, const orva::keldra::LinkList& links) {
  w.Key("links");
  w.StartArray();
  for (size_t i = 0; i < links.size(); ++i) {
    w.StartObject();
    w.Key("name");
    w.String(links[i].get_name().c_str());
    w.Key("local_id");
    w.Uint(links[i].get_local_link());
    w.Key("global_id");
    w.Uint64(links[i].get_global_link());
    w.EndObject();
  }
  w.EndArray();
}

void json_attribute(rapidjson::Writer<rapidjson::StringBuffer>& w, const Attribute& a) {
  w.StartObject();
  w.Key("class");
  w.String(a.get_class_name().c_str());
  w.Key("name");
  w.String(a.get_name().c_str());
  w.Key("fields");
  w.StartArray();
  for (size_t i = 0; i < a.get_fields().size(); ++i) json_field(w, a.get_fields()[i]);
  w.EndArray();
  w.Key("attributes");
  w.StartArray();
  for (size_t i = 0; i < a.get_attributes().size(); ++i) json_attribute(w, *a.get_attributes()[i]);
  w.EndArray();
  json_links(w, a.get_links());
  w.EndObject();
}

std::string to_json(const Object& o) {
  rapidjson::StringBuffer out;
  rapidjson::Writer<rapidjson::StringBuffer> w(out);
  w.StartObject();
  w.Key("class");
  w.String(o.get_class_name().c_str());
  w.Key("name");
  w.String(o.get_name().c_str());
  w.Key("global_id");
  w.Uint64(o.get_global_id());
  w.Key("local_id");
  w.Uint(o.get_local_id());
  w.Key("owner");
  w.String(o.get_owner().c_str());
  w.Key("version");
  w.Uint(o.get_version());
  json_links(w, o.get_links());
  w.Key("attributes");
  w.StartArray();
  for (size_t i = 0; i < o.get_attributes().size(); ++i) json_attribute(w, *o.get_attributes()[i]);
  w.EndArray();
  w.EndObject();
  return std::string(out.GetString(), out.GetSize());
}

// The same content as a JSON document a program would more likely use: the fields of an
// attribute as members named by the field, links as arrays.
void natural_links(rapidjson::Writer<rapidjson::StringBuffer>& w,
                   const orva::keldra::LinkList& links) {
  if (links.size() == 0) return;
  w.Key("links");
  w.StartArray();
  for (size_t i = 0; i < links.size(); ++i) {
    w.StartArray();
    w.Uint(links[i].get_local_link());
    w.Uint64(links[i].get_global_link());
    if (!links[i].get_name().empty()) w.String(links[i].get_name().c_str());
    w.EndArray();
  }
  w.EndArray();
}

void natural_attribute(rapidjson::Writer<rapidjson::StringBuffer>& w, const Attribute& a) {
  w.StartObject();
  w.Key("class");
  w.String(a.get_class_name().c_str());
  if (!a.get_name().empty()) {
    w.Key("name");
    w.String(a.get_name().c_str());
  }
  for (size_t i = 0; i < a.get_fields().size(); ++i) {
    const std::string name = a.get_fields()[i].get_name();
    w.Key(name.c_str(), static_cast<rapidjson::SizeType>(name.size()));
    json_value(w, a.get_fields()[i]);
  }
  if (a.get_attributes().size() > 0) {
    w.Key("attributes");
    w.StartArray();
    for (size_t i = 0; i < a.get_attributes().size(); ++i) {
      natural_attribute(w, *a.get_attributes()[i]);
    }
    w.EndArray();
  }
  natural_links(w, a.get_links());
  w.EndObject();
}

std::string to_natural_json(const Object& o) {
  rapidjson::StringBuffer out;
  rapidjson::Writer<rapidjson::StringBuffer> w(out);
  w.StartObject();
  w.Key("class");
  w.String(o.get_class_name().c_str());
  w.Key("name");
  w.String(o.get_name().c_str());
  w.Key("gid");
  w.Uint64(o.get_global_id());
  w.Key("lid");
  w.Uint(o.get_local_id());
  w.Key("owner");
  w.String(o.get_owner().c_str());
  w.Key("version");
  w.Uint(o.get_version());
  natural_links(w, o.get_links());
  w.Key("attributes");
  w.StartArray();
  for (size_t i = 0; i < o.get_attributes().size(); ++i) natural_attribute(w, *o.get_attributes()[i]);
  w.EndArray();
  w.EndObject();
  return std::string(out.GetString(), out.GetSize());
}

struct Places {
  SharedPointer<StringPool> pool = StringPool::create();
  std::vector<ObjectPtr> objects;
  std::vector<std::string> items;    // each object encoded on its own
  std::vector<std::string> records;  // each object's binary record
  std::vector<std::string> json;     // each object as a JSON document
  std::vector<std::string> natural;  // each object as a terser JSON document
  std::vector<rapidjson::Document> documents;
  std::string contiguous;  // the compact items one after the other
  size_t bytes = 0;

  explicit Places(ObjectPtr (*make)(int)) {
    SyncSerializer serializer;
    for (int i = 0; i < kObjects; ++i) {
      objects.push_back(make(i));
      SharedPointer<DynamicBuffer> buffer(new DynamicBuffer());
      serializer.encode(*objects.back(), buffer, false);
      items.emplace_back(reinterpret_cast<const char*>(buffer->get_data()),
                         buffer->get_data_length());
      bytes += items.back().size();
      contiguous += items.back();

      SharedPointer<DynamicBuffer> record(new DynamicBuffer());
      WriteStream stream(record);
      objects.back()->write(stream);
      records.emplace_back(reinterpret_cast<const char*>(record->get_data()),
                           record->get_data_length());

      json.push_back(to_json(*objects.back()));
      natural.push_back(to_natural_json(*objects.back()));
      documents.emplace_back();
      documents.back().Parse(json.back().c_str(), json.back().size());
    }
  }
};

Places& places() {
  static Places* data = new Places([](int i) { return make_place(i); });
  return *data;
}

Places& mix() {
  static Places* data = new Places(&make_mixed);
  return *data;
}

void report(benchmark::State& state, const Places& data) {
  state.SetItemsProcessed(state.iterations() * kObjects);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.bytes));
  state.counters["bytes_per_object"] = static_cast<double>(data.bytes) / kObjects;
}

// Every writer appends all objects to one output that is made once, big enough, and
// emptied before each pass, so that the figures are the writers' own work and not
// the growth policy of the output (a DynamicBuffer grows by a fixed increment, by
// contract) nor the first touch of fresh pages.
const unsigned int kOutputBytes = 32u << 20;

SharedPointer<DynamicBuffer>& output() {
  static SharedPointer<DynamicBuffer>* buffer = [] {
    auto* b = new SharedPointer<DynamicBuffer>(new DynamicBuffer());
    (*b)->resize(kOutputBytes);
    memset((*b)->get_data(), 0, kOutputBytes);
    return b;
  }();
  (*buffer)->resize(0);
  return *buffer;
}

rapidjson::StringBuffer& json_output() {
  static rapidjson::StringBuffer* out = [] {
    auto* b = new rapidjson::StringBuffer();
    memset(b->Push(kOutputBytes), 0, kOutputBytes);
    return b;
  }();
  out->Clear();
  return *out;
}

// One pass of each kind of work, outside the timing loops (the allocation counts).
void encode_all(const Places& data, SyncSerializer& serializer) {
  SharedPointer<DynamicBuffer>& buffer = output();
  for (const ObjectPtr& object : data.objects) serializer.encode(*object, buffer, false);
  benchmark::DoNotOptimize(buffer->get_data());
}

void decode_all(const Places& data, SyncParser& parser) {
  for (const std::string& item : data.items) {
    ObjectPtr object;
    parser.decode(reinterpret_cast<const unsigned char*>(item.data()),
                  static_cast<unsigned int>(item.size()), object);
    benchmark::DoNotOptimize(object.get());
  }
}

void write_records(const Places& data) {
  WriteStream stream(output());
  for (const ObjectPtr& object : data.objects) object->write(stream);
  benchmark::DoNotOptimize(stream.get_data()->get_data());
}

void read_records(const Places& data) {
  for (const std::string& record : data.records) {
    BufferReadStream stream;
    stream.attach(reinterpret_cast<const unsigned char*>(record.data()),
                  static_cast<unsigned int>(record.size()));
    ObjectPtr object(new Object());
    object->read(stream);
    benchmark::DoNotOptimize(object.get());
  }
}

void json_decode_all(const Places& data) {
  for (const std::string& text : data.json) {
    rapidjson::Document document;
    document.Parse(text.c_str(), text.size());
    benchmark::DoNotOptimize(document.IsObject());
  }
}

void natural_decode_all(const Places& data) {
  for (const std::string& text : data.natural) {
    rapidjson::Document document;
    document.Parse(text.c_str(), text.size());
    benchmark::DoNotOptimize(document.IsObject());
  }
}

void json_encode_all(const Places& data) {
  rapidjson::StringBuffer& out = json_output();
  for (const rapidjson::Document& document : data.documents) {
    rapidjson::Writer<rapidjson::StringBuffer> writer(out);
    document.Accept(writer);
  }
  benchmark::DoNotOptimize(out.GetString());
}

void BM_EncodePlaces(benchmark::State& state) {
  Places& data = places();
  SyncSerializer serializer;
  for (auto _ : state) encode_all(data, serializer);
  report(state, data);
}
BENCHMARK(BM_EncodePlaces);

void BM_DecodePlaces(benchmark::State& state) {
  Places& data = places();
  SyncParser parser;
  for (auto _ : state) decode_all(data, parser);
  report(state, data);
}
BENCHMARK(BM_DecodePlaces);

void BM_DecodeMix(benchmark::State& state) {
  Places& data = mix();
  SyncParser parser;
  for (auto _ : state) decode_all(data, parser);
  report(state, data);
}
BENCHMARK(BM_DecodeMix);

void BM_RapidJsonDecodeMix(benchmark::State& state) {
  Places& data = mix();
  for (auto _ : state) json_decode_all(data);
  report(state, data);
}
BENCHMARK(BM_RapidJsonDecodeMix);

void BM_RapidJsonDecodeMixTerse(benchmark::State& state) {
  Places& data = mix();
  for (auto _ : state) natural_decode_all(data);
  report(state, data);
}
BENCHMARK(BM_RapidJsonDecodeMixTerse);

void BM_RapidJsonDecodeTerse(benchmark::State& state) {
  Places& data = places();
  for (auto _ : state) natural_decode_all(data);
  report(state, data);
}
BENCHMARK(BM_RapidJsonDecodeTerse);

void BM_WriteRecords(benchmark::State& state) {
  Places& data = places();
  for (auto _ : state) write_records(data);
  report(state, data);
}
BENCHMARK(BM_WriteRecords);

void BM_ReadRecords(benchmark::State& state) {
  Places& data = places();
  for (auto _ : state) read_records(data);
  report(state, data);
}
BENCHMARK(BM_ReadRecords);

void BM_RapidJsonDecode(benchmark::State& state) {
  Places& data = places();
  for (auto _ : state) json_decode_all(data);
  report(state, data);
}
BENCHMARK(BM_RapidJsonDecode);

void BM_RapidJsonEncode(benchmark::State& state) {
  Places& data = places();
  for (auto _ : state) json_encode_all(data);
  report(state, data);
}
BENCHMARK(BM_RapidJsonEncode);

// The floor: copying the same bytes, laid out contiguously.
void BM_CopyBytes(benchmark::State& state) {
  Places& data = places();
  std::string copy(data.contiguous.size(), '\0');
  for (auto _ : state) {
    memcpy(&copy[0], data.contiguous.data(), data.contiguous.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  report(state, data);
}
BENCHMARK(BM_CopyBytes);

// A second floor: finding every ';' in the same bytes and nothing else.
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
BENCHMARK(BM_ScanLineEnds);

// Collects the median (or the single) real time of each benchmark and prints the
// table of times per object and ratios to the reference at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type == Run::RT_Aggregate && !median) continue;
      std::string name = run.run_name.function_name;
      const double seconds =
          run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
      if (median || !m_times.count(name)) m_times[name] = seconds;
    }
  }

  void print(const std::map<std::string, double>& allocations) const {
    auto per_object = [this](const char* name) {
      auto it = m_times.find(name);
      return it == m_times.end() ? 0.0 : it->second / kObjects * 1e6;
    };
    const double json_decode = per_object("BM_RapidJsonDecode");
    const double json_encode = per_object("BM_RapidJsonEncode");
    const double compact_decode = per_object("BM_DecodePlaces");
    const double compact_encode = per_object("BM_EncodePlaces");
    const double json_decode_mix = per_object("BM_RapidJsonDecodeMix");
    const double terse_decode_mix = per_object("BM_RapidJsonDecodeMixTerse");
    const double terse_decode = per_object("BM_RapidJsonDecodeTerse");
    struct Row {
      const char* name;
      const char* label;
      double reference;
      const char* reference_label;
    } rows[] = {
        {"BM_DecodePlaces", "compact decode", json_decode, "RapidJSON decode"},
        {"BM_DecodeMix", "mix: compact dec.", json_decode_mix, "mix: RapidJSON dec."},
        {"BM_RapidJsonDecodeMix", "mix: RapidJSON dec.", json_decode_mix, "mix: RapidJSON dec."},
        {"BM_DecodeMix", "mix: compact dec.", terse_decode_mix, "mix: terse JSON"},
        {"BM_RapidJsonDecodeMixTerse", "mix: terse JSON", json_decode_mix, "mix: RapidJSON dec."},
        {"BM_DecodePlaces", "compact decode", terse_decode, "terse JSON"},
        {"BM_RapidJsonDecodeTerse", "terse JSON", json_decode, "RapidJSON decode"},
        {"BM_EncodePlaces", "compact encode", json_encode, "RapidJSON encode"},
        {"BM_ReadRecords", "record read", compact_decode, "compact decode"},
        {"BM_WriteRecords", "record write", compact_encode, "compact encode"},
        {"BM_RapidJsonDecode", "RapidJSON decode", json_decode, "RapidJSON decode"},
        {"BM_RapidJsonEncode", "RapidJSON encode", json_encode, "RapidJSON encode"},
        {"BM_CopyBytes", "copy of the bytes", json_decode, "RapidJSON decode"},
        {"BM_ScanLineEnds", "scan for ';'", json_decode, "RapidJSON decode"},
    };
    printf("\n%-20s %10s %8s  %-20s %12s\n", "work", "us/object", "ratio", "to", "allocs/object");
    for (const Row& row : rows) {
      const double t = per_object(row.name);
      auto a = allocations.find(row.name);
      char allocs[32] = "-";
      if (a != allocations.end()) snprintf(allocs, sizeof allocs, "%.1f", a->second);
      printf("%-20s %10.3f %8.2f  %-20s %12s\n", row.label, t,
             row.reference > 0 ? t / row.reference : 0.0, row.reference_label, allocs);
    }
    printf(
        "\nGoals: compact decode <= 2 x RapidJSON decode; compact encode <= 1 x RapidJSON encode;\n"
        "record read <= 1 x compact decode; record write <= 1 x compact encode;\n"
        "allocations per decoded object < 30.\n");
  }

 private:
  std::map<std::string, double> m_times;
};

template <class Work>
double allocations_per_object(Work work) {
  work();  // warm: caches and pools filled
  const long long before = g_allocations.load();
  work();
  return static_cast<double>(g_allocations.load() - before) / kObjects;
}

std::map<std::string, double> count_allocations() {
  Places& data = places();
  SyncSerializer serializer;
  SyncParser parser;
  std::map<std::string, double> counts;
  counts["BM_EncodePlaces"] = allocations_per_object([&] { encode_all(data, serializer); });
  counts["BM_DecodePlaces"] = allocations_per_object([&] { decode_all(data, parser); });
  counts["BM_DecodeMix"] = allocations_per_object([&] { decode_all(mix(), parser); });
  counts["BM_RapidJsonDecodeMix"] = allocations_per_object([&] { json_decode_all(mix()); });
  counts["BM_WriteRecords"] = allocations_per_object([&] { write_records(data); });
  counts["BM_ReadRecords"] = allocations_per_object([&] { read_records(data); });
  counts["BM_RapidJsonDecode"] = allocations_per_object([&] { json_decode_all(data); });
  counts["BM_RapidJsonEncode"] = allocations_per_object([&] { json_encode_all(data); });
  return counts;
}

// The thread's string pool after decoding 100,000 places with distinct names and
// owners, on a thread of its own so that only these places are in its pool.
void report_pool() {
  std::thread([] {
    const int kPlaces = 100000;
    SharedPointer<StringPool> pool = StringPool::create();
    std::vector<std::string> items;
    {
      SyncSerializer serializer;
      char owner[32];
      for (int i = 0; i < kPlaces; ++i) {
        snprintf(owner, sizeof owner, "user.%d", i);
        SharedPointer<DynamicBuffer> buffer(new DynamicBuffer());
        serializer.encode(*make_place(i, owner), buffer, false);
        items.emplace_back(reinterpret_cast<const char*>(buffer->get_data()),
                           buffer->get_data_length());
      }
    }
    // Encoding interned the same names; a fresh pool shows what decoding alone adds.
    pool = SharedPointer<StringPool>();
    pool = StringPool::create();
    SyncParser parser;
    const size_t strings_before = pool->string_count();
    const long long bytes_before = g_live_bytes.load();
    const long long allocations_before = g_allocations.load();
    for (const std::string& item : items) {
      ObjectPtr object;
      parser.decode(reinterpret_cast<const unsigned char*>(item.data()),
                    static_cast<unsigned int>(item.size()), object);
    }
    const long long allocations = g_allocations.load() - allocations_before;
    const size_t strings = pool->string_count() - strings_before;
    const long long bytes = g_live_bytes.load() - bytes_before;
    printf(
        "\nString pool after decoding %d places with distinct names and owners "
        "(objects released):\n  %zu strings, %.1f MB kept (%.0f bytes per place), "
        "%.1f allocations per place while decoding\n",
        kPlaces, strings, bytes / 1e6, static_cast<double>(bytes) / kPlaces,
        static_cast<double>(allocations) / kPlaces);
  }).join();
}

}  // namespace

int main(int argc, char** argv) {
  // Interleaved repetitions and their medians unless the command line says otherwise.
  std::vector<char*> args(argv, argv + argc);
  std::string repetitions = "--benchmark_repetitions=7";
  std::string interleave = "--benchmark_enable_random_interleaving=true";
  std::string aggregates = "--benchmark_report_aggregates_only=true";
  std::string min_time = "--benchmark_min_time=0.2";
  args.insert(args.begin() + 1, {&repetitions[0], &interleave[0], &aggregates[0], &min_time[0]});
  // A filtered run (for profiling one kind of work) skips the table and its passes.
  bool filtered = false;
  for (char* arg : args) filtered = filtered || strncmp(arg, "--benchmark_filter", 18) == 0;
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  if (filtered) {
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
  }
  std::map<std::string, double> allocations = count_allocations();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.print(allocations);
  report_pool();
  benchmark::Shutdown();
  return 0;
}
