#!/usr/bin/env bash
# Installs what is needed, builds the deliverables, installs them under PREFIX
# (default /usr/local), shows the whole system at work on that install (the scenario of
# tests/system: a private bus, a fresh store under a temporary home; SCENARIO=0 leaves it
# out) and starts the change-relay service keldservice through scripts/run-service.sh: on
# the session bus of DBUS_SESSION_BUS_ADDRESS, or on a private bus whose address it
# prints. JOBS sets the build parallelism (default: all processors).
set -euo pipefail
cd "$(dirname "$0")/.."
PREFIX=${PREFIX:-/usr/local}
JOBS=${JOBS:-$(nproc)}
bash scripts/install-deps.sh
# One build: the deliverables and, for the scenario, its test programs beside them, so
# the library is compiled once.
if [ "${SCENARIO:-1}" != 0 ]; then
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX="$PREFIX" \
        -DKELDRA_BUILD_TESTS=ON
    # The installed targets and the scenario (tests/system), not the whole test suite.
    cmake --build build -j"$JOBS" --target keldra tervo sysinfo syncfw qtkeldraplugin \
        hkeldra-storage keldservice syncfw-driver test_system
else
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX="$PREFIX" \
        -DKELDRA_BUILD_TESTS=OFF
    cmake --build build -j"$JOBS"
fi
SUDO=""
if [ "$(id -u)" -ne 0 ] && ! { mkdir -p "$PREFIX" 2>/dev/null && [ -w "$PREFIX" ]; }; then
    SUDO="sudo"
fi
$SUDO cmake --install build
if [ "$(id -u)" -eq 0 ] || [ -n "$SUDO" ]; then
    $SUDO ldconfig 2>/dev/null || true
fi
echo "Installed under $PREFIX"
if [ "${SCENARIO:-1}" != 0 ]; then
    # The scenario's programs and stand-ins are test code; they run the installed
    # deliverables, not those of the build tree.
    echo "The whole system at work, on the install under $PREFIX:"
    KELDRA_SCENARIO_PREFIX="$PREFIX" build/tests/system/test_system --gtest_brief=1
fi
if [ -x "$PREFIX/bin/keldservice" ]; then
    exec bash scripts/run-service.sh "$PREFIX/bin/keldservice"
fi
