#!/usr/bin/env bash
# Sets up, builds and runs every test: a normal build (with the LU engine's
# tests run once more against an engine that checks its invariants after
# every pivot), then a build under AddressSanitizer and
# UndefinedBehaviorSanitizer. Both builds treat compiler warnings as errors
# and refuse an include that reaches up a layer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSARN_WERROR=ON -DSARN_LU_CHECKS=ON \
  >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

# The sanitizer build runs the library tests; the plug-ins are loaded by
# Octave, which is not built with the sanitizer runtime.
cmake -S . -B build-san -DCMAKE_BUILD_TYPE=Debug -DSARN_SANITIZE=ON -DSARN_WERROR=ON \
  -DSARN_BUILD_PLUGINS=OFF -DSARN_BUILD_BENCH=OFF >/dev/null
cmake --build build-san -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-san --output-on-failure -j"$jobs"
