#!/usr/bin/env bash
# Sends SIGINT to an octave-cli session, as Ctrl-C does, at four moments:
#   1. while lcpgate solves: the solve ends with status 0 (user interrupt);
#   2. the same at interrupt_limit 1: the error "User termination.";
#   3. while mcpgate waits for a user function that never returns: the
#      host's interrupt ends the call within a second;
#   4. while Octave itself waits: its own interrupt handling works again.
# After each the session goes on and the plug-ins solve. The session reads
# its commands from a pipe, one at a time, as a terminal would hand them.
#   run_interrupt_test.sh OCTAVE_CLI PLUGIN_DIR SOURCE_DIR WORK_DIR
set -u
trap "" PIPE
octave=$1 plugins=$2 source=$3 work=$4
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 2

# Wait up to $2 tenths of a second (default 1200) for a file to appear; 1
# when it never does or octave-cli has gone.
wait_for() {
  for _ in $(seq 1 "${2:-1200}"); do
    [ -e "$1" ] && return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

send() { printf '%s\n' "$1" >&3; }

# Interrupts the step that announces itself in file $1, $2 seconds after.
interrupt_at() {
  if ! wait_for "$1"; then
    echo "the session never reached $1"
    return 1
  fi
  sleep "$2"
  kill -INT "$pid"
}

mkfifo commands || exit 2
# With job control on, the background octave-cli keeps the default SIGINT
# disposition, as in an interactive terminal.
set -m
"$octave" --no-gui --norc --no-history --quiet < commands > output.txt 2>&1 &
pid=$!
exec 3> commands
send "addpath('$plugins'); addpath('$source/tests/octave/support');"
send "addpath('$source/tests/octave/problems'); addpath('$source/tests/octave');"
send "addpath('$source/examples');"

failed=0
send "interrupt_session('library', 1)"
interrupt_at waiting1.flag 0.5 || failed=1
send "interrupt_session('library', 2)"
interrupt_at waiting2.flag 0.5 || failed=1

send "interrupt_session('runaway')"
if interrupt_at runaway.flag 0.3; then
  start=$(date +%s%N)
  send "interrupt_session('after')"
  if wait_for after.flag 50; then
    elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
    echo "the interrupted user function gave control back after $elapsed ms"
    [ "$elapsed" -le 1000 ] || { echo "that is more than a second"; failed=1; }
  else
    echo "the session did not go on after the interrupted user function"; failed=1
  fi
else
  failed=1
fi
# A session stuck in the user function takes no more commands.
[ $failed -eq 0 ] || kill -KILL "$pid" 2>/dev/null

send "interrupt_session('idle')"
interrupt_at idle.flag 0.2 || failed=1
send "printf('SESSION ENDS\n'); exit(0);"
exec 3>&-
for _ in $(seq 1 600); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
  echo "octave-cli did not end"; failed=1
  kill -KILL "$pid"
fi
wait "$pid"
cat output.txt
for line in "PASSED interrupted solve" "PASSED interrupt at the limit" \
            "PASSED after the user function" "SESSION ENDS"; do
  grep -qx "$line" output.txt || { echo "missing: $line"; failed=1; }
done
grep -q "RUNAWAY RETURNED" output.txt && { echo "the runaway call returned"; failed=1; }
grep -q "IDLE WAIT FINISHED" output.txt && { echo "the idle wait was not interrupted"; failed=1; }
grep -q "test:failed" output.txt && failed=1
exit $failed
