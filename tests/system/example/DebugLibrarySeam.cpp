// Preloaded into the `qml` tool by system.qml_example: before the tool starts, it points
// the store's debug library look-up (the settings' seam; the product looks in a system
// folder) at the library named by KELDRA_TEST_DEBUG_LIBRARY, the test's stand-in, so that
// the loopback HTTPS server becomes the sync server with nothing installed under /usr/lib.
// Without that variable it changes nothing.
#include "adaptation_umbo/base/Settings.h"

#include <cstdlib>

namespace {

__attribute__((constructor)) void use_the_stand_in() {
  const char* path = std::getenv("KELDRA_TEST_DEBUG_LIBRARY");
  if (path && *path) orva::keldra::internal::Settings::set_library_path(path);
}

}  // namespace
