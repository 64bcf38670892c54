// Broken internal invariants stop the process with an assertion message naming the
// expression, the source file and the line, in every build (also with NDEBUG).
#pragma once

namespace orva {
namespace keldra {
namespace internal {

[[noreturn]] void invariant_failed(const char* expression, const char* source, int line,
                                   const char* function);

}  // namespace internal
}  // namespace keldra
}  // namespace orva

// Checks an invariant that only the library itself can break.
#define KELDRA_INVARIANT(condition, expression, source, line)                        \
  do {                                                                               \
    if (!(condition))                                                                \
      ::orva::keldra::internal::invariant_failed(expression, source, line, __func__); \
  } while (0)
