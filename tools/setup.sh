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

# fw_sample_data PROGRAM_DIR MKDATA: writes the sample data set when neither
# file of the Data archive stands in the folder under any spelling (the game
# matches names without regard to letter case). The folder's listing decides,
# never a look at one name, which may fail with the file there; a folder that
# cannot be listed may hold the player's data, so nothing is written and the
# status is 1. A folder not made yet is filled.
fw_sample_data() {
  local dir="$1" mkdata="$2" found
  # Perl (Essential on Debian) tells why a folder did not open.
  if ! found="$(perl -e '
      my $dir = shift;
      opendir(my $d, $dir) or do {
        exit 0 if $!{ENOENT} || $!{ENOTDIR};
        print STDERR "$!\n";
        exit 1;
      };
      $! = 0;
      my @names = readdir $d;
      if ($!) { print STDERR "$!\n"; exit 1 }
      print "$_\n" for grep { lc eq "data.inf" || lc eq "data.pak" } @names;
    ' "$dir" 2>&1)"; then
    echo "Cannot list $dir ($found): no sample data written." >&2
    return 1
  fi
  if [ -z "$found" ]; then
    echo "No game data in $dir: writing the sample data set."
    "$mkdata" "$dir"
  fi
}
