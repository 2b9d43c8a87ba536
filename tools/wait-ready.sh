#!/usr/bin/env bash
# Sourced by the scripts that start the simulator stand-in: waits until it takes clients, as its ready file
# says (simstandin --ready-file), never for a guessed time.
#
#   wait_for_standin READY_FILE PID SECONDS [LOG]
#
# Returns 0 once READY_FILE exists (and prints nothing); 1 with one line on standard error when the
# stand-in (process PID) ended first or SECONDS passed, naming LOG where its own words are.
# STANDIN_READY_SECONDS is set to how long the wait took.
wait_for_standin() {
    local file="$1" pid="$2" limit="$3" log="${4:-}"
    local start now
    start=$(date +%s.%N)
    STANDIN_READY_SECONDS=""
    while [ ! -e "$file" ]; do
        if ! kill -0 "$pid" 2>/dev/null; then
            # It may have written the file just before it ended.
            [ -e "$file" ] && break
            local last=""
            [ -n "$log" ] && last=$(tail -n 1 "$log" 2>/dev/null)
            echo "the simulator stand-in ended before it was ready${last:+: $last}${log:+ (its log: $log)}" >&2
            return 1
        fi
        now=$(date +%s.%N)
        if awk -v a="$start" -v b="$now" -v l="$limit" 'BEGIN { exit !(b - a > l) }'; then
            echo "the simulator stand-in was not ready within $limit s${log:+ (its log: $log)}" >&2
            return 1
        fi
        sleep 0.02
    done
    now=$(date +%s.%N)
    STANDIN_READY_SECONDS=$(awk -v a="$start" -v b="$now" 'BEGIN { printf "%.2f", b - a }')
    return 0
}
