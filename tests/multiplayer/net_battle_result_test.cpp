// How a network battle ends on every machine: team results from each
// player's own side, no winner on a tie, the time limit on the monotonic
// clock whatever the time of day. Moves only the game's fixed clock.
#include "multiplayer/battle/game_modes.hpp"
#include "tests/multiplayer/net_battle_support.hpp"

namespace fw::nettest {
namespace {

TEST_F(NetBattleTest, AThreeToOneTeamBattleIsWonByTeamZeroOnEveryMachine) {
  GameSettingRecord s = HostSetting(kModeGroupBattle);
  s.LimTime = 1;
  machines.push_back(std::make_unique<Machine>(hub, "Ann", s));
  Machine& a = *machines.back();
  NullLoadProgress progress;
  ASSERT_TRUE(a.battle.LoadMap(progress));
  a.battle.UserTK = SampleTank(a.battle);
  a.battle.Start();
  Machine& b = Joiner("Bob");  // team 1
  Machine& c = Joiner("Cid");  // team 0
  Machine& d = Joiner("Dan");  // team 1
  Run(2000);
  ASSERT_EQ(b.battle.Table.Players[0].Team, 1);
  ASSERT_EQ(c.battle.Table.Players[0].Team, 0);
  // Team 0 kills three times, team 1 once.
  for (auto [victim, killer] : {std::pair{&b, &a}, std::pair{&d, &c}, std::pair{&b, &c}, std::pair{&a, &d}}) {
    Run(2000);
    Kill(*victim, killer->link.MyId());
  }
  Run(70000, 30);
  for (auto& m : machines) {
    const NetBattle& n = m->battle;
    ASSERT_TRUE(n.Ended()) << m->link.MyId();
    EXPECT_EQ(n.Mode.Frozen.TeamScore[0], 3) << m->link.MyId();
    EXPECT_EQ(n.Mode.Frozen.TeamScore[1], 1) << m->link.MyId();
    const bool teamZero = n.Table.Players[0].Team == 0;
    EXPECT_EQ(m->profile.won, teamZero ? 1 : 0) << m->link.MyId();
    EXPECT_EQ(m->profile.lost, teamZero ? 0 : 1) << m->link.MyId();
  }
}

TEST_F(NetBattleTest, AGoallessDeathBattleIsWonByNobody) {
  GameSettingRecord s = HostSetting(kModeDeathBattle);
  s.LimTime = 1;
  machines.push_back(std::make_unique<Machine>(hub, "Ann", s));
  Machine& a = *machines.back();
  NullLoadProgress progress;
  ASSERT_TRUE(a.battle.LoadMap(progress));
  a.battle.UserTK = SampleTank(a.battle);
  a.battle.Start();
  Joiner("Bob");
  Run(65000, 30);
  for (auto& m : machines) {
    EXPECT_TRUE(m->battle.Ended());
    EXPECT_EQ(m->profile.won, 0);
    EXPECT_EQ(m->profile.lost, 1);
  }
}

TEST_F(NetBattleTest, AFiveMinuteBattleStartedAtTwoMinutesToMidnightEndsOnTime) {
  // 23:58 by the time of day, and the millisecond counter a minute from
  // its wrap.
  plat::FixClock(0xFFFFFFFFu - 60000u, 23 * 3600 + 58 * 60);
  GameSettingRecord s = HostSetting(kModeDeathBattle);
  s.LimTime = 5;
  machines.push_back(std::make_unique<Machine>(hub, "Ann", s));
  Machine& a = *machines.back();
  NullLoadProgress progress;
  ASSERT_TRUE(a.battle.LoadMap(progress));
  a.battle.UserTK = SampleTank(a.battle);
  a.battle.Start();
  Run(299000, 100);
  EXPECT_FALSE(a.battle.Ended()) << a.battle.Mode.BattleTime;
  Run(1500, 100);
  EXPECT_TRUE(a.battle.Ended()) << a.battle.Mode.BattleTime;
}

}  // namespace
}  // namespace fw::nettest
