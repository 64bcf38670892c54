#include <keldra/RefCountable.h>

namespace orva {
namespace internal {

std::recursive_mutex& RefCountable::shared_count_lock() {
  // Never destroyed: holders may drop counts during static destruction.
  static std::recursive_mutex* lock = new std::recursive_mutex;
  return *lock;
}

}  // namespace internal
}  // namespace orva
