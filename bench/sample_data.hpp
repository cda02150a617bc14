#pragma once
// The sample data set for the benchmarks: made once by mkdata in a folder
// of its own, with both archives opened from it and copies extracted into a
// scratch program folder.
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "engine/globals.hpp"
#include "engine/pack.hpp"
#include "engine/startup.hpp"
#include "platform/runtime/files.hpp"

namespace fwbench {

inline std::string NewFolder(const char* name) {
  const std::string t = (std::filesystem::temp_directory_path() / (std::string(name) + std::to_string(getpid()))).string();
  std::filesystem::create_directories(t);
  return t;
}

inline void OpenSampleData() {
  static const bool done = [] {
    const std::string data = NewFolder("fw-bench-battle-data-");
    const std::string cmd = std::string("\"") + FW_MKDATA_PATH + "\" \"" + data + "\" > /dev/null";
    if (std::system(cmd.c_str()) != 0) std::abort();
    const std::string scratch = NewFolder("fw-bench-battle-tmp-");
    plat::SetProgramFolder(scratch);
    fw::AppPath = scratch;
    fw::InitCosSin();
    for (auto* pack : {&fw::DataPack, &fw::MissionPack}) {
      (*pack)->FilePath = data;
      (*pack)->TempPath = scratch;
      (*pack)->LoadInf(pack == &fw::DataPack ? "Data" : "MissionPack");
    }
    return true;
  }();
  (void)done;
}

}  // namespace fwbench
