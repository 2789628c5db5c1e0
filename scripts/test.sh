#!/usr/bin/env bash
# Builds and runs every test. Does all set-up on a fresh Debian machine (root).
#
#   scripts/test.sh            the default passes: linux, linux-asan, mingw, fuzz
#   scripts/test.sh PASS...    only these passes (linux, linux-asan, mingw, fuzz)
#
# Each pass is a function pass_NAME that configures, builds and runs ctest for
# one build folder; run_pass times it. The wall time of every pass is reported
# at the end, and the script fails when any pass failed.
set -uo pipefail
cd "$(dirname "$0")/.."

JOBS=2
DEFAULT_PASSES=(linux linux-asan mingw fuzz)

# ctest for one build folder; its counts are added up for the closing line.
PASSED_TESTS=0
FAILED_TESTS=0
LAST_FAILED=0
run_ctest() {
  local dir="$1" out="$1/ctest-output.txt" rc total failed
  shift
  ctest --test-dir "$dir" --output-on-failure -j"$JOBS" --timeout 600 "$@" 2>&1 | tee "$out"
  rc=${PIPESTATUS[0]}
  read -r failed total < <(sed -n 's/.* tests passed, \([0-9]*\) tests* failed out of \([0-9]*\).*/\1 \2/p' "$out" | tail -n 1)
  LAST_FAILED=${failed:-0}
  if [ -n "${total:-}" ]; then
    PASSED_TESTS=$((PASSED_TESTS + total - failed))
    FAILED_TESTS=$((FAILED_TESTS + failed))
  fi
  [ "${total:-0}" -gt 0 ] || { echo "test: ctest ran no test in $1" >&2; return 1; }
  return "$rc"
}

pass_linux() {
  cmake --preset linux >/dev/null &&
    cmake --build --preset linux -j"$JOBS" &&
    run_ctest build/linux
}

pass_linux_asan() {
  cmake --preset linux-asan >/dev/null &&
    cmake --build --preset linux-asan -j"$JOBS" &&
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest build/linux-asan
}

# The 32-bit Windows build; every test runs under Wine. One Wine prefix per
# build folder, made once; one wine server kept alive for the whole pass.
pass_mingw() {
  local build=build/mingw-i686 rc
  bash scripts/fetch-deps.sh build/_deps || return 1
  cmake --preset mingw-i686 >/dev/null &&
    cmake --build --preset mingw-i686 -j"$JOBS" || return 1
  local t0=$SECONDS
  "$build/wine-run" cmd /c exit 0 || { echo "test: Wine does not start" >&2; return 1; }
  echo "test: Wine prefix ready in $((SECONDS - t0)) s"
  WINEPREFIX="$PWD/$build/wineprefix" wineserver -p
  run_ctest "$build"
  rc=$?
  # Under load a Wine program now and then loses its connection to the wine
  # server and dies before running any of our code, or prints all its checks
  # and its summary and then never exits (cmake/exit_watch.sh ends it). Only
  # then are the tests that failed run once more; a test that fails again
  # fails the pass.
  if [ "$rc" -ne 0 ] && grep -q -e "wine client error" -e "exit-watch: " "$build/ctest-output.txt"; then
    echo "test: Wine lost its server connection or a program hung at exit; the $LAST_FAILED failed tests run once more" >&2
    FAILED_TESTS=$((FAILED_TESTS - LAST_FAILED))
    run_ctest "$build" --rerun-failed
    rc=$?
  fi
  WINEPREFIX="$PWD/$build/wineprefix" wineserver -k 2>/dev/null || true
  return $rc
}

# Each fuzzer for a fixed number of inputs from a fixed seed, so that the
# pass does not depend on the machine's speed; FUZZ_SECONDS=N runs each for
# N seconds instead, to look further for new failures.
pass_fuzz() {
  if [ -n "${FUZZ_SECONDS:-}" ]; then
    bash scripts/fuzz.sh "$FUZZ_SECONDS"
  else
    bash scripts/fuzz.sh --fixed
  fi
}

declare -a SUMMARY=()
FAILED=0
run_pass() {
  local name=$1 fn="pass_${1//-/_}" start rc
  if ! declare -F "$fn" >/dev/null; then
    echo "test: unknown pass '$name'" >&2
    exit 2
  fi
  echo "=== pass $name"
  start=$(date +%s)
  "$fn"
  rc=$?
  local secs=$(($(date +%s) - start))
  if [ $rc -eq 0 ]; then
    SUMMARY+=("pass $name: ok, wall time ${secs} s")
  else
    SUMMARY+=("pass $name: FAILED ($rc), wall time ${secs} s")
    FAILED=1
  fi
}

passes=("$@")
[ ${#passes[@]} -eq 0 ] && passes=("${DEFAULT_PASSES[@]}")
need_windows=0
for p in "${passes[@]}"; do [ "$p" = mingw ] && need_windows=1; done

setup_start=$(date +%s)
if [ $need_windows = 1 ]; then
  bash scripts/setup.sh --windows || exit 1
else
  bash scripts/setup.sh || exit 1
fi
SUMMARY+=("setup: wall time $(($(date +%s) - setup_start)) s")

for p in "${passes[@]}"; do run_pass "$p"; done

echo "=== summary"
printf '%s\n' "${SUMMARY[@]}"
echo "tests: $PASSED_TESTS passed, $FAILED_TESTS failed"
exit $FAILED
