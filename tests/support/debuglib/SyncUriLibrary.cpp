// Stand-in for the debug library: its sync server address is whatever the test put in
// KELDRA_TEST_SYNC_URI (empty when unset).
#include <cstdlib>
#include <string>

extern "C" __attribute__((visibility("default"))) std::string getSyncServerUri() {
  const char* uri = std::getenv("KELDRA_TEST_SYNC_URI");
  return uri ? std::string(uri) : std::string();
}
