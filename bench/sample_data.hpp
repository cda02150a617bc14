#pragma once
// The sample data set for the benchmarks: made once by mkdata in a folder
// of its own, with both archives opened from it and copies extracted into a
// scratch program folder.
#include <string>

#include "bench/scratch.hpp"
#include "engine/globals.hpp"
#include "engine/pack.hpp"
#include "engine/startup.hpp"
#include "platform/runtime/files.hpp"

namespace fwbench {

inline void OpenSampleData() {
  static const bool done = [] {
    const std::string& data = SampleDataFolder();
    const std::string scratch = NewFolder("program");
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
