#!/bin/sh
# Builds the benchmarks in an optimised build of their own and runs them: the
# store's, the load's memory, the game binding's against the table engine's
# (under Wine), then save and load of the save-data file, then the script
# interpreter against Lua 5.4 and against the plug-in's handlers. Arguments are
# passed on to both Google Benchmark programs (for example
# --benchmark_filter=FindHit). Exits non-zero when a target is missed.
set -eu
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCORVANE_BUILD_BENCH=ON -DCORVANE_BUILD_TESTS=OFF >/dev/null
ninja -C build-bench -j2 corvane_bench persist_bench load_memory save_memory script_bench
status=0
build-bench/bench/corvane_bench "$@" || status=1
# The load's memory per value: the 64-bit build here, and the 32-bit Windows
# build under Wine (its own build folder, as scripts/test.sh makes it). Then,
# under Wine, the game binding's cost against the table engine's, through
# the plug-in DLL.
(cd build-bench && ./bench/load_memory) || status=1
(cd build-bench && ./bench/save_memory) || status=1
if bash scripts/fetch-deps.sh build/_deps >/dev/null && cmake --preset mingw-i686 >/dev/null &&
  cmake --build --preset mingw-i686 --target load_memory save_memory binding_bench >/dev/null; then
  (cd build/mingw-i686/bench && ../wine-run ./load_memory.exe) || status=1
  (cd build/mingw-i686/bench && ../wine-run ./save_memory.exe) || status=1
  (cd build/mingw-i686/bench && ../wine-run ./binding_bench.exe) || status=1
else
  echo "bench: the 32-bit Windows build could not be made; its Wine figures are missing" >&2
  status=1
fi
# Wine's server and its services keep working for seconds after the last
# program ends: they are stopped here, so that they do not slow the native
# benchmarks that follow.
WINEPREFIX="$PWD/build/mingw-i686/wineprefix" wineserver -k 2>/dev/null || true
WINEPREFIX="$PWD/build/mingw-i686/wineprefix" wineserver -w 2>/dev/null || true
# The save-data benchmark loads the plug-in's code, whose log opens
# corvane.log in the current folder: run it inside the build folder.
(cd build-bench && ./bench/persist_bench "$@") || status=1
# The script interpreter: a 10^7-pass loop against Lua 5.4, and 10^5 plug-in
# call pairs against the handlers called from C++ (each at most 2x). It loads
# the plug-in's code too: run it inside the build folder.
(cd build-bench && ./bench/script_bench) || status=1
exit $status
