#!/usr/bin/env bash
# Builds the game and starts it (on the sample data when no game data is in
# the program folder, build/game).
set -euo pipefail
FW_ROOT="$(cd "$(dirname "$0")" && pwd)"
source "$FW_ROOT/tools/setup.sh"
fw_install_packages
fw_build "$FW_ROOT/build" -DCMAKE_BUILD_TYPE=Release -DFW_TESTS=OFF
fw_sample_data "$FW_ROOT/build/game" "$FW_ROOT/build/bin/mkdata"
exec "$FW_ROOT/build/game/ferrowind"
