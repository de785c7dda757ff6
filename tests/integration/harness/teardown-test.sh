#!/usr/bin/env bash
# scripts/with-desktop leaves nothing behind and passes the command's status through, however the run
# ends: success, failure, a crash, a detached grandchild, SIGTERM, SIGINT or SIGKILL of the harness,
# and two sessions side by side.
set -uo pipefail
harness=${1:?usage: teardown-test.sh path/to/with-desktop}
work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# PIDs of processes still carrying the session folder $1 in their environment (zombies excluded).
session_processes() {
    local marker="TALVEX_TEST_TMP=$1" dir pid state entry
    local -a environment
    for dir in /proc/[0-9]*; do
        pid=${dir#/proc/}
        read -r state 2>/dev/null <"$dir/stat" || continue
        state=${state##*) }
        [[ ${state:0:1} == Z ]] && continue
        environment=()
        mapfile -d "" -t environment 2>/dev/null <"$dir/environ" || continue
        for entry in "${environment[@]}"; do
            [[ $entry == "$marker" ]] && echo "$pid" && break
        done
    done
}

# Waits (bounded) until no process of the session folder $2 is left and the folder is gone; after a
# SIGKILL of the harness the guardian does this a moment later.
expect_clean() {
    local name=$1 folder=$2 left tries
    [[ -n $folder ]] || { fail "$name: the session was never reached"; return; }
    for ((tries = 0; tries < 200; tries++)); do
        left=$(session_processes "$folder")
        [[ -z $left && ! -e $folder ]] && return
        sleep 0.05
    done
    [[ -n $left ]] && fail "$name: still running: $(ps -o pid=,args= -p "${left//$'\n'/,}")"
    [[ -e $folder ]] && fail "$name: $folder was not removed"
}

recorded() {
    local line=
    [[ -s $1 ]] && read -r line <"$1"
    echo "$line"
}

# Starts the harness on a command that records its session and the X server it saw, then waits for
# the recording so a signal can be sent while the command runs.
start_session() {
    local record=$1
    shift
    # A background job of a script starts with SIGINT ignored; give the harness the default back.
    env --default-signal=INT "$harness" bash -c 'echo "$TALVEX_TEST_TMP" >"$0"; exec "$@"' "$record" "$@" &
    harness_pid=$!
    for ((tries = 0; tries < 600; tries++)); do
        [[ -s $record ]] && return
        kill -0 "$harness_pid" 2>/dev/null || return
        sleep 0.05
    done
}

check_status() {
    local name=$1 expected=$2
    shift 2
    local record=$work/$name
    "$harness" bash -c 'echo "$TALVEX_TEST_TMP" >"$0"; exec "$@"' "$record" "$@"
    local status=$?
    [[ $status == "$expected" ]] || fail "$name: status $status, expected $expected"
    expect_clean "$name" "$(recorded "$record")"
}

check_status success 0 true
check_status failure 3 bash -c 'exit 3'
check_status crash 139 bash -c 'kill -SEGV $$'
# A grandchild in its own session outlives its parent; the harness still finds it.
check_status detached 0 bash -c 'setsid sleep 600 </dev/null >/dev/null 2>&1 & exit 0'
"$harness" >/dev/null 2>&1
[[ $? == 2 ]] || fail "a missing command was not refused"
"$harness" --no-such-option true >/dev/null 2>&1
[[ $? == 2 ]] || fail "an unknown option was not refused"

# A desktop that cannot start is reported as such (125), and what did start is stopped.
mkdir -p "$work/broken-bin"
printf '#!/bin/sh\necho "$TALVEX_TEST_TMP" >"%s"\nexit 1\n' "$work/broken-session" >"$work/broken-bin/pulseaudio"
chmod +x "$work/broken-bin/pulseaudio"
record=$work/broken
PATH=$work/broken-bin:$PATH TALVEX_DESKTOP_TIMEOUT=20 "$harness" bash -c 'echo reached >"$0"' "$record" \
    >/dev/null 2>"$work/broken.err"
status=$?
[[ $status == 125 ]] || fail "broken sound server: status $status, expected 125"
[[ -e $record ]] && fail "broken sound server: the command ran anyway"
grep -q PulseAudio "$work/broken.err" || fail "broken sound server: no message names it"
expect_clean "broken sound server" "$(recorded "$work/broken-session")"

for signal in TERM INT; do
    record=$work/signal-$signal
    start_session "$record" sleep 600
    kill -s "$signal" "$harness_pid"
    wait "$harness_pid"
    status=$?
    expected=$((128 + $(kill -l "$signal")))
    [[ $status == "$expected" ]] || fail "SIG$signal: status $status, expected $expected"
    expect_clean "SIG$signal" "$(recorded "$record")"
done

# SIGKILL leaves no chance to clean up: the guardian must.
record=$work/signal-KILL
start_session "$record" sleep 600
kill -KILL "$harness_pid"
wait "$harness_pid" 2>/dev/null
expect_clean SIGKILL "$(recorded "$record")"

# Two sessions at once get different displays and sound servers and do not disturb each other.
"$harness" bash -c 'echo "$DISPLAY $PULSE_SERVER" >"$0"; pactl info >/dev/null && xprop -root >/dev/null' \
    "$work/parallel-1" &
first=$!
"$harness" bash -c 'echo "$DISPLAY $PULSE_SERVER" >"$0"; pactl info >/dev/null && xprop -root >/dev/null' \
    "$work/parallel-2" &
second=$!
wait "$first" || fail "the first of two parallel sessions failed"
wait "$second" || fail "the second of two parallel sessions failed"
if [[ -s $work/parallel-1 && $(<"$work/parallel-1") == $(<"$work/parallel-2") ]]; then
    fail "parallel sessions shared a display or sound server: $(<"$work/parallel-1")"
fi

if ((failures)); then
    echo "$failures teardown check(s) failed" >&2
    exit 1
fi
echo "all teardown checks passed"
