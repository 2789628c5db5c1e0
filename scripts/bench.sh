#!/bin/sh
# Builds the benchmarks in an optimised build of their own and runs them: the
# store's, then save and load of the save-data file. Arguments are passed on to
# both benchmark programs (for example --benchmark_filter=FindHit). Exits
# non-zero when a target is missed.
set -eu
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCORVANE_BUILD_BENCH=ON -DCORVANE_BUILD_TESTS=OFF >/dev/null
ninja -C build-bench -j2 corvane_bench persist_bench
status=0
build-bench/bench/corvane_bench "$@" || status=1
# The save-data benchmark loads the plug-in's code, whose log opens
# corvane.log in the current folder: run it inside the build folder.
(cd build-bench && ./bench/persist_bench "$@") || status=1
exit $status
