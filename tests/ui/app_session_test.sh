#!/usr/bin/env bash
# The desktop program as a process: a second program on the same home folder is refused
# with a message (and ends when told to, even with the message open), and SIGTERM ends a
# running program in order, writing its settings; --version answers without a display.
#   app_session_test.sh PATH_TO_TARNWELL
set -euo pipefail
app=$1
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export QT_QPA_PLATFORM=offscreen
fail() { echo "FAIL: $*" >&2; exit 1; }

"$app" --home "$home" --simulator 2>"$home/first.err" &
first=$!
for _ in $(seq 1 100); do [[ -e $home/.tarnwell.lock ]] && break; sleep 0.1; done
sleep 1

"$app" --home "$home" --simulator 2>"$home/second.err" &
second=$!
sleep 2
kill -0 "$second" 2>/dev/null || fail "the second program ended before it was told to"
kill -TERM "$second"
rc=0; wait "$second" || rc=$?
[[ $rc -eq 1 ]] || fail "the refused program ended with $rc, not 1"
grep -q "Another Tarnwell program is using the home folder" "$home/second.err" || fail "no refusal message"

kill -0 "$first" 2>/dev/null || fail "the first program did not keep running"
[[ ! -e $home/QUENTRIX.INI ]] || fail "settings written before the end"
kill -TERM "$first"
rc=0; wait "$first" || rc=$?
[[ $rc -eq 0 ]] || fail "SIGTERM ended the program with $rc, not 0"
grep -q "^Com Port = " "$home/QUENTRIX.INI" || fail "QUENTRIX.INI not written"
grep -q "^Video Type = NTSC" "$home/QUENTRIX.SET" || fail "QUENTRIX.SET not written"
[[ -e $home/SUBJECTS.INI ]] || fail "SUBJECTS.INI not written"

version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$app" --version)
[[ $version =~ ^tarnwell\ [0-9.]+\ \(built\ [0-9]{4}-[0-9]{2}-[0-9]{2}\)$ ]] || fail "--version said: $version"
echo "PASS"
