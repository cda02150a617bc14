#pragma once
// The benchmark program's files: all in one scratch folder of the program,
// which goes at its exit; a program ended by its deadline leaves it to the
// next benchmark program, which removes it.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/runtime/temp_folder.hpp"

namespace fwbench {

// A folder of that name in the program's scratch folder.
inline std::string NewFolder(const std::string& name) {
  static const plat::ScratchFolder scratch("fwbench-");
  const std::string path = scratch.Path() + "/" + name;
  std::filesystem::create_directories(path);
  return path;
}

// The sample data set, written by mkdata once for the program's run.
inline const std::string& SampleDataFolder() {
  static const std::string folder = [] {
    const std::string t = NewFolder("data");
    const std::string cmd = std::string("\"") + FW_MKDATA_PATH + "\" \"" + t + "\" > /dev/null";
    if (std::system(cmd.c_str()) != 0) std::abort();
    return t;
  }();
  return folder;
}

}  // namespace fwbench
