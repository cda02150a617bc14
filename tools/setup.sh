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

# fw_sample_data PROGRAM_DIR MKDATA: writes the sample data set where the
# folder holds none of the archives, and finishes one that mkdata left cut
# short (its mkdata-unfinished.txt stands). A folder holding all four files
# of the archives otherwise holds game data and is left as it is; one holding
# only some is handed to mkdata too, which refuses it and says what to move
# out. Names are matched in any spelling, as the game matches them. The
# folder's listing decides, never a look at one name, which may fail with the
# file there; a folder that cannot be listed may hold the player's data, so
# nothing is written and the status is 1. A folder not made yet is filled.
fw_sample_data() {
  local dir="$1" mkdata="$2" found
  # Perl (Essential on Debian) tells why a folder did not open.
  if ! found="$(perl -e '
      my $dir = shift;
      my @archives = ("data.inf", "data.pak", "missionpack.inf", "missionpack.pak");
      my %listed;
      if (opendir(my $d, $dir)) {
        $! = 0;
        my @names = readdir $d;
        if ($!) { print STDERR "$!\n"; exit 1 }
        $listed{lc $_} = 1 for @names;
      } elsif (!$!{ENOENT} && !$!{ENOTDIR}) {
        print STDERR "$!\n";
        exit 1;
      }
      my $held = grep { $listed{$_} } @archives;
      print $listed{"mkdata-unfinished.txt"} ? "unfinished"
          : $held == 0 ? "none"
          : $held < @archives ? "partial" : "complete";
    ' "$dir" 2>&1)"; then
    echo "Cannot list $dir ($found): no sample data written." >&2
    return 1
  fi
  case "$found" in
    none)
      echo "No game data in $dir: writing the sample data set."
      "$mkdata" "$dir" ;;
    unfinished)
      echo "The sample data set in $dir was cut short: finishing it."
      "$mkdata" "$dir" ;;
    # mkdata names the files and what to do.
    partial) "$mkdata" "$dir" ;;
  esac
}
