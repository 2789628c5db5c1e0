#!/usr/bin/env bash
# Builds Corvane and runs the quick-start scenario through corvane-sim.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/linux -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build/linux
cd build/linux/game
./corvane-sim ../../../examples/quickstart.scn
