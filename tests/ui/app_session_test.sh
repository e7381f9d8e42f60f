#!/usr/bin/env bash
# The desktop program as a process: a second program on the same home is refused (and ends
# when told to), SIGTERM ends a running one in order; options that exclude each other are
# refused; --version answers without a display.   app_session_test.sh PATH_TO_TARNWELL
# Each step waits for the line the program writes into TARNWELL_READY_FILE (a pipe), never
# a fixed time. Every program started here ends with the script: the exit trap kills its
# process group, and a parent-death signal covers a script killed by ctest's timeout.
set -euo pipefail
app=$1
home=$(mktemp -d)
export QT_QPA_PLATFORM=offscreen
started=()

cleanup() {
  for pid in "${started[@]}"; do kill -KILL -- "-$pid" 2>/dev/null || true; done
  rm -rf "$home"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
fail() {
  echo "FAIL: $*" >&2
  for f in "$home"/*.err; do [[ -e $f ]] && { echo "--- $f" >&2; cat "$f" >&2; }; done
  exit 1
}

# The script ends itself well before ctest's timeout, so the trap still runs.
deadline=$((SECONDS + ${APP_SESSION_DEADLINE:-100}))

# start NAME FD: the program in its own process group; it says where it has got to on a
# pipe that this script holds open on FD. Sets $pid.
start() {
  local name=$1 fd=$2
  mkfifo "$home/$name.ready"
  eval "exec $fd<>\"\$home/\$name.ready\""
  TARNWELL_READY_FILE=$home/$name.ready setsid setpriv --pdeathsig KILL \
    "$app" --home "$home" --simulator 2>"$home/$name.err" &
  pid=$!
  started+=("$pid")
}

# ended PID: the program has ended (gone, or a zombie not yet waited for).
ended() {
  local state
  state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null || true)
  [[ -z $state || $state == Z ]]
}

# wait_for NAME FD STATE PID: reads the program's lines until it says STATE; fails when
# the program ends first or the script's deadline passes.
wait_for() {
  local name=$1 fd=$2 state=$3 pid=$4 line
  while ((SECONDS < deadline)); do
    if read -r -t 1 -u "$fd" line; then
      [[ $line == "$state" ]] && return 0
    else
      ended "$pid" && fail "$name ended before it said $state"
    fi
  done
  fail "$name did not say $state in time"
}

# wait_end NAME FD PID: waits for the program to end and sets $rc to its exit status;
# fails at the script's deadline (a program that ignores SIGTERM).
wait_end() {
  local name=$1 fd=$2 pid=$3 line
  while ((SECONDS < deadline)); do
    if ended "$pid"; then
      rc=0
      wait "$pid" || rc=$?
      return 0
    fi
    read -r -t 1 -u "$fd" line || true  # its lines, if it says more, else a second passes
  done
  fail "$name did not end in time"
}

start first 3
first=$pid
wait_for first 3 running "$first"

start second 4
second=$pid
wait_for second 4 refused "$second"
ended "$second" && fail "the second program ended before it was told to"
kill -TERM "$second"
wait_end second 4 "$second"
[[ $rc -eq 1 ]] || fail "the refused program ended with $rc, not 1"
grep -q "Another Tarnwell program is using the home folder" "$home/second.err" || fail "no refusal message"

ended "$first" && fail "the first program did not keep running"
[[ ! -e $home/QUENTRIX.INI ]] || fail "settings written before the end"
kill -TERM "$first"
wait_end first 3 "$first"
[[ $rc -eq 0 ]] || fail "SIGTERM ended the program with $rc, not 0"
# What the end writes: startup_test.
grep -q "^Com Port = " "$home/QUENTRIX.INI" || fail "QUENTRIX.INI not written"

# Options that do not go together end the program with 2 before it opens a window (a
# program that starts all the same is ended by the timeout: 124).
for options in "--video-names {id}.avi" "--simulator --port /dev/null"; do
  rc=0
  # shellcheck disable=SC2086
  timeout 60 "$app" --home "$home" $options 2>"$home/usage.err" || rc=$?
  [[ $rc -eq 2 ]] || fail "tarnwell $options ended with $rc, not 2"
done

version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$app" --version)
[[ $version =~ ^tarnwell\ [0-9.]+\ \(built\ [0-9]{4}-[0-9]{2}-[0-9]{2}\)$ ]] || fail "--version said: $version"
echo "PASS"
