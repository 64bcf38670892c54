#!/usr/bin/env bash
# Installs what is needed, builds the deliverables, installs them under PREFIX
# (default /usr/local) and starts the change-relay service on a session bus once it
# is part of the build. JOBS sets the build parallelism (default: all processors).
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
if [ -x "$PREFIX/bin/keldservice" ]; then
  if [ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
    echo "Starting keldservice on the session bus $DBUS_SESSION_BUS_ADDRESS (Ctrl-C stops it)"
    exec "$PREFIX/bin/keldservice"
  else
    echo "Starting keldservice on a new session bus (Ctrl-C stops it)"
    exec dbus-run-session -- "$PREFIX/bin/keldservice"
  fi
fi
