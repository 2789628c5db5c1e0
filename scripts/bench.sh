#!/bin/sh
# Builds the store benchmarks in an optimised build of their own and runs
# them. Arguments are passed on to the benchmark program (for example
# --benchmark_filter=FindHit). Exits non-zero when a look-up target is missed.
set -eu
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCORVANE_BUILD_BENCH=ON -DCORVANE_BUILD_TESTS=OFF >/dev/null
ninja -C build-bench -j2 corvane_bench
exec build-bench/bench/corvane_bench "$@"
