// libs: fw_engine
// Default.cfg from arbitrary bytes: reading it either takes the bindings it
// understands or leaves its reason in LastError, never crashes, and leaves
// both volumes in the setup screen's range.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "engine/globals.hpp"
#include "engine/key_config.hpp"
#include "platform/runtime/temp_folder.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const plat::ScratchFolder scratch("fwfuzz-");
  const std::string& dir = scratch.Path();
  std::ofstream(dir + "/Default.cfg", std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  fw::AppPath = dir;
  fw::SoundVol = fw::MusicVol = 5;
  fw::ReadKeyConfig("\\Default.cfg");
  if (fw::SoundVol < 0 || fw::SoundVol > 10 || fw::MusicVol < 0 || fw::MusicVol > 10) __builtin_trap();
  return 0;
}
