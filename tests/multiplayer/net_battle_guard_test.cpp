// A member's own word on its deaths, and a late joiner's clock: a kill
// report counts once per described tank and at most once a second, and a
// joiner answered in the host's first second runs the host's clock from
// the moment the settings arrive. Moves only the game's fixed clock.
#include "tests/multiplayer/net_battle_support.hpp"

namespace fw::nettest {
namespace {

// A description before every report, as fast as the limits allow (100
// pairs a second), must not raise anyone's kills faster than a tank can die.
TEST_F(NetBattleTest, DescriptionsBeforeEachReportBookAtMostOneKillASecond) {
  Machine& a = Host();
  Machine& b = Joiner("Bob");
  Run(2000);
  const int32_t aId = a.link.MyId(), bId = b.link.MyId();
  const auto report = *EncodeGameMessage(MsgKilledBy{bId});
  const uint32_t attackMs = 3000;
  for (uint32_t t = 0; t < attackMs; t += 10) {
    b.battle.SendTankInfo(b.battle.OwnTank(), aId);
    hub.Inject(bId, aId, report);
    Step(10);
  }
  const int32_t bound = static_cast<int32_t>(attackMs / 1000) + 1;
  EXPECT_GE(a.battle.KillCount, 1);
  EXPECT_LE(a.battle.KillCount, bound);
  EXPECT_LE(a.profile.kills, bound);
  Run(1000);
  const int32_t i = b.battle.Table.GetPlayerIndex(aId, true);
  ASSERT_GE(i, 0);
  EXPECT_LE(b.battle.Table.Players[static_cast<size_t>(i)].Score, bound) << "the score the others see";
  EXPECT_EQ(b.battle.Table.Players[static_cast<size_t>(i)].Score, a.battle.KillCount);
}

// Two honest deaths as close as the respawn allows both count, also when
// the first report reaches the killer late, less than a second before the
// second.
class HonestDeaths : public NetBattleTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(HonestDeaths, TwoDeathsARespawnApartBothCount) {
  const uint32_t lateFirstMs = GetParam();
  Machine& a = Host();
  Machine& b = Joiner("Bob");
  Run(2000);
  const int32_t aId = a.link.MyId();
  Kill(b, aId);
  if (lateFirstMs > 0) paused.insert(&a);  // the killer reads the first report late
  for (int i = 0; i < 10 && b.battle.OwnTank() >= 0; ++i) Step(15);
  ASSERT_LT(b.battle.OwnTank(), 0);
  for (uint32_t t = 0; t < lateFirstMs; t += 15) Step(15);
  paused.erase(&a);
  for (int i = 0; i < 200 && b.battle.OwnTank() < 0; ++i) Step(15);
  ASSERT_GE(b.battle.OwnTank(), 0);
  Step(15);
  Kill(b, aId);
  Run(1500);
  EXPECT_EQ(a.battle.KillCount, 2);
  EXPECT_EQ(a.profile.kills, 2);
}

INSTANTIATE_TEST_SUITE_P(FirstReportLate, HonestDeaths, ::testing::Values(0u, 800u));

// The host answers at 0.2 s; the joiner shops for 30 s. A 1-minute battle
// ends on both within a second, with the same result.
TEST_F(NetBattleTest, AJoinerAnsweredInTheHostsFirstSecondKeepsTheHostsClock) {
  Machine& a = Host();
  a.settings.LimTime = 1;
  a.settings.WinRule = 0;
  machines.push_back(std::make_unique<Machine>(NewLink("Bob"), "Bob", JoinSetting()));
  Machine& b = *machines.back();
  Step(200, &b);
  b.battle.BeginJoinWait();
  while (b.battle.PollJoinWait() == NetBattle::Wait::Waiting) Step(1, &b);
  EXPECT_LE(plat::timeGetTime() - 1000000u, 250u) << "answered in the host's first second";
  NullLoadProgress progress;
  ASSERT_TRUE(b.battle.LoadMap(progress)) << b.battle.LastError;
  b.profile.armWith = SampleTank(b.battle);
  b.profile.duringVisit = [&] { Run(30000); };  // b is not started: only the host runs
  ASSERT_EQ(b.battle.EquTank(), NetBattle::Armed::Yes);
  b.battle.Start();
  Run(2000);
  Kill(b, a.link.MyId());  // the host leads
  std::map<const Machine*, uint32_t> endedAt;
  for (int i = 0; i < 4000 && endedAt.size() < 2; ++i) {
    Step(15);
    for (auto& m : machines)
      if (m->battle.Ended() && !endedAt.count(m.get())) endedAt[m.get()] = plat::timeGetTime();
  }
  ASSERT_EQ(endedAt.size(), 2u);
  const uint32_t gap = endedAt[&a] > endedAt[&b] ? endedAt[&a] - endedAt[&b] : endedAt[&b] - endedAt[&a];
  EXPECT_LE(gap, 1000u);
  EXPECT_EQ(a.profile.won, 1);
  EXPECT_EQ(b.profile.lost, 1);
  EXPECT_EQ(a.profile.lost + b.profile.won, 0);
}

}  // namespace
}  // namespace fw::nettest
