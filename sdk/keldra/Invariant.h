// Checks of internal invariants: a broken one stops the process with an assertion
// naming the expression and the place, in every build (also with NDEBUG).
#pragma once

namespace orva {
namespace keldra {
namespace internal {

// Stops the process for a broken internal invariant, naming the expression and the
// place. Active in every build.
[[noreturn]] void invariant_failed(const char* expression, const char* source, int line,
                                   const char* function);

}  // namespace internal
}  // namespace keldra
}  // namespace orva

// Checks an invariant that only the library or its callers' misuse can break.
#define KELDRA_INVARIANT(condition, expression, source, line)                        \
  do {                                                                               \
    if (!(condition))                                                                \
      ::orva::keldra::internal::invariant_failed(expression, source, line, __func__); \
  } while (0)
