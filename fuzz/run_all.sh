#!/usr/bin/env bash
# run_all.sh DIR SECONDS: runs every fuzz target in DIR for SECONDS each, as
# many at once as there are cores, from its seed corpus in
# fuzz/corpus/<target> when there is one.
set -euo pipefail
dir="$(cd "$1" && pwd)"
secs="$2"
here="$(cd "$(dirname "$0")" && pwd)"
logs="$(mktemp -d)"
trap 'rm -rf "$logs"' EXIT

run_one() {
  local t="$1" name work
  name="$(basename "$t")"
  work="$(mktemp -d)"
  [ -d "$here/corpus/$name" ] && cp -r "$here/corpus/$name/." "$work/"
  if (cd "$work" && "$t" -max_total_time="$secs" -max_len=8192 -rss_limit_mb=2048 -print_final_stats=0 "$work") \
      >"$logs/$name.log" 2>&1; then
    echo ok >"$logs/$name.status"
  else
    echo failed >"$logs/$name.status"
  fi
  rm -rf "$work"
}

targets=()
for t in "$dir"/fuzz_*; do
  [ -x "$t" ] && targets+=("$t")
done
jobs_max="$(nproc)"
for t in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs_max" ]; do sleep 0.2; done
  echo "fuzz: $(basename "$t") for ${secs}s"
  run_one "$t" &
done
wait

status=0
for t in "${targets[@]}"; do
  name="$(basename "$t")"
  if [ "$(cat "$logs/$name.status" 2>/dev/null)" != ok ]; then
    echo "fuzz: $name FAILED"
    tail -n 60 "$logs/$name.log"
    status=1
  fi
done
echo "fuzz: ${#targets[@]} targets run"
exit $status
