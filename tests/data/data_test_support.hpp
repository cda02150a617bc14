#pragma once
// Helpers of the game data tests: a "Data" archive built with the game's
// own packer in the scratch program folder.
#include <filesystem>
#include <map>
#include <string>

#include "data/users.hpp"
#include "engine/globals.hpp"
#include "engine/pack.hpp"
#include "platform/runtime/files.hpp"
#include "platform/runtime/temp_folder.hpp"
#include "tests/common/test_support.hpp"

namespace datatest {

// Packs the members into "Data.INF"/"Data.PAK" in the program folder and
// opens it as DataPack, extracting into the game's private folder.
inline void MakeDataArchive(const fwtest::TempProgramFolder& dir, const std::map<std::string, std::string>& members) {
  const std::string staging = dir.Path() + "/.staging";
  std::filesystem::create_directories(staging);
  for (const auto& [name, bytes] : members) dir.Write(".staging/" + name, bytes);
  fw::qelPackage packer;
  packer.FilePath = staging;
  packer.TempPath = dir.Path();
  if (!packer.AddArchive("Data")) throw std::runtime_error("cannot pack the test archive");
  std::filesystem::remove_all(staging);
  fw::DataPack.Release();
  fw::DataPack->FilePath = fw::AppPath;
  fw::DataPack->TempPath = plat::GameTempFolder();
  fw::DataPack->LoadInf("Data");
}

// Profile n chosen in the program folder, as the profile screen chooses
// it (nothing read yet).
inline void Choose(fw::UsersClass& u, int n) {
  u.File = fw::AppPath + "\\User.INI";
  u.EQUFile = fw::AppPath + "\\save\\user" + std::to_string(n) + ".DAT";
  u.NowUser = n;
}

// The files a load may leave about: directly in the program folder (but
// the archive's own two) and in the archive's temporary folder.
inline int LooseFiles(const fwtest::TempProgramFolder& dir) {
  int n = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.Path())) {
    const std::string name = e.path().filename().string();
    if (e.is_regular_file() && name != "Data.INF" && name != "Data.PAK") ++n;
  }
  const std::string temp = plat::NativePath(fw::DataPack->TempPath);
  if (std::filesystem::equivalent(temp, dir.Path())) return n;
  for (const auto& e : std::filesystem::directory_iterator(temp))
    n += e.is_regular_file() && e.path().filename() != plat::kMakerMark ? 1 : 0;
  return n;
}

}  // namespace datatest
