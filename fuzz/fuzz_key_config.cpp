// libs: fw_engine
// Default.cfg from arbitrary bytes: reading it either takes the bindings it
// understands or leaves its reason in LastError, never crashes, and leaves
// both volumes in the setup screen's range.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/globals.hpp"
#include "engine/key_config.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  namespace fs = std::filesystem;
  static const std::string dir = [] {
    std::string t = (fs::temp_directory_path() / "fwfuzz-cfg-XXXXXX").string();
    return std::string(mkdtemp(t.data()));
  }();
  std::ofstream(dir + "/Default.cfg", std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  fw::AppPath = dir;
  fw::SoundVol = fw::MusicVol = 5;
  fw::ReadKeyConfig("\\Default.cfg");
  if (fw::SoundVol < 0 || fw::SoundVol > 10 || fw::MusicVol < 0 || fw::MusicVol > 10) __builtin_trap();
  return 0;
}
