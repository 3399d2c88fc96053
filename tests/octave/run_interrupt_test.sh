#!/usr/bin/env bash
# Sends SIGINT to octave-cli while mcpgate is solving, as Ctrl-C does. The
# solve must end with status 0 (user interrupt) and the Octave session must
# go on: a second solve succeeds, and a later SIGINT interrupts Octave's own
# work again (the plug-in put Octave's signal handling back).
#   run_interrupt_test.sh OCTAVE_CLI PLUGIN_DIR SOURCE_DIR WORK_DIR
set -u
octave=$1 plugins=$2 source=$3 work=$4
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 2

# Wait up to 120 s for a file to appear; 1 when it never does.
wait_for() {
  for _ in $(seq 1 1200); do
    [ -e "$1" ] && return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# With job control on, the background octave-cli keeps the default SIGINT
# disposition, as in an interactive terminal.
set -m
"$octave" --no-gui --norc --no-history --quiet --eval "
  addpath('$plugins');
  addpath('$source/tests/octave/support');
  addpath('$source/tests/octave/problems');
  addpath('$source/tests/octave');
  interrupt_session();" > output.txt 2>&1 &
pid=$!

failed=0
if wait_for waiting.flag; then
  kill -INT "$pid"
  touch signal.sent
else
  echo "the solve never reached its slow evaluation"; failed=1
fi
if [ $failed -eq 0 ] && wait_for idle.flag; then
  kill -INT "$pid"
else
  [ $failed -eq 0 ] && echo "the session did not go on after the interrupted solve"
  failed=1
fi
# Octave stops its idle wait at the second interrupt; give it ample time.
for _ in $(seq 1 600); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
  echo "octave-cli ignored the interrupt after the solve"; failed=1
  kill -KILL "$pid"
fi
wait "$pid"
cat output.txt
grep -qx "PASSED interrupted solve" output.txt || { echo "the interrupted solve was not right"; failed=1; }
grep -q "IDLE WAIT FINISHED" output.txt && { echo "the idle wait was not interrupted"; failed=1; }
exit $failed
