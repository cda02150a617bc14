// The sample Default.cfg: a new player finds every battle control bound
// and music playing; a player's own settings file is never replaced.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "engine/globals.hpp"
#include "engine/key_config.hpp"
#include "tests/common/test_support.hpp"

namespace {

void ClearSettings() {
  fw::KeyTable.fill(0);
  fw::MusicOn = 0;
  fw::SoundVol = 0;
  fw::MusicVol = 0;
}

TEST(SampleKeyConfig, BindsEveryControlToItsOwnNamedKeyWithMusicOnAtMiddleVolumes) {
  fwtest::TempProgramFolder dir;
  std::filesystem::copy_file(fwtest::SampleDataFolder() + "/Default.cfg", dir.File("Default.cfg"));
  ClearSettings();
  fw::LastError.clear();
  fw::ReadKeyConfig("\\Default.cfg");
  EXPECT_EQ(fw::LastError, "");
  std::set<int16_t> codes;
  for (size_t i = 0; i < fw::KeyTable.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_NE(fw::KeyCodeName(fw::KeyTable[i]), "") << "the setup page would show the binding blank";
    codes.insert(fw::KeyTable[i]);
  }
  EXPECT_EQ(codes.size(), fw::KeyTable.size()) << "two controls share a key";
  // Keys the battle gives fixed meanings of their own would act twice.
  for (int16_t fixed : {9, 13, 27, 107, 109, 113})
    EXPECT_EQ(codes.count(fixed), 0u) << fixed;
  EXPECT_EQ(fw::MusicOn, -1);
  EXPECT_GT(fw::SoundVol, 0);
  EXPECT_LT(fw::SoundVol, 10);
  EXPECT_GT(fw::MusicVol, 0);
  EXPECT_LT(fw::MusicVol, 10);
  ClearSettings();
}

TEST(SampleKeyConfig, APlayersOwnFileIsKeptWhateverTheLetterCaseOfItsName) {
  if (!std::filesystem::exists(fwtest::MkdataPath())) GTEST_SKIP() << "mkdata is not built";
  fwtest::TempProgramFolder dir;
  dir.Write("default.CFG", "\"FORWARD\",87\r\n");
  fwtest::WriteSampleData(dir.Path());
  EXPECT_EQ(dir.Read("default.CFG"), "\"FORWARD\",87\r\n");
  EXPECT_FALSE(dir.Exists("Default.cfg"));
}

}  // namespace
