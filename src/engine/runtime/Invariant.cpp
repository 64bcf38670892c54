#include <keldra/Invariant.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace orva {
namespace keldra {
namespace internal {

void invariant_failed(const char* expression, const char* source, int line, const char* function,
                      const char* hint) {
  // The message of a failing assert(), which is compiled out under NDEBUG.
  fprintf(stderr, "%s: %s:%d: %s: Assertion `%s' failed.\n", program_invocation_short_name,
          source, line, function, expression);
  if (hint) fprintf(stderr, "keldra: %s\n", hint);
  fflush(stderr);
  abort();
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
