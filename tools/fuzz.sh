#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build in turn for the given seconds each (libFuzzer's fork mode, so that
# a finding is kept and the run goes on), starting from the seeds in fuzz/corpus/<target> and the corpus
# earlier runs grew in <build>/corpus/<target>, with the words of fuzz/dict/<target>.dict. Prints the
# executions and the findings of each target; findings are kept in <build>/findings/<target>/ and the
# runs' output in build/logs/fuzz-<target>.log.
set -u
build="$(cd "$1" && pwd)"
seconds="$2"
root="$(cd "$(dirname "$0")/.." && pwd)"
mkdir -p "$root/build/logs"
total=0
for program in "$build"/fuzz_*; do
  [ -x "$program" ] || continue
  name="$(basename "$program")"
  target="${name#fuzz_}"
  corpus="$build/corpus/$target"
  findings="$build/findings/$target"
  log="$root/build/logs/fuzz-$target.log"
  mkdir -p "$corpus" "$findings"
  dict=()
  [ -f "$root/fuzz/dict/$target.dict" ] && dict=(-dict="$root/fuzz/dict/$target.dict")
  # One worker, one input at a time: the machine's cores are shared.
  "$program" -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 -timeout=10 -rss_limit_mb=2048 \
    "${dict[@]}" -max_total_time="$seconds" -artifact_prefix="$findings/" "$corpus" "$root/fuzz/corpus/$target" \
    >"$log" 2>&1 </dev/null
  last="$(grep -E '^#[0-9]+: ' "$log" | tail -1)"
  executions="$(sed -E 's/^#([0-9]+):.*/\1/' <<<"$last")"
  found="$(sed -nE 's#.*oom/timeout/crash: ([0-9]+)/([0-9]+)/([0-9]+).*#\1 \2 \3#p' <<<"$last" | awk '{print $1+$2+$3}')"
  echo "bench fuzz-$target: executions = ${executions:-0} count"
  echo "bench fuzz-$target: findings = ${found:-0} count"
  total=$((total + ${found:-0}))
done
if [ "$total" -gt 0 ]; then
  echo "fuzz: findings kept in $build/findings/ (reproduce one with: <build>/fuzz_<target> <file>)"
fi
