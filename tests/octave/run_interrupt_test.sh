#!/usr/bin/env bash
# Sends SIGINT to octave-cli while mcpgate is solving, as Ctrl-C does. The
# solve must end with status 0 (user interrupt) and the Octave session must
# go on: a second solve succeeds. A second interrupted solve, at
# interrupt_limit 1, ends in the error "User termination.", and the session
# goes on again. Finally a SIGINT interrupts Octave's own work (the plug-in
# put Octave's signal handling back).
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

# Interrupts the solve of round $1 while it waits in its evaluation.
interrupt_solve() {
  if wait_for "waiting$1.flag"; then
    kill -INT "$pid"
    touch "signal$1.sent"
    return 0
  fi
  echo "the solve of round $1 never reached its slow evaluation"
  return 1
}

failed=0
interrupt_solve 1 || failed=1
[ $failed -eq 0 ] && { interrupt_solve 2 || failed=1; }
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
