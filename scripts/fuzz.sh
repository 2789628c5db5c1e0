#!/usr/bin/env bash
# Builds the fuzzers with clang's libFuzzer and runs each on a working copy of
# its seed corpus.
#   scripts/fuzz.sh [seconds] [fuzzer...]   each for that long (default 60),
#                                           growing build/libfuzzer/corpus-work
#   scripts/fuzz.sh --fixed [fuzzer...]     each for a fixed number of inputs
#                                           from a fixed random seed, on a fresh
#                                           copy of the corpus: the outcome
#                                           depends on the code alone, not on
#                                           the machine's speed (for CI)
set -euo pipefail
cd "$(dirname "$0")/.."
fixed=0
seconds=60
if [ "${1:-}" = "--fixed" ]; then
  fixed=1
  shift
elif [ $# -gt 0 ]; then
  seconds=$1
  shift
fi

# Inputs per fuzzer in a fixed run: each about half a minute on a CI machine.
fixed_runs() {
  case $1 in
    keys) echo 1000000 ;;
    savedata) echo 50000 ;;
    scenario) echo 100000 ;;
    *) echo 10000 ;;
  esac
}

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
  if [ $fixed -eq 1 ]; then
    work="$build/corpus-fixed/$t"
    rm -rf "$work"
    limit=(-runs="$(fixed_runs "$t")" -seed=1)
    echo "fuzz: $t for ${limit[0]#-runs=} inputs"
  else
    work="$build/corpus-work/$t"
    limit=(-max_total_time="$seconds")
    echo "fuzz: $t for ${seconds}s"
  fi
  mkdir -p "$work"
  cp -n fuzz/corpus/"$t"/* "$work"/ 2>/dev/null || true
  extra="$build/seeds/$t"
  seeds=()
  [ -d "$extra" ] && seeds+=("$extra")
  log="$build/fuzz-$t.log"
  if ! (cd "$build" && ASAN_OPTIONS=detect_leaks=1 "./fuzz/fuzz_$t" "${limit[@]}" \
        -print_final_stats=1 -timeout=10 -close_fd_mask=1 -rss_limit_mb=2048 "${work#$build/}" "${seeds[@]/#$build\//}") >"$log" 2>&1; then
    echo "fuzz: $t FOUND A FAILURE, see $log" >&2
    tail -40 "$log" >&2
    status=1
  fi
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec)' "$log" | sed "s/^/fuzz: $t /" || true
done
exit $status
