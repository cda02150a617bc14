// Kill credit across machines: the victim's machine names the killer from
// the shot that hit it, whatever else leaves the roster in that frame, and
// the killer's score reaches every machine once. Moves only the game's
// fixed clock.
#include "battle/battle_sim.hpp"
#include "tests/battle/sim_world.hpp"
#include "tests/multiplayer/net_battle_support.hpp"

namespace fw::nettest {
namespace {

int32_t UnitOf(Machine& on, int32_t playerId) {
  const int32_t i = on.battle.Table.GetPlayerIndex(playerId, true);
  return i < 0 ? -1 : on.battle.Table.Players[static_cast<size_t>(i)].TankID;
}

int32_t ScoreOf(Machine& on, int32_t playerId) {
  const int32_t i = on.battle.Table.GetPlayerIndex(playerId, true);
  return i < 0 ? -1 : on.battle.Table.Players[static_cast<size_t>(i)].Score;
}

struct KillCase {
  const char* name;
  bool shooterRemoved;  // else a bystander's unit leaves in the same frame
  int16_t hullBefore;   // the shot does 30
};

class KillCredit : public NetBattleTest, public ::testing::WithParamInterface<KillCase> {};

TEST_P(KillCredit, TheShooterScoresOnceOnEveryMachine) {
  const KillCase& c = GetParam();
  Machine& a = Host();
  Machine& b = Joiner("Bob");
  Machine& cid = Joiner("Cid");
  Run(2500);
  const int32_t bId = b.link.MyId(), cId = cid.link.MyId();
  const int32_t bCopy = UnitOf(a, bId), cCopy = UnitOf(a, cId);
  ASSERT_GE(bCopy, 0);
  ASSERT_GE(cCopy, 0);
  // B's copy on A fires at A's tank, as the launch makes its shots.
  NetBattleRules rules(a.battle);
  NullBattleOutput quiet;
  BattleEnv env{quiet, rules};
  LaunchAmmo(a.battle.World, env, bCopy, simtest::MakeWeapon(30, 5000, 0.0f));
  WeaponSlot& shot = a.battle.World.Shots.back();
  ASSERT_EQ(shot.FireOwner, bId);
  BattleUnit& own = a.battle.World.Units[static_cast<size_t>(a.battle.OwnTank())];
  shot.PosX = own.PosX + own.CenterX;
  shot.PosY = own.PosY + own.CenterY;
  shot.VelocityX = shot.VelocityY = 0.0f;
  own.Shield = 0.0f;
  own.HP = c.hullBefore;
  a.battle.World.Units[static_cast<size_t>(c.shooterRemoved ? bCopy : cCopy)].HP = -100;
  Step(15);
  Step(15);
  EXPECT_LT(a.battle.OwnTank(), 0) << c.name;
  Run(3000);
  for (auto& m : machines) {
    EXPECT_EQ(ScoreOf(*m, bId), 1) << c.name << " on " << m->link.MyId();
    for (auto& other : machines) {
      if (other.get() != &b) {
        EXPECT_EQ(ScoreOf(*m, other->link.MyId()), 0) << c.name;
      }
    }
  }
  EXPECT_EQ(b.battle.KillCount, 1);
  EXPECT_EQ(b.profile.kills, 1);
  EXPECT_EQ(a.profile.kills + cid.profile.kills, 0);
  EXPECT_EQ(a.profile.deaths, 2) << "the host's tank came back";
}

INSTANTIATE_TEST_SUITE_P(Cases, KillCredit,
                         ::testing::Values(KillCase{"bystander removed, hull below 0", false, 10},
                                           KillCase{"shooter's own tank removed", true, 10},
                                           KillCase{"hit to exactly 0 hull points", false, 30}),
                         [](const auto& info) { return std::to_string(info.index); });

// A kill report is taken once per tank life; one naming someone else, or
// from outside the session, not at all.
TEST_F(NetBattleTest, KillReportsAreTakenOncePerTankLife) {
  Machine& a = Host();
  Machine& b = Joiner("Bob");
  Run(2000);
  const auto report = [&](int32_t from, int32_t names) {
    const auto bytes = EncodeGameMessage(MsgKilledBy{names});
    ASSERT_TRUE(bytes);
    hub.Inject(from, a.link.MyId(), *bytes);
    Step(15);
  };
  report(b.link.MyId(), b.link.MyId());
  report(b.link.MyId(), b.link.MyId());  // the same tank twice
  report(b.link.MyId(), 77);             // names another
  report(77, 77);                        // not in the session
  EXPECT_EQ(a.battle.KillCount, 1);
  Run(1500);  // as long as a respawn takes
  b.battle.SendTankInfo(b.battle.OwnTank(), a.link.MyId());  // a new life of B's tank
  Step(15);
  report(b.link.MyId(), b.link.MyId());
  EXPECT_EQ(a.battle.KillCount, 2);
  EXPECT_EQ(a.battle.Table.Players.size(), 2u);
}

}  // namespace
}  // namespace fw::nettest
