// Host and joiners in one process: the joiner's road to "Go", the host's
// buildings as it holds them, remote tanks that arrive whole, and copies of
// each tank that converge on their owner's. Every test here moves the
// game's fixed clock (plat::AdvanceClock) and nothing else.
#include <cmath>

#include "tests/multiplayer/net_battle_support.hpp"

namespace fw::nettest {
namespace {

const BattleUnit* CopyOf(Machine& on, int32_t playerId) {
  auto& t = on.battle.Table;
  const int32_t i = t.GetPlayerIndex(playerId, true);
  if (i < 0 || t.Players[i].TankID < 0) return nullptr;
  return &on.battle.World.Units.at(static_cast<size_t>(t.Players[i].TankID));
}

TEST_F(NetBattleTest, JoinersReachGoHoldTheHostsBuildingsAndConvergeOnEveryTank) {
  Machine& host = Host();
  Step(15);
  ASSERT_GE(host.battle.World.Builds.size(), 2u);
  host.battle.World.Builds[1].HP = 7;  // a damaged building, as the host holds it
  Machine& b = Joiner("Bob");
  Machine& c = Joiner("Cid");
  Run(3000);
  for (Machine* m : {&b, &c}) {
    ASSERT_EQ(m->battle.World.Builds.size(), host.battle.World.Builds.size());
    for (size_t k = 0; k < host.battle.World.Builds.size(); ++k) {
      EXPECT_EQ(m->battle.World.Builds[k].TypeKey, host.battle.World.Builds[k].TypeKey);
      EXPECT_EQ(m->battle.World.Builds[k].X, host.battle.World.Builds[k].X);
    }
    EXPECT_EQ(m->battle.World.Builds[1].HP, 7);
  }
  for (auto& m : machines) {
    EXPECT_EQ(m->battle.World.Units.size(), 3u) << m->link.MyId();
    for (const BattleUnit& u : m->battle.World.Units) EXPECT_GT(u.HP, 0);
    EXPECT_EQ(m->profile.deaths, 1) << "nobody exploded on arrival";
  }
  // Five seconds of scripted driving, then two at rest.
  for (int frame = 0; frame < 5000 / 15; ++frame) {
    for (auto& m : machines) {
      const int32_t own = m->battle.OwnTank();
      ASSERT_GE(own, 0);
      BattleUnit& u = m->battle.World.Units[static_cast<size_t>(own)];
      u.MoveFB = 1;
      u.TurnR = (frame / 40 + m->link.MyId()) % 2;
      u.TurnL = 0;
    }
    Step(15);
  }
  for (auto& m : machines) {
    BattleUnit& u = m->battle.World.Units[static_cast<size_t>(m->battle.OwnTank())];
    u.MoveFB = 0;
    u.TurnR = 0;
    u.PerSpeed = 0;
  }
  Run(2000);
  for (auto& m : machines) EXPECT_TRUE(m->battle.Refused().empty()) << m->battle.Refused().begin()->first;
  for (auto& owner : machines) {
    const BattleUnit& own = owner->battle.World.Units.at(static_cast<size_t>(owner->battle.OwnTank()));
    for (auto& other : machines) {
      if (other == owner) continue;
      const BattleUnit* copy = CopyOf(*other, owner->link.MyId());
      ASSERT_NE(copy, nullptr);
      EXPECT_LE(std::hypot(copy->PosX - own.PosX, copy->PosY - own.PosY), 2.0)
          << "tank of " << owner->link.MyId() << " on " << other->link.MyId();
    }
  }
}

}  // namespace
}  // namespace fw::nettest
