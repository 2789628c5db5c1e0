#!/usr/bin/env bash
# Installs the Debian packages the build and tests need (idempotent; root).
set -euo pipefail
pkgs=(build-essential cmake ninja-build pkg-config libsqlite3-dev libcsv-dev robin-map-dev
      googletest libgtest-dev libbenchmark-dev clang python3)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi
