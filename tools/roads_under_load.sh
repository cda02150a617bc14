#!/bin/bash
# Runs the network and lobby roads N times in a row while every core is kept
# busy, and says how many runs passed. A failed run's output is kept.
# usage: tools/roads_under_load.sh BUILD_DIR N LOG [FILTER]
set -u
BUILD=$(cd "$1" && pwd); N=$2; LOG=$3
FILTER=${4:-'NetworkRoad.*:LobbyRoad*'}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy FERROWIND_BROADCAST=127.255.255.255
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$ROOT/tools/lsan_suppressions.txt:print_suppressions=0
# Its own process group, so that its workers stop with it.
setsid stress -c "$(nproc)" -t 7200 >/dev/null 2>&1 &
STRESS=$!
# Only the load this script started is stopped, however it ends.
trap 'kill -- -"$STRESS" 2>/dev/null; wait "$STRESS" 2>/dev/null' EXIT
: > "$LOG"
pass=0
for i in $(seq 1 "$N"); do
  start=$(date +%s)
  if (cd "$BUILD" && timeout 1500 bin/test_e2e --gtest_filter="$FILTER") > "$LOG.run$i" 2>&1; then
    pass=$((pass + 1)); echo "run $i pass ($(( $(date +%s) - start )) s)" >> "$LOG"; rm -f "$LOG.run$i"
  else
    echo "run $i FAIL ($(( $(date +%s) - start )) s), output in $LOG.run$i" >> "$LOG"
  fi
done
echo "$pass of $N runs passed" >> "$LOG"
[ "$pass" -eq "$N" ]
