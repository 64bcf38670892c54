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
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX="$PREFIX"
cmake --build build -j"$JOBS"
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
    # The scenario's programs and stand-ins are test code: built apart from the
    # deliverables, they run the installed ones.
    cmake -S . -B build-scenario -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELDRA_BUILD_TESTS=ON \
        -DCMAKE_INSTALL_PREFIX="$PREFIX"
    cmake --build build-scenario -j"$JOBS" --target test_system
    echo "The whole system at work, on the install under $PREFIX:"
    KELDRA_SCENARIO_PREFIX="$PREFIX" build-scenario/tests/system/test_system --gtest_brief=1
fi
if [ -x "$PREFIX/bin/keldservice" ]; then
    exec bash scripts/run-service.sh "$PREFIX/bin/keldservice"
fi
