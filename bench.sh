#!/usr/bin/env bash
# Builds the benchmarks optimised and runs each (figures are ratios against
# a baseline measured in the same run). Every benchmark has a deadline
# (FW_BENCH_DEADLINE_S seconds, 180 unless set): a program that hangs or
# fails is named at the end and the script fails, after the others ran.
set -euo pipefail
FW_ROOT="$(cd "$(dirname "$0")" && pwd)"
source "$FW_ROOT/tools/setup.sh"
fw_install_packages
fw_build "$FW_ROOT/build-bench" -DCMAKE_BUILD_TYPE=Release -DFW_TESTS=OFF -DFW_BENCH=ON
failed=()
for b in "$FW_ROOT"/build-bench/bin/bench_*; do
  [ -x "$b" ] || continue
  "$b" "$@" || failed+=("$(basename "$b")")
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "Benchmark programs that failed: ${failed[*]}" >&2
  exit 1
fi
