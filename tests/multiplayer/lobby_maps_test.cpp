// The maps the new-game page offers: every map of the sample data, and none
// that a joiner could not be given (more buildings, or a longer name or
// building type, than the settings carry, or one cut inside a character),
// that is no map at all, or that lacks a base "Base Defensing" needs; each
// map left out is named, with its archive, on standard error.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "engine/globals.hpp"
#include "engine/pack.hpp"
#include "multiplayer/battle/game_messages.hpp"
#include "multiplayer/battle/game_modes.hpp"
#include "multiplayer/lobby/game_setting.hpp"
#include "multiplayer/lobby/lobby.hpp"
#include "multiplayer/lobby/network_maps.hpp"
#include "platform/runtime/strings.hpp"
#include "platform/runtime/text_records.hpp"
#include "tests/frontend/screen_support.hpp"

namespace {

class LobbyMaps : public fwtest::ScreenTest {
 protected:
  std::string Member(const std::string& name) {
    const auto bytes = fw::MissionPack->ReadMember(name);
    EXPECT_TRUE(bytes) << name;
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
  }
  // The mission archive made anew from these members alone.
  void MakeMissionPack(const std::map<std::string, std::string>& members) {
    for (const auto& [name, bytes] : members) folder_.Write("stage/" + name, bytes);
    fw::qelPackage packer;
    packer.FilePath = folder_.Path() + "\\stage";
    packer.TempPath = folder_.Path();
    ASSERT_TRUE(packer.AddArchive("MissionPack"));
    std::filesystem::remove_all(folder_.File("stage"));
    fw::MissionPack.Release();
    fw::MissionPack->FilePath = folder_.Path();
    fw::MissionPack->TempPath = folder_.Path();
    fw::MissionPack->LoadInf("MissionPack");
  }
  // The rows a fresh lobby's page lists for the mode, sorted, and what it
  // said on standard error meanwhile.
  std::vector<std::string> Offered(const std::string& mode, std::string* said = nullptr) {
    fw::GameSetting.ModeName = mode;
    fw::FrmMultiMenuClass lobby;
    fw::qelListBox list;
    testing::internal::CaptureStderr();
    lobby.LoadMapList(list);
    const std::string err = testing::internal::GetCapturedStderr();
    if (said) *said = err;
    std::vector<std::string> rows;
    for (const auto& item : list) rows.push_back(item->Text);
    std::sort(rows.begin(), rows.end());
    return rows;
  }
};

// The description with a "Building" section of its own in place of the
// file's: n rows, the two bases first when asked for.
std::string WithBuildings(const std::string& inf, int n, bool bases, const std::string& others = "510") {
  plat::TextRecordWriter w;
  w.String("Building").Number(n).EndRecord();
  for (int i = 0; i < n; ++i) {
    const std::string type = bases && i == 0 ? "580" : bases && i == 1 ? "587" : others;
    w.String(type).Number(200 + i % 200 * 20).Number(200 + i / 200 * 60).EndRecord();
  }
  return inf + w.Text();
}

TEST_F(LobbyMaps, EveryMapOfTheSampleDataIsOffered) {
  int32_t infs = 0;
  const auto& members = *fw::MissionPack->PackFiles;
  for (int32_t i = 1; i <= members.Count(); ++i) infs += plat::UCase(fw::qelPackage::GetExtName(members.Item(i)->Key)) == "INF";
  std::string said;
  EXPECT_EQ(Offered("Death Battle", &said).size(), static_cast<size_t>(infs));
  EXPECT_EQ(Offered("Base Defensing", &said), (std::vector<std::string>{"MapM1", "MapN1"}));
  EXPECT_EQ(said, "");
}

TEST_F(LobbyMaps, MapsTheSettingsCannotCarryOrThatAreNoMapsAreNotOffered) {
  const std::string netA = Member("NetA.Inf"), mapN1 = Member("MapN1.Inf");
  MakeMissionPack({{"NetA.Inf", netA},
                   {"Full.Inf", WithBuildings(netA, static_cast<int>(fw::kMaxSettingBuildings), false)},
                   {"Crowded.Inf", WithBuildings(netA, 2000, false)},
                   {"Junk.Inf", "\x01\x7fJFIF garbage \xff\xfe\r\n,,\""},
                   {std::string(130, 'L') + ".Inf", netA},
                   {"LongKey.Inf", WithBuildings(netA, 1, false, std::string(33, 'K'))},
                   {"HalfKey.Inf", WithBuildings(netA, 1, false, "510\xb0")},
                   {"MapN1.Inf", mapN1},
                   {"MapN2.Inf", WithBuildings(mapN1, 12, false)},
                   {"MapN3.Inf", WithBuildings(mapN1, 12, true)}});
  std::string said;
  EXPECT_EQ(Offered("Death Battle", &said), (std::vector<std::string>{"Full", "MapN1", "MapN2", "MapN3", "NetA"}));
  EXPECT_NE(said.find("Crowded.Inf in MissionPack.PAK has 2000 buildings"), std::string::npos) << said;
  EXPECT_NE(said.find("Junk.Inf in MissionPack.PAK is not a map"), std::string::npos) << said;
  EXPECT_NE(said.find(std::string(130, 'L') + ".Inf in MissionPack.PAK"), std::string::npos) << said;
  EXPECT_NE(said.find("LongKey.Inf in MissionPack.PAK has the building type"), std::string::npos) << said;
  EXPECT_NE(said.find("HalfKey.Inf in MissionPack.PAK has the building type"), std::string::npos) << said;
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 5) << said;

  EXPECT_EQ(Offered("Base Defensing", &said), (std::vector<std::string>{"MapN1", "MapN3"}));
  EXPECT_NE(said.find("MapN2.Inf in MissionPack.PAK has no base"), std::string::npos) << said;
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

}  // namespace
