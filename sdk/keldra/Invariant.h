// Broken internal invariants stop the process with an assertion message naming the
// expression, the source file and the line, in every build (also with NDEBUG).
//
// Fixed names and lines: the checks that the product has always made keep the file
// name and line of their original assertion ("src/engine/StringsPool", line 159, for
// a thread without a string pool) instead of __FILE__ and __LINE__. Crash reports,
// device logs and the scripts that sort them key on that exact text, and tests match
// it, so it must not change when files are moved or lines shift. Checks that have no
// such history use __FILE__ and __LINE__.
//
// A check that an application can trip by misuse adds a hint: one more line saying
// what to do, printed after the fixed assertion line, which stays unchanged.
#pragma once

namespace orva {
namespace keldra {
namespace internal {

// Prints "<program>: <source>:<line>: <function>: Assertion `<expression>' failed."
// and, when |hint| is given, "keldra: <hint>" on standard error, then aborts.
[[noreturn]] void invariant_failed(const char* expression, const char* source, int line,
                                   const char* function, const char* hint = nullptr);

}  // namespace internal
}  // namespace keldra
}  // namespace orva

// Checks an invariant that only the library itself can break.
#define KELDRA_INVARIANT(condition, expression, source, line)                        \
  do {                                                                               \
    if (!(condition))                                                                \
      ::orva::keldra::internal::invariant_failed(expression, source, line, __func__); \
  } while (0)
