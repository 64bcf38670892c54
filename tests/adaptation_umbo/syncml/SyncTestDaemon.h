// The fake sync daemon (support/fakemsyncd) for the SyncML handler's tests: one process
// on the shared test bus for the whole test binary, whose recorded calls the tests read
// as "method(argument, ...)".
#pragma once

#include "support/DbusTestBus.h"
#include "support/FakeSyncDaemon.h"

#include <string>
#include <vector>

namespace keldra_test {

// Started at the first call; null when the bus or the program could not start (|error|
// then says why).
FakeSyncDaemon* shared_fake_daemon(std::string& error);

// The calls recorded since the last clear_calls(), e.g. "startSync(maps-keldra)".
std::vector<std::string> daemon_calls(FakeSyncDaemon& daemon);

}  // namespace keldra_test
