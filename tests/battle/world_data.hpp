#pragma once
// The battle world's tests on the sample data: the archives opened from the
// sample folder (extracting into the test's scratch program folder), and
// copies of them with members changed or taken out.
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>

#include "battle/battle_state.hpp"
#include "battle/loaders.hpp"
#include "engine/globals.hpp"
#include "engine/pack.hpp"
#include "engine/startup.hpp"
#include "platform/runtime/files.hpp"
#include "tests/common/test_support.hpp"

namespace fw::worldtest {

inline void OpenArchive(Lazy<qelPackage>& pack, const std::string& folder, const std::string& name) {
  pack.Release();
  pack->FilePath = folder;
  pack->TempPath = AppPath;
  pack->LoadInf(name);
}

// Both sample archives, opened in place.
inline void OpenSampleArchives() {
  InitCosSin();
  OpenArchive(DataPack, fwtest::SampleDataFolder(), "Data");
  OpenArchive(MissionPack, fwtest::SampleDataFolder(), "MissionPack");
}

inline void CloseArchives() {
  DataPack.Release();
  MissionPack.Release();
}

// Every member of one archive of a folder, by name.
inline std::map<std::string, std::string> Members(const std::string& folder, const std::string& name,
                                                  const std::string& scratch) {
  qelPackage p;
  p.FilePath = folder;
  p.TempPath = scratch;
  p.LoadInf(name);
  std::map<std::string, std::string> out;
  for (const auto& m : *p.PackFiles) {
    p.Extract(m->Key);
    out[m->Key] = plat::ReadAllText(p.TempPath + m->Key).value_or("");
  }
  p.RemoveTempFile();
  return out;
}

// Packs the members into "<name>.INF"/"<name>.PAK" in `folder` with the
// game's own packer.
inline void PackArchive(const std::string& folder, const std::string& name,
                        const std::map<std::string, std::string>& members) {
  const std::string staging = folder + "/.staging-" + name;
  std::filesystem::create_directories(staging);
  for (const auto& [member, bytes] : members) plat::WriteFile(staging + "/" + member, bytes.data(), bytes.size());
  qelPackage packer;
  packer.File = name;
  packer.FilePath = staging;
  packer.TempPath = folder;
  if (!packer.AddArchive(name)) throw std::runtime_error("cannot pack the test archive " + name);
  std::filesystem::remove_all(staging);
}

// The sample world, loaded once per test program without a window. The
// program folder and the archives of the calling test are left as they
// were.
inline const BattleState& SampleWorld() {
  static const BattleState world = [] {
    const std::string app = AppPath, program = plat::ProgramFolder();
    struct Was {
      std::string file, from, to;
    };
    auto was = [](Lazy<qelPackage>& p) { return Was{p->File, p->FilePath, p->TempPath}; };
    const Was data = was(DataPack), mission = was(MissionPack);
    BattleState w;
    LoadResult r;
    {
      fwtest::TempProgramFolder scratch;
      OpenSampleArchives();
      r = LoadHeadlessWorld(w, "MapA");
    }
    AppPath = app;
    plat::SetProgramFolder(program);
    auto reopen = [](Lazy<qelPackage>& p, const Was& old) {
      p.Release();
      if (old.file.empty() || old.from.empty()) return;
      p->FilePath = old.from;
      p->TempPath = old.to;
      p->LoadInf(old.file);
    };
    reopen(DataPack, data);
    reopen(MissionPack, mission);
    if (!r) throw std::runtime_error("the sample map does not load: " + r.Message);
    return w;
  }();
  return world;
}

}  // namespace fw::worldtest
