#!/usr/bin/env bash
# Prints the summary of one target's test run from its ctest log: the failed cases, then one closing line
# "<target>: N passed, N failed".
log="$1"
target="$2"
passed=$(grep -hoE '\[  PASSED  \] [0-9]+ test' "$log" | awk '{s+=$4} END {print s+0}')
failed=$(grep -hoE '\[  FAILED  \] [0-9]+ test' "$log" | awk '{s+=$4} END {print s+0}')
crashed=$(grep -cE '\*\*\*(Failed|Exception|Timeout)|Not Run' "$log")
programs=$(grep -hE '^[0-9]+% tests passed' "$log" | tail -1)
grep -hE '^\[  FAILED  \] [A-Za-z]' "$log" | sort -u | sed "s/^/$target: /"
echo "$target: programs: ${programs:-none ran}"
if [ "$crashed" -gt 0 ] && [ "$failed" -eq 0 ]; then failed=$crashed; fi
echo "$target: $passed passed, $failed failed"
