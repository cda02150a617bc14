#pragma once
// The network battle's test fixture: the sample archives in a scratch
// program folder, the game's clock fixed, and host and joiners made and
// run over the test hub (or, in a derived fixture, over real sessions).
#include <gtest/gtest.h>

#include <set>

#include "battle/battle_sim.hpp"
#include "tests/battle/world_data.hpp"
#include "tests/multiplayer/test_hub.hpp"

namespace fw::nettest {

// The sample archives opened in a scratch program folder for the test.
class NetBattleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    worldtest::OpenSampleArchives();
    plat::FixClock(1000000, 3600.0f);
  }
  void TearDown() override {
    plat::UnfixClock();
    worldtest::CloseArchives();
  }

  static GameSettingRecord HostSetting(const std::string& mode = "Death Battle") {
    GameSettingRecord s;
    s.Role = "New";
    // "Base Defensing" is played on a map with both bases.
    s.MapName = mode == "Base Defensing" ? "MapN1" : "MapA";
    s.ModeName = mode;
    s.WinRule = 0;
    s.LimTime = 60;
    s.LimTank = 100;
    s.Money = 5000;
    return s;
  }
  static GameSettingRecord JoinSetting() {
    GameSettingRecord s;
    s.Role = "Join";
    return s;
  }

  // The sample map's first unit template, as the factory would hand it.
  static Tank SampleTank(const NetBattle& b) { return *b.World.Templates.Item(1); }

  // Where a new machine's session comes from: the test hub, unless a test
  // runs the real session object.
  virtual NetLink& NewLink(const std::string& name) { return hub.Join(name); }
  // Lets sessions on their own threads catch up between frames.
  virtual void Breathe() {}

  Machine& Host(const std::string& mode = "Death Battle") {
    machines.push_back(std::make_unique<Machine>(NewLink("Host"), "Host", HostSetting(mode)));
    Machine& m = *machines.back();
    NullLoadProgress progress;
    EXPECT_TRUE(m.battle.LoadMap(progress)) << m.battle.LastError;
    m.battle.UserTK = SampleTank(m.battle);
    m.battle.Start();
    return m;
  }
  // A joiner through the wait, the factory and the map; the others run
  // their frames meanwhile.
  Machine& Joiner(const std::string& name) {
    machines.push_back(std::make_unique<Machine>(NewLink(name), name, JoinSetting()));
    Machine& m = *machines.back();
    m.battle.BeginJoinWait();
    for (int pass = 0; pass < 1000 && m.battle.PollJoinWait() == NetBattle::Wait::Waiting; ++pass) Step(15, &m);
    EXPECT_EQ(m.settings.Role, "Go");
    NullLoadProgress progress;
    EXPECT_TRUE(m.battle.LoadMap(progress)) << m.battle.LastError;
    m.profile.armWith = SampleTank(m.battle);
    EXPECT_EQ(m.battle.EquTank(), NetBattle::Armed::Yes);
    m.battle.Start();
    return m;
  }
  // Moves the game clock by `ms` and runs one frame on every started
  // machine (except `skip`).
  void Step(uint32_t ms, Machine* skip = nullptr) {
    Breathe();
    plat::AdvanceClock(ms);
    for (auto& m : machines)
      if (m.get() != skip && !paused.count(m.get())) m->battle.Frame();
  }
  void Run(uint32_t totalMs, uint32_t frameMs = 15) {
    for (uint32_t t = 0; t < totalMs; t += frameMs) Step(frameMs);
  }

  // The killer's copy on the victim's machine fires one shot that destroys
  // the victim's own tank, as a launch makes it; the frames after it carry
  // the report.
  void Kill(Machine& victim, int32_t killerId) {
    NetBattle& v = victim.battle;
    const int32_t i = v.Table.GetPlayerIndex(killerId, true);
    ASSERT_GE(i, 0);
    const int32_t shooter = v.Table.Players[static_cast<size_t>(i)].TankID;
    ASSERT_GE(shooter, 0);
    ASSERT_GE(v.OwnTank(), 0);
    NetBattleRules rules(v);
    NullBattleOutput quiet;
    BattleEnv env{quiet, rules};
    WeaponSlot w;
    w.Key = "Laser";
    w.ClipID = 1;
    w.Range = 5000;
    w.FirePower = 30000;
    w.Enabled = 1;
    LaunchAmmo(v.World, env, shooter, w);
    WeaponSlot& shot = v.World.Shots.back();
    BattleUnit& own = v.World.Units[static_cast<size_t>(v.OwnTank())];
    shot.PosX = own.PosX + own.CenterX;
    shot.PosY = own.PosY + own.CenterY;
    shot.VelocityX = shot.VelocityY = shot.Speed = 0.0f;
  }

  fwtest::TempProgramFolder scratch;
  TestHub hub;
  std::vector<std::unique_ptr<Machine>> machines;
  std::set<const Machine*> paused;  // machines whose loop no longer runs
};

}  // namespace fw::nettest
