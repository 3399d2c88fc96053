#!/usr/bin/env bash
# Sets up, builds and runs the main job: a nonlinear sample problem solved
# through mcpgate and a linear one through lcpgate, in octave-cli. The
# plug-ins' log, logfile.tmp, lands in build/run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
mkdir -p build/run
cd build/run
octave-cli --no-gui --norc --no-history --quiet --eval "
  addpath('$root/build/gateway');
  addpath('$root/examples');
  solve_samples();"
