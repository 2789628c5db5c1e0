#!/usr/bin/env bash
# Builds and runs every test. Does all set-up on a fresh Debian machine (root).
set -euo pipefail
cd "$(dirname "$0")/.."

pass_linux() {
  cmake -S . -B build/linux -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  ninja -C build/linux
  (cd build/linux && ctest --output-on-failure -j2)
}

bash scripts/setup.sh
pass_linux
