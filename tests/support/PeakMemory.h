// The process's memory as tests and benchmarks bound or report it: a line of
// /proc/self/status, and how far the peak rose since a starting point. Header-only, as
// the benchmark programs take it without the test support library.
//
// PeakMemory counts, under AddressSanitizer, the bytes its allocator has handed out (the
// freed blocks it holds back in quarantine would swamp the resident size); otherwise the
// peak resident size (VmHWM), which start() resets to the current resident size.
//
// Thread: any; one measurement at a time per process, as the peak and the counters are
// the process's.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// AddressSanitizer's allocator hooks, when the program runs under it (null otherwise).
extern "C" int __sanitizer_install_malloc_and_free_hooks(
    void (*malloc_hook)(const volatile void*, size_t),
    void (*free_hook)(const volatile void*)) __attribute__((weak));
extern "C" size_t __sanitizer_get_allocated_size(const volatile void* p) __attribute__((weak));

namespace keldra_test {

// Kibibytes on the line |key| ("VmRSS", "VmHWM") of /proc/self/status; -1 when it
// cannot be read.
inline long status_kib(const char* key) {
  FILE* file = std::fopen("/proc/self/status", "r");
  if (!file) return -1;
  char line[256];
  long value = -1;
  const size_t n = std::strlen(key);
  while (std::fgets(line, sizeof line, file)) {
    if (std::strncmp(line, key, n) == 0 && line[n] == ':') value = std::atol(line + n + 1);
  }
  std::fclose(file);
  return value;
}

class PeakMemory {
 public:
  // Starts counting from here; false when the peak cannot be measured.
  bool start() {
    if (sanitized()) {
      static const bool hooked =
          __sanitizer_install_malloc_and_free_hooks(count_malloc, count_free) != 0;
      m_start = heap_live().load();
      heap_peak() = m_start;
      return hooked;
    }
    FILE* file = std::fopen("/proc/self/clear_refs", "w");
    if (!file) return false;
    const bool reset = std::fputs("5", file) >= 0;
    const bool closed = std::fclose(file) == 0;
    m_start = status_kib("VmHWM") * 1024LL;
    return reset && closed && m_start > 0;
  }
  // How far the peak rose above the start, in KiB.
  long long growth_kib() const {
    const long long peak = sanitized() ? heap_peak().load() : status_kib("VmHWM") * 1024LL;
    return (peak - m_start) / 1024;
  }

 private:
  static bool sanitized() {
    return __sanitizer_install_malloc_and_free_hooks && __sanitizer_get_allocated_size;
  }
  static std::atomic<long long>& heap_live() {
    static std::atomic<long long> bytes{0};
    return bytes;
  }
  static std::atomic<long long>& heap_peak() {
    static std::atomic<long long> bytes{0};
    return bytes;
  }
  static void count_malloc(const volatile void*, size_t size) {
    const long long live = heap_live() += static_cast<long long>(size);
    long long peak = heap_peak().load();
    while (live > peak && !heap_peak().compare_exchange_weak(peak, live)) {
    }
  }
  static void count_free(const volatile void* p) {
    heap_live() -= static_cast<long long>(__sanitizer_get_allocated_size(p));
  }

  long long m_start = 0;
};

}  // namespace keldra_test
