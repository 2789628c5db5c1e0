#!/usr/bin/env bash
# Installs the Debian packages the build and tests need (idempotent; root).
#   scripts/setup.sh             Linux build, tests, benchmarks, fuzzers
#   scripts/setup.sh --windows   also the 32-bit Windows cross build and Wine
# The package lists are updated at most once, and only when something is
# missing or a new architecture or source entry was added.
set -euo pipefail
cd "$(dirname "$0")/.."

windows=0
[ "${1:-}" = "--windows" ] && windows=1

pkgs=(build-essential cmake ninja-build pkg-config libsqlite3-dev libcsv-dev robin-map-dev
      googletest libgtest-dev libbenchmark-dev clang python3 lua5.4)
update=0
if [ "$windows" = 1 ]; then
  pkgs+=(g++-mingw-w64-i686 wine wine32:i386 dpkg-dev zip)
  # The Node.js that some machines bring has npm; Debian's npm otherwise.
  command -v npm >/dev/null || pkgs+=(npm)
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "setup: adding the i386 architecture (wine32)"
    dpkg --add-architecture i386
    update=1
  fi
  # shellcheck source=scripts/deb-src.sh
  source scripts/deb-src.sh
  if ensure_deb_src; then update=1; fi
fi

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ] || [ "$update" = 1 ]; then
  apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi
