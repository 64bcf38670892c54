#!/usr/bin/env bash
# Builds the benchmarks in a Release build of their own (build-bench, apart from the
# sanitizer build of the tests) and runs every one of them; extra arguments go to each
# program (for example --benchmark_filter=Cancel). JOBS sets the parallelism (default 4).
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-4}
BUILD=${BUILD:-build-bench}
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DKELDRA_BUILD_BENCH=ON -DKELDRA_BUILD_TESTS=OFF \
  -DKELDRA_SANITIZE=OFF >/dev/null
cmake --build "$BUILD" -j"$JOBS"
for program in "$BUILD"/bench/bench_*; do
  [ -f "$program" ] && [ -x "$program" ] || continue
  echo "=== $(basename "$program")"
  "$program" "$@"
done
