#!/usr/bin/env bash
# Builds the fuzzers with clang's libFuzzer and runs each for the given number
# of seconds (default 60) on a working copy of its seed corpus.
#   scripts/fuzz.sh [seconds] [fuzzer...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true

build=build/libfuzzer
if ! command -v clang++ >/dev/null; then
  echo "fuzz: clang++ not found" >&2
  exit 1
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCORVANE_LIBFUZZER=ON -DCORVANE_WARNINGS_AS_ERRORS=ON \
  "-DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all" \
  "-DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all" \
  "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined" \
  "-DCMAKE_MODULE_LINKER_FLAGS=-fsanitize=address,undefined" >/dev/null
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(ls fuzz/corpus)
fi
if ! ninja -C "$build" -j2 $(printf 'fuzz_%s ' "${targets[@]}") >"$build/build.log" 2>&1; then
  echo "fuzz: the fuzzers did not build" >&2
  grep -E -A5 'error|FAILED' "$build/build.log" | head -40 >&2
  exit 1
fi

[ -x scripts/fetch-fuzz-seeds.sh ] && scripts/fetch-fuzz-seeds.sh "$build" || true

status=0
for t in "${targets[@]}"; do
  work="$build/corpus-work/$t"
  mkdir -p "$work"
  cp -n fuzz/corpus/"$t"/* "$work"/ 2>/dev/null || true
  extra="$build/seeds/$t"
  seeds=()
  [ -d "$extra" ] && seeds+=("$extra")
  log="$build/fuzz-$t.log"
  echo "fuzz: $t for ${seconds}s"
  if ! (cd "$build" && ASAN_OPTIONS=detect_leaks=1 "./fuzz/fuzz_$t" -max_total_time="$seconds" \
        -print_final_stats=1 -timeout=10 -close_fd_mask=1 -rss_limit_mb=2048 "corpus-work/$t" "${seeds[@]/#$build\//}") >"$log" 2>&1; then
    echo "fuzz: $t FOUND A FAILURE, see $log" >&2
    tail -40 "$log" >&2
    status=1
  fi
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec)' "$log" | sed "s/^/fuzz: $t /" || true
done
exit $status
