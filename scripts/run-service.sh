#!/usr/bin/env bash
# Runs the change-relay service keldservice (the program given, default: keldservice on
# PATH) until Ctrl-C. On the session bus of DBUS_SESSION_BUS_ADDRESS when one is set;
# otherwise on a private session bus of its own, whose address it prints so that a
# second terminal can reach the service. Ctrl-C (or SIGTERM) stops the service and the
# private bus and removes the bus's socket folder. Started in the background of another
# script, it inherits an ignored SIGINT that bash cannot trap: stop it there with
# `kill PID` (SIGTERM), which does the same.
set -euo pipefail
SERVICE=${1:-keldservice}

if [ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
    echo "Starting keldservice on the session bus $DBUS_SESSION_BUS_ADDRESS (Ctrl-C stops it)"
    exec "$SERVICE"
fi

svc_pid=""
bus_pid=""
bus_dir=""
stop_all() {
    trap - INT TERM EXIT
    # Children started with & ignore Ctrl-C's SIGINT: they are stopped here, service first.
    if [ -n "$svc_pid" ]; then
        kill -TERM "$svc_pid" 2>/dev/null || true
        wait "$svc_pid" 2>/dev/null || true
    fi
    if [ -n "$bus_pid" ]; then
        kill -TERM "$bus_pid" 2>/dev/null || true
        wait "$bus_pid" 2>/dev/null || true
    fi
    if [ -n "$bus_dir" ]; then rm -rf "$bus_dir"; fi
}
trap 'stop_all; exit 130' INT
trap 'stop_all; exit 143' TERM
trap 'stop_all' EXIT

bus_dir=$(mktemp -d "${TMPDIR:-/tmp}/keldra-bus.XXXXXX")
dbus-daemon --session --nofork --nopidfile --address="unix:path=$bus_dir/socket" \
    --print-address=3 3>"$bus_dir/address" </dev/null 2>"$bus_dir/log" &
bus_pid=$!
address=""
for _ in $(seq 100); do
    if [ -s "$bus_dir/address" ]; then read -r address <"$bus_dir/address" || true; fi
    [ -n "$address" ] && break
    kill -0 "$bus_pid" 2>/dev/null || break
    sleep 0.1
done
if [ -z "$address" ]; then
    echo "run-service: the private session bus did not start:" >&2
    cat "$bus_dir/log" >&2
    exit 1
fi
export DBUS_SESSION_BUS_ADDRESS="$address"

echo "Starting keldservice on a private session bus (Ctrl-C stops both). In another terminal:"
echo "  export DBUS_SESSION_BUS_ADDRESS='$address'"
"$SERVICE" </dev/null &
svc_pid=$!
status=0
wait "$svc_pid" || status=$?
svc_pid=""
exit "$status"
