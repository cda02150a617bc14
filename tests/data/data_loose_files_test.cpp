// The tables are read from copies in the game's private folder: a file of
// the same name that the player keeps beside the program is never touched.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "data/map_control.hpp"
#include "engine/globals.hpp"
#include "engine/pack.hpp"
#include "platform/runtime/temp_folder.hpp"
#include "tests/common/test_support.hpp"

TEST(DataLooseFiles, APlayersObjIniSurvivesTheBattlesTableLoad) {
  if (!std::filesystem::exists(fwtest::MkdataPath())) GTEST_SKIP() << "mkdata is not built";
  fwtest::TempProgramFolder dir;
  fwtest::WriteSampleData(dir.Path());
  dir.Write("obj.ini", "the player's own notes");
  dir.Write("MapInfo.ini", "kept too");
  fw::DataPack.Release();
  fw::DataPack->FilePath = fw::AppPath;
  fw::DataPack->TempPath = plat::GameTempFolder();
  fw::DataPack->LoadInf("Data");
  fw::LastError.clear();

  fw::LoadMapData();
  EXPECT_EQ(fw::LastError, "");
  EXPECT_GE(fw::ObjClips->Count(), 1);  // read from the archive's member
  EXPECT_EQ(dir.Read("obj.ini"), "the player's own notes");
  EXPECT_EQ(dir.Read("MapInfo.ini"), "kept too");
  std::vector<std::string> left;  // the copies are gone again
  for (const auto& e : std::filesystem::directory_iterator(plat::GameTempFolder()))
    left.push_back(e.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{plat::kMakerMark});
  fw::DataPack.Release();
  fw::MapCtl.Release();
  fw::ObjClips.Release();
}
