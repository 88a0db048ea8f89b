#!/usr/bin/env bash
# Runs every libFuzzer target of a build for a bounded time on a copy of the checked-in seed
# corpus, prints the executions done by each, and fails if any target crashed.
#   scripts/fuzz.sh [BUILD_DIR] [SECONDS_PER_TARGET]
set -uo pipefail
build=${1:-build-san}
seconds=${2:-20}
here=$(cd "$(dirname "$0")/.." && pwd)
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
status=0
for bin in "$build"/bin/fuzz_*; do
  [ -x "$bin" ] || continue
  name=$(basename "$bin")
  work=$(mktemp -d)
  log="$artifacts/$name.log"
  "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts/$name-" "$work" "$here/tests/fuzz/corpus/$name" >"$log" 2>&1
  rc=$?
  execs=$(grep -m1 'stat::number_of_executed_units' "$log" | awk '{print $2}')
  corpus=$(ls "$work" | wc -l)
  rm -rf "$work"
  if [ $rc -eq 0 ]; then
    echo "$name: ${execs:-?} executions in ${seconds}s, corpus $corpus, no crash"
  else
    echo "$name: CRASH (exit $rc) after ${execs:-?} executions; see $log"
    grep -m5 -E 'ERROR|SUMMARY|runtime error' "$log" | sed 's/^/    /'
    status=1
  fi
done
exit $status
