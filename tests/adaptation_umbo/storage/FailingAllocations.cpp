#include "FailingAllocations.h"

#include <cstdlib>
#include <new>

namespace {

// Allocations left before the one that fails; negative while disarmed.
thread_local long t_countdown = -1;
thread_local bool t_reached = false;

void* allocate(std::size_t size) {
  if (t_countdown >= 0 && t_countdown-- == 0) {
    t_reached = true;
    throw std::bad_alloc();
  }
  void* p = std::malloc(size ? size : 1);
  if (!p) throw std::bad_alloc();
  return p;
}

}  // namespace

namespace keldra_test {

void fail_allocation(long n) {
  t_reached = false;
  t_countdown = n;
}

bool stop_failing_allocations() {
  t_countdown = -1;
  return t_reached;
}

}  // namespace keldra_test

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
