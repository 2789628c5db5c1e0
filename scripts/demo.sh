#!/usr/bin/env bash
# Builds Corvane and runs the quick-start scenario through corvane-sim.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset linux >/dev/null
cmake --build --preset linux -j2
cd build/linux/game
./corvane-sim ../../../examples/quickstart.scn
