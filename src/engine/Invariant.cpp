#include <keldra/Invariant.h>

#include <assert.h>

namespace orva {
namespace keldra {
namespace internal {

void invariant_failed(const char* expression, const char* source, int line,
                      const char* function) {
  __assert_fail(expression, source, static_cast<unsigned int>(line), function);
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
