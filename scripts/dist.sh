#!/usr/bin/env bash
# Builds the 32-bit Windows DLL and the release archive dist/Corvane-<version>.zip.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --windows
bash scripts/fetch-deps.sh build/_deps
cmake --preset mingw-i686 >/dev/null
cmake --build --preset mingw-i686 -j2 --target dist
ls -l dist/Corvane-*.zip
