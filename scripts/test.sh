#!/usr/bin/env bash
# Builds and runs every test. Does all set-up on a fresh Debian machine (root).
set -euo pipefail
cd "$(dirname "$0")/.."

install_packages() {
  local pkgs=(build-essential cmake ninja-build pkg-config libsqlite3-dev libcsv-dev robin-map-dev
              googletest libgtest-dev libbenchmark-dev clang python3)
  local missing=()
  for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
}

pass_linux() {
  cmake -S . -B build/linux -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  ninja -C build/linux
  (cd build/linux && ctest --output-on-failure -j2)
}

install_packages
pass_linux
