#!/usr/bin/env bash
# run_all.sh DIR SECONDS: runs every fuzz target in DIR for SECONDS each,
# from its seed corpus in fuzz/corpus/<target> when there is one.
set -euo pipefail
dir="$1"
secs="$2"
here="$(cd "$(dirname "$0")" && pwd)"
status=0
count=0
for t in "$dir"/fuzz_*; do
  [ -x "$t" ] || continue
  name="$(basename "$t")"
  work="$(mktemp -d)"
  [ -d "$here/corpus/$name" ] && cp -r "$here/corpus/$name/." "$work/"
  echo "fuzz: $name for ${secs}s"
  if ! (cd "$work" && "$t" -max_total_time="$secs" -max_len=8192 -rss_limit_mb=2048 -print_final_stats=0 "$work" >"$work/log" 2>&1); then
    echo "fuzz: $name FAILED"
    tail -n 60 "$work/log"
    status=1
  fi
  rm -rf "$work"
  count=$((count + 1))
done
echo "fuzz: $count targets run"
exit $status
