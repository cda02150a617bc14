# Shared set-up of run.sh and test.sh: installs the Debian packages the build
# needs when they are missing, then configures and builds a tree.
# Sourced, not run.

FW_PACKAGES=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  libsdl2-dev libsdl2-image-dev libsdl2-mixer-dev libsdl2-ttf-dev libjpeg62-turbo-dev
  libassimp-dev libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev
  libenet-dev libgtest-dev libgmock-dev libbenchmark-dev
  fonts-liberation fonts-dejavu-core fonts-wqy-microhei
  xvfb
)

fw_install_packages() {
  local missing=()
  local p
  for p in "${FW_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# fw_build DIR [cmake options...]
fw_build() {
  local dir="$1"
  shift
  cmake -S "$FW_ROOT" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$(nproc)"
}

# fw_sample_data PROGRAM_DIR MKDATA: leaves a folder that holds the game's
# data as it is and hands any other to mkdata, which writes the sample data
# set, finishes or gives up one it left cut short, or refuses and says what
# to move out, and takes the set's own archives out of the way of the
# player's copied in beside them. mkdata alone judges the folder (--state): a
# folder it cannot list may hold the player's data, so nothing is written and
# the status is 1.
fw_sample_data() {
  local dir="$1" mkdata="$2" state
  state="$("$mkdata" --state "$dir")" || return 1
  [ "$state" = complete ] || "$mkdata" "$dir"
}
