#!/usr/bin/env bash
# Prints the summary of one target's test run from its ctest log: the failed cases, the programs that
# failed as a whole (with the last lines a program that stopped mid-run wrote), the test programs wine had
# to start twice, then one closing line "<target>: N passed, N failed".
log="$1"
target="$2"
passed=$(grep -hoE '\[  PASSED  \] [0-9]+ test' "$log" | awk '{s+=$4} END {print s+0}')
failed=$(grep -hoE '\[  FAILED  \] [0-9]+ test' "$log" | awk '{s+=$4} END {print s+0}')
crashed=$(grep -cE '\*\*\*(Failed|Exception|Timeout)|Not Run' "$log")
programs=$(grep -hE '^[0-9]+% tests passed' "$log" | tail -1)
grep -hE '^\[  FAILED  \] [A-Za-z]' "$log" | sort -u | sed "s/^/$target: /"
# ctest's own list of failed programs, e.g. "  6 - house (Failed)".
sed -n '/^The following tests FAILED:/,/^$/p' "$log" | grep -E '^\s+[0-9]+ - ' | while read -r number _ name reason; do
    echo "$target: program $name failed $reason"
    # A program that stopped without gtest's closing lines: what it wrote last.
    if ! grep -qE "^$number: \[==========\] [0-9]+ tests? from .* ran" "$log"; then
        grep -E "^$number: " "$log" | tail -5 | sed "s/^/$target:   /"
    fi
done
grep -hE 'wine-run.sh: .* starting it once more' "$log" | sort -u | sed "s/^[0-9]*: */$target: /"
echo "$target: programs: ${programs:-none ran}"
if [ "$crashed" -gt 0 ] && [ "$failed" -eq 0 ]; then failed=$crashed; fi
echo "$target: $passed passed, $failed failed"
