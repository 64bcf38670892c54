#!/usr/bin/env bash
# Installs what is needed, builds everything with AddressSanitizer and UBSan, and runs
# every test under CTest. JOBS sets the parallelism (default: all processors).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
JOBS=${JOBS:-$(nproc)}
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DKELDRA_BUILD_TESTS=ON -DKELDRA_SANITIZE=ON
cmake --build build-test -j"$JOBS"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir build-test --output-on-failure -j"$JOBS" --timeout 300
