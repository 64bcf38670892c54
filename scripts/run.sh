#!/usr/bin/env bash
# Installs what is needed, builds the deliverables, installs them under PREFIX
# (default /usr/local) and starts the change-relay service on a session bus.
set -euo pipefail
cd "$(dirname "$0")/.."
PREFIX=${PREFIX:-/usr/local}
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX="$PREFIX"
cmake --build build -j"$(nproc)"
cmake --install build
ldconfig 2>/dev/null || true
if [ -x "$PREFIX/bin/keldservice" ]; then
  if [ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
    echo "Starting keldservice on the session bus $DBUS_SESSION_BUS_ADDRESS (Ctrl-C stops it)"
    exec "$PREFIX/bin/keldservice"
  else
    echo "Starting keldservice on a new session bus (Ctrl-C stops it)"
    exec dbus-run-session -- "$PREFIX/bin/keldservice"
  fi
fi
