#pragma once
// A campaign battle without a screen: the sample archives, the profiles
// in a scratch folder, the world with its tables, and the campaign's
// dispatcher driven stage by stage while the test acts on the world
// directly (units destroyed, the player moved, buildings blown up).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "battle/battle_sim.hpp"
#include "battle/loaders.hpp"
#include "battle/mission_hooks.hpp"
#include "battle/roster.hpp"
#include "battle/surface_pictures.hpp"
#include "data/battle_result.hpp"
#include "data/users.hpp"
#include "engine/globals.hpp"
#include "missions/campaign.hpp"
#include "platform/runtime/random.hpp"
#include "tests/battle/world_data.hpp"
#include "tests/common/test_support.hpp"

namespace fw::missiontest {

// The career the tests start from, to see what a battle adds.
constexpr int32_t kMoney = 1000, kKills = 5, kDeaths = 2;

class MissionTest : public ::testing::Test {
 protected:
  fwtest::TempProgramFolder folder_;
  BattleState w;
  SurfacePictures pictures{false};
  NullLoadProgress progress;
  RecordingBattleOutput out;
  BattleRules rules;
  BattleEnv env{out, rules};
  MissionBattle b{w, pictures, progress, env, {}};
  std::unique_ptr<MissionScript> script;

  void SetUp() override {
    plat::FixRandom(4242);
    worldtest::OpenSampleArchives();
    Users.Release();
    Users->File = AppPath + "\\User.INI";
    Users->NowUser = 1;
    auto& tank = *Users->NowTank;
    tank.ClipID = "Tank02";
    tank.ShieldFull = 100;
    tank.EnergyFull = 100;
    auto user = Users->Item(1);
    user->Money = kMoney;
    user->Kill = kKills;
    user->Death = kDeaths;
    Users->KillMoney = 77;  // a won battle's before
    EndResult = BattleResult{};
    for (auto load : {LoadSound, LoadEmyWeap, LoadImageInfo, LoadBuildingTypes}) ASSERT_TRUE(load(w));
  }
  void TearDown() override {
    Users.Release();
    worldtest::CloseArchives();
  }

  // Stage 0 of the profile's mission, as the battle screen runs it.
  void Start(int32_t mission) {
    Users->Item(1)->Mission = mission;
    Users->WinMoney = 0;
    Users->KillTank = 0;
    script = MakeCampaignScript();
    script->RunMission(b, 0);
    ASSERT_EQ(b.LoadError, "");
    w.RunState = "Loop";
  }
  const MisVars& Vars(int32_t mission) const {
    return static_cast<const CampaignScript&>(*script).Vars(mission);
  }
  bool Running() const { return w.RunState != "EXIT"; }
  void Frame(float factor = 1.0f) {
    ASSERT_TRUE(Running()) << "a frame after the battle ended";
    w.FrameFactor = factor;
    script->RunMission(b, 1);
  }
  // Frames until the script ends the battle; the number run.
  int RunToEnd(float factor, int limit = 1000) {
    int n = 0;
    while (Running() && n < limit) Frame(factor), ++n;
    return n;
  }
  void KillPlayer() { RemoveUnit(w, w.PlayerUnit, rules); }
  void KillTeam(uint8_t team) {
    for (int32_t i = static_cast<int32_t>(w.Units.size()) - 1; i >= 0; --i)
      if (w.Units[static_cast<size_t>(i)].Team == team) RemoveUnit(w, i, rules);
  }
  BattleUnit& Player() { return w.Units.at(static_cast<size_t>(w.PlayerUnit)); }
  void MovePlayerInto(int32_t area) {
    const RECT& r = w.Terrains.at(static_cast<size_t>(area)).Area;
    Player().PosX = (r.Left + r.Right) / 2.0f;
    Player().PosY = (r.Top + r.Bottom) / 2.0f;
  }
  // Blows building b up as the battle's building step does.
  void Destroy(int32_t building) {
    w.Builds.at(static_cast<size_t>(building)).HP = -1;
    w.FrameFactor = 0;
    UpdateBuildings(w, env);
  }

  // Destroys every building whose key lies in lo to hi, one by one.
  void DestroyKinds(int lo, int hi) {
    for (bool found = true; found;) {
      found = false;
      for (size_t i = 0; i < w.Builds.size() && !found; ++i) {
        const int kind = std::atoi(w.Builds[i].TypeKey.c_str());
        if (kind >= lo && kind <= hi) Destroy(static_cast<int32_t>(i)), found = true;
      }
    }
  }

  // Stage 2 with the battle's kills, the profiles saved as the screen
  // saves them, and the current profile read back from the file.
  SingleUser Finish(int32_t kills) {
    Users->KillTank = kills;
    script->RunMission(b, 2);
    EXPECT_TRUE(Users->SaveUser());
    UsersClass saved;
    saved.File = Users->File;
    saved.ReadUser();
    return *saved.Item(1);
  }
};

// What a won or lost battle books into the saved profile.
inline void ExpectWon(const SingleUser& u, int32_t mission, int32_t reward, int32_t kills, int32_t perKill) {
  EXPECT_EQ(EndResult.MisIndex, mission);
  EXPECT_TRUE(EndResult.WinState);
  EXPECT_EQ(u.Money, kMoney + reward + kills * perKill);
  EXPECT_EQ(u.Kill, kKills + kills);
  EXPECT_EQ(u.Death, kDeaths);
  // The battle never moves the profile on; the end screen does.
  EXPECT_EQ(u.Mission, mission);
  EXPECT_EQ(Users->WinMoney, reward);
  EXPECT_EQ(Users->KillMoney, kills * perKill);
}

inline void ExpectLost(const SingleUser& u, int32_t mission, int32_t kills) {
  EXPECT_EQ(EndResult.MisIndex, mission);
  EXPECT_FALSE(EndResult.WinState);
  EXPECT_EQ(u.Money, kMoney);
  EXPECT_EQ(u.Kill, kKills + kills);
  EXPECT_EQ(u.Death, kDeaths + 1);
  EXPECT_EQ(u.Mission, mission);
  EXPECT_EQ(Users->WinMoney, 0);
}

inline size_t Bleeps(const RecordingBattleOutput& out) {
  return static_cast<size_t>(std::count(out.SoundKeys.begin(), out.SoundKeys.end(), "Bleep01"));
}

}  // namespace fw::missiontest
