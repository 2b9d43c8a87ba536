#!/usr/bin/env bash
# The demo's start while every core is busy (a loaded machine is where the program used to come before
# the stand-in took clients): `make demo`'s script flies the first steps of the demo flight, the stand-in
# ready before the program starts, the captain's phrases heard, the flight played to its end; and a flight cut short
# ends the script non-zero with one line saying why.
#   demo_start_test.sh BUILD    BUILD holds talvero, simstandin and saywav (the Linux build)
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "$1" && pwd)"
tmp="$(mktemp -d)"
load=()
cleanup() {
    for pid in "${load[@]}"; do kill "$pid" 2>/dev/null; done
    rm -rf "$tmp"
}
trap cleanup EXIT
failures=0
check() { # check WHAT COMMAND...
    local what="$1"
    shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
has() { grep -qE -- "$2" "$1"; }

for _ in $(seq "$(nproc)"); do
    (while :; do :; done) &
    load+=($!)
done

cd "$root"
DEMO_FOLDER="$tmp/demo" DEMO_SCENARIO="$root/tests/demo/short.scenario" bash tools/demo.sh "$build" >"$tmp/out.txt" 2>&1
rc=$?
sed 's/^/  | /' "$tmp/out.txt"
check "the demo ends with exit code 0 (was $rc)" test "$rc" = 0
check "it waited for the stand-in to be ready" has "$tmp/out.txt" '^simulator: +the stand-in was ready after [0-9.]+ s$'
check "the stand-in was ready before the program connected" bash -c \
    "grep -n 'ready for a client' '$tmp/demo/standin.log' | head -n 1 | cut -d: -f1 | { read r; \
     c=\$(grep -n 'client 1 ' '$tmp/demo/standin.log' | head -n 1 | cut -d: -f1); [ -n \"\$r\" ] && [ -n \"\$c\" ] && [ \"\$r\" -lt \"\$c\" ]; }"
check "the program connected" has "$tmp/demo/MSFS/Community/quillbrook-talvero/data/log.txt" 'hSimConnect connection Ok'
check "the runway check was heard" has "$tmp/out.txt" '^heard +"runway check"'
check "the before start checklist was heard" has "$tmp/out.txt" '^heard +"before start checklist"'
check "the first officer answered" has "$tmp/out.txt" '^first officer +"'
check "the flight played to its end" has "$tmp/out.txt" '^demo flown'
check "no exit reason in the timeline" bash -c "! grep -q '^program *exit:' '$tmp/out.txt'"

# The simulator quits before the scenario's end (the stand-in's time limit): the demo says so.
DEMO_FOLDER="$tmp/cut" DEMO_SCENARIO="$root/tests/demo/short.scenario" DEMO_MAX_SECONDS=6 \
    bash tools/demo.sh "$build" >"$tmp/cut.txt" 2>&1
rc=$?
sed 's/^/  | /' "$tmp/cut.txt"
check "a flight cut short ends the demo non-zero (was $rc)" test "$rc" != 0
check "and its last line says why: the scenario was cut short" bash -c \
    "tail -n 1 '$tmp/cut.txt' | grep -qE '^demo failed: the stand-in.s scenario did not play to its end \(scenario not played to its end: [0-9]+ of 9 actions played\)'"
check "and no line claims the flight was flown" bash -c "! grep -q '^demo flown' '$tmp/cut.txt'"

echo "demo start under load: $failures failed"
[ "$failures" = 0 ]
