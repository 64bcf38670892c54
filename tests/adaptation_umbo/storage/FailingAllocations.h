// Out of memory on demand: this test binary replaces the global operator new, so that a
// test can make one chosen allocation of its own thread throw std::bad_alloc. Other
// threads, and the test's thread while nothing is armed, allocate as usual.
#pragma once

namespace keldra_test {

// The |n|-th allocation (counted from 0) of the calling thread from now on throws
// std::bad_alloc; only that one.
void fail_allocation(long n);
// Disarms the calling thread; true when the chosen allocation was reached (and failed).
bool stop_failing_allocations();

}  // namespace keldra_test
