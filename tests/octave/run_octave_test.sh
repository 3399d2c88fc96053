#!/usr/bin/env bash
# Runs one Octave test script in a fresh folder of its own.
#   run_octave_test.sh OCTAVE_CLI PLUGIN_DIR SOURCE_DIR WORK_DIR NAME
# The script passes when octave-cli exits with status 0 and the script
# printed its last line, "PASSED <name>".
set -u
octave=$1 plugins=$2 source=$3 work=$4 name=$5
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 2
out=$("$octave" --no-gui --norc --no-history --quiet --eval "
  addpath('$plugins');
  addpath('$source/tests/octave/support');
  addpath('$source/tests/octave/problems');
  addpath('$source/tests/octave');
  addpath('$source/examples');
  $name();
  printf('PASSED %s\n', '$name');" 2>&1)
status=$?
printf '%s\n' "$out"
if [ $status -ne 0 ]; then
  echo "octave-cli exited with status $status"
  exit 1
fi
if ! printf '%s\n' "$out" | grep -qx "PASSED $name"; then
  echo "the script did not finish"
  exit 1
fi
