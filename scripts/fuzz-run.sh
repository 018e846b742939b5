#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for SECONDS each, starting from (and adding
# to) a scratch copy of its saved corpus. Prints the execution count of each run.
# Usage: fuzz-run.sh BUILD_DIR SECONDS [TARGET...]
set -euo pipefail
build=$1; seconds=$2; shift 2
only=("$@")
status=0
while IFS='|' read -r target corpus; do
  [ -n "$target" ] || continue
  if [ ${#only[@]} -gt 0 ] && [[ ! " ${only[*]} " =~ " $target " ]]; then continue; fi
  work="$build/fuzz-work/$target"
  mkdir -p "$work"
  [ -d "$corpus" ] && cp -n "$corpus"/* "$work"/ 2>/dev/null || true
  log="$build/fuzz-work/$target.log"
  echo "fuzz: $target for ${seconds}s"
  if "$build/$(find "$build" -name "$target" -type f -perm -u+x -printf '%P\n' | head -1)" \
       -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=2048 "$work" >"$log" 2>&1; then
    grep -E '^stat::number_of_executed_units' "$log" | sed "s/^/  $target /" || true
  else
    echo "fuzz: $target FAILED, see $log"; tail -40 "$log"; status=1
  fi
done <"$build/fuzz-targets.txt"
exit $status
