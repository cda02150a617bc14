#!/usr/bin/env bash
# Builds everything and runs every test: each fuzz target for a short time,
# then the suites under AddressSanitizer and UBSan. The suites are built with
# Clang too, not run there; a warning in either build fails the run.
set -euo pipefail
FW_ROOT="$(cd "$(dirname "$0")" && pwd)"
source "$FW_ROOT/tools/setup.sh"
fw_install_packages

# The layers first: a wrong include fails at once, before any build.
cmake -DFW_ROOT="$FW_ROOT" -P "$FW_ROOT/tools/check_layers.cmake"

if command -v clang++ >/dev/null; then
  CC=clang CXX=clang++ fw_build "$FW_ROOT/build-fuzz" -DCMAKE_BUILD_TYPE=Debug -DFW_FUZZ=ON -DFW_TESTS=ON -DFW_BENCH=ON \
    -DFW_WERROR=ON
  bash "$FW_ROOT/fuzz/run_all.sh" "$FW_ROOT/build-fuzz/bin" "${FW_FUZZ_SECONDS:-10}"
else
  echo "clang is not installed: fuzz targets and the Clang build of the suites skipped."
fi

fw_build "$FW_ROOT/build-test" -DCMAKE_BUILD_TYPE=Debug -DFW_SANITIZE=ON -DFW_TESTS=ON -DFW_BENCH=ON -DFW_WERROR=ON
# A search for games never leaves this machine, whatever a test forgets.
export FERROWIND_BROADCAST=127.255.255.255
# A leak fails the run; only what the suppressions file names is let pass.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$FW_ROOT/tools/lsan_suppressions.txt:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd "$FW_ROOT/build-test"
# The suites, and each benchmark program once with one iteration per benchmark
# (label bench): a benchmark that hangs or crashes fails the run.
ctest --output-on-failure -j "$(nproc)" -LE long
