#!/usr/bin/env bash
# Runs one libFuzzer target for a while, seeded from the given files and
# folders (those that do not exist are skipped), and says how it went.
#
#   fuzz/run.sh BUILD-FOLDER TARGET SECONDS MAX-LENGTH SEED...
#
# The corpus grows in BUILD-FOLDER/corpus-TARGET; a failing input is saved
# as BUILD-FOLDER/TARGET-crash-... and the log is BUILD-FOLDER/fuzz-TARGET.log.
set -u
build=$1 target=$2 seconds=$3 max_len=$4
shift 4
corpus=$build/corpus-$target
seeds=$build/seeds-$target
log=$build/fuzz-$target.log
mkdir -p "$corpus" "$seeds"
for seed in "$@"; do
  if [ -d "$seed" ]; then
    cp "$seed"/* "$seeds"/ 2>/dev/null
  elif [ -f "$seed" ]; then
    cp "$seed" "$seeds"/
  fi
done
"$build/fuzz_$target" -max_total_time="$seconds" -max_len="$max_len" -print_final_stats=1 -close_fd_mask=2 \
  -artifact_prefix="$build/$target-" "$corpus" "$seeds" >"$log" 2>&1
status=$?
grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log" | sed "s/^/$target: /"
if [ $status -eq 0 ]; then
  echo "$target: no failure in $seconds s"
else
  tail -40 "$log"
  echo "$target: FAILED (input saved under $build/$target-, log in $log)"
fi
exit $status
