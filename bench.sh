#!/usr/bin/env bash
# Builds the benchmarks optimised and runs each (figures are ratios against
# a baseline measured in the same run).
set -euo pipefail
FW_ROOT="$(cd "$(dirname "$0")" && pwd)"
source "$FW_ROOT/tools/setup.sh"
fw_install_packages
fw_build "$FW_ROOT/build-bench" -DCMAKE_BUILD_TYPE=Release -DFW_TESTS=OFF -DFW_BENCH=ON
for b in "$FW_ROOT"/build-bench/bin/bench_*; do
  [ -x "$b" ] && "$b" "$@"
done
