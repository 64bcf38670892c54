#include "sysinfo/sysinfo.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <string>
#include <utility>
#include <vector>

struct system_config {
  // Pairs in first-appearance order of their key.
  std::vector<std::pair<std::string, std::string>> entries;
};

namespace {

const char kFileVariable[] = "SYSINFO_VALUES_FILE";

bool read_entries(const char* path, system_config& config) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = line.substr(0, eq);
    std::string value = line.substr(eq + 1);
    bool replaced = false;
    for (auto& entry : config.entries) {
      if (entry.first == key) {
        entry.second = std::move(value);
        replaced = true;
        break;
      }
    }
    if (!replaced) config.entries.emplace_back(std::move(key), std::move(value));
  }
  return !in.bad();
}

}  // namespace

extern "C" int sysinfo_init(system_config** context) {
  if (!context) return -1;
  *context = nullptr;
  const char* path = std::getenv(kFileVariable);
  if (!path || !*path) return -1;
  system_config* config = new (std::nothrow) system_config;
  if (!config) return -1;
  try {
    if (!read_entries(path, *config)) {
      delete config;
      return -1;
    }
  } catch (...) {
    delete config;
    return -1;
  }
  *context = config;
  return 0;
}

extern "C" int sysinfo_get_keys(system_config* context, char*** keys) {
  if (!context || !keys) return -1;
  const size_t n = context->entries.size();
  char** list = static_cast<char**>(std::calloc(n + 1, sizeof(char*)));
  if (!list) return -1;
  for (size_t i = 0; i < n; ++i) {
    const std::string& key = context->entries[i].first;
    list[i] = static_cast<char*>(std::malloc(key.size() + 1));
    if (!list[i]) {
      for (size_t j = 0; j < i; ++j) std::free(list[j]);
      std::free(list);
      return -1;
    }
    std::memcpy(list[i], key.c_str(), key.size() + 1);
  }
  *keys = list;
  return 0;
}

extern "C" int sysinfo_get_value(system_config* context, const char* key, uint8_t** value,
                                 unsigned long* length) {
  if (!context || !key || !value || !length) return -1;
  for (const auto& entry : context->entries) {
    if (entry.first != key) continue;
    const std::string& v = entry.second;
    uint8_t* bytes = nullptr;
    if (!v.empty()) {
      bytes = static_cast<uint8_t*>(std::malloc(v.size()));
      if (!bytes) return -1;
      std::memcpy(bytes, v.data(), v.size());
    }
    *value = bytes;
    *length = static_cast<unsigned long>(v.size());
    return 0;
  }
  return -1;
}

extern "C" void sysinfo_finish(system_config* context) { delete context; }
