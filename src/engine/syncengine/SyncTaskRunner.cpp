#include "syncengine/SyncTaskRunner.h"

namespace orva {
namespace keldra {
namespace internal {

// The sync task manager is not part of this build yet: services refuse to synchronize.
SyncTaskRunner* SyncTaskRunner::create() { return nullptr; }

}  // namespace internal
}  // namespace keldra
}  // namespace orva
