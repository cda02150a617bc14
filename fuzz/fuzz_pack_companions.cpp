// libs: fw_engine
// A companion list from arbitrary bytes, applied to a fixed archive and then
// every member extracted: names with folder parts, chains, cycles and
// unknown members are refused or skipped, nothing is written outside the
// temporary folder, and nothing crashes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/pack.hpp"
#include "platform/runtime/error.hpp"
#include "platform/runtime/temp_folder.hpp"

namespace {
namespace fs = std::filesystem;
const char* const kMembers[] = {"a.x", "b.bmp", "c.bmp", "d.wav", "..", "e"};

size_t EntriesIn(const fs::path& dir) {
  size_t n = 0;
  for ([[maybe_unused]] const auto& e : fs::recursive_directory_iterator(dir)) ++n;
  return n;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const plat::ScratchFolder scratch("fwfuzz-");
  static const std::string dir = [] {
    std::ofstream(scratch.Path() + "/F.PAK", std::ios::binary) << std::string(64, 'x');
    return scratch.Path();
  }();
  const std::string out = dir + "/out/inner";
  fs::remove_all(dir + "/out");
  fs::create_directories(out);
  std::ofstream(dir + "/list.txt", std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

  fw::qelPackage& pack = *fw::DataPack;
  pack.FilePath = dir + "/";
  pack.File = "F";
  pack.TempPath = out;
  pack.PackFiles->RemoveAll();
  int32_t start = 1;
  for (const char* m : kMembers) {
    pack.PackFiles->Add(m, start, 8);
    start += 8;
  }
  try {
    pack.SetFileExt(dir + "/list.txt");
  } catch (const plat::RuntimeError&) {
  }
  for (const char* m : kMembers) {
    try {
      pack.Extract(m);
    } catch (const plat::RuntimeError&) {
    }
  }
  // Everything extracted sits in the inner folder; its parent holds only it.
  if (EntriesIn(dir + "/out") != EntriesIn(out) + 1) std::abort();
  pack.RemoveTempFile();
  return 0;
}
