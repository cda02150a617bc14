// libs: fw_engine
// An archive directory and data file from arbitrary bytes: opening and
// extracting every member either works or reports, never crashes, and
// writes nothing outside the temporary folder.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/pack.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/temp_folder.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  namespace fs = std::filesystem;
  static const plat::ScratchFolder scratch("fwfuzz-");
  const std::string& dir = scratch.Path();
  // The first half is the directory, the rest the data file.
  const size_t half = size / 2;
  std::ofstream(dir + "/F.INF", std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(half));
  std::ofstream(dir + "/F.PAK", std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data + half), static_cast<std::streamsize>(size - half));
  fw::qelPackage pack;
  pack.FilePath = dir;
  pack.TempPath = dir + "/out";
  fs::create_directories(dir + "/out");
  try {
    pack.LoadInf("F");
  } catch (const plat::RuntimeError&) {
    return 0;
  }
  for (int i = 1; i <= pack.PackFiles->Count() && i <= 64; ++i) {
    const std::string name = pack.PackFiles->Item(i)->Key;
    // Member names are bare file names; a name with a folder part would
    // write elsewhere, which the loaders never ask for.
    if (name.find_first_of("/\\") != std::string::npos || name.empty() || name == "." || name == "..") continue;
    pack.Extract(name);
  }
  pack.RemoveTempFile();
  return 0;
}
