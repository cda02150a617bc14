#include <gtest/gtest.h>

#include "battle/sim_math.hpp"
#include "tests/battle/sim_world.hpp"

namespace fw {
namespace {

using simtest::AddUnit;
using simtest::MakeUnit;

using AiTest = simtest::SimTest<777>;

TEST(CalAngleTest, AxesAndZeroLength) {
  InitCosSin();
  EXPECT_FLOAT_EQ(CalAngle(1, 0, 1, 0), 0.0f);
  EXPECT_NEAR(CalAngle(0, 1, 1, 0), 90.0f, 1e-4);
  EXPECT_NEAR(CalAngle(-1, 0, 1, 0), 180.0f, 1e-4);
  EXPECT_NEAR(CalAngle(0, -1, 1, 0), 270.0f, 1e-4);
  EXPECT_NEAR(CalAngle(-3, -3, std::sqrt(18.0f), 0), 225.0f, 1e-3);
  // No length, no direction: the caller's heading stands.
  EXPECT_EQ(CalAngle(0, 0, 0, 123.5f), 123.5f);
}

TEST_F(AiTest, SteeringTakesTheShorterWayAndTurnsRightWhenOpposite) {
  struct Case {
    float heading, wanted;
    uint8_t right, left;
  } cases[] = {
      {10, 350, 0, 1},   // 340 apart: left through 0
      {350, 10, 1, 0},   // right through 360
      {90, 270, 1, 0},   // exactly 180 above: right
      {270, 90, 1, 0},   // exactly 180 below: right as well
      {100, 102, 0, 0},  // inside the dead band of one turn step
  };
  for (const Case& c : cases) {
    world.Units.clear();
    BattleUnit u = MakeUnit(1000, 1000, 0, 6);
    u.HeadAngle = c.heading;
    u.Agile = 4;
    u.WayPoint = {PointL{0, 0}, PointL{0, 0}};
    // Put the way point in the wanted direction, far away.
    const CosSinPair& cs = CosSinAt(c.wanted);
    u.WayPoint[0] = PointL{RoundL(1040 + 1000 * cs.Cos), RoundL(1030 + 1000 * cs.Sin)};
    AddUnit(world, u);
    ControlTank(world, env, 0);
    EXPECT_EQ(world.Units[0].TurnR, c.right) << c.heading << " -> " << c.wanted;
    EXPECT_EQ(world.Units[0].TurnL, c.left) << c.heading << " -> " << c.wanted;
    EXPECT_EQ(world.Units[0].PerSpeed, c.right || c.left ? 50 : 100);
  }
}

TEST_F(AiTest, PatrolWithOnePointOrEveryPointInReachDoesNothingForever) {
  BattleUnit u = MakeUnit(1000, 1000, 0, 1);
  u.WayPoint = {PointL{2000, 2000}};
  u.PerSpeed = 33;
  AddUnit(world, u);
  ControlTank(world, env, 0);
  EXPECT_EQ(world.Units[0].PerSpeed, 33);
  EXPECT_EQ(world.Units[0].TurnR + world.Units[0].TurnL, 0);
  // Every point under the unit: one pass over the list, then the frame goes
  // on (this would never return if the search went round for ever).
  world.Units[0].WayPoint = {PointL{1040, 1030}, PointL{1050, 1030}, PointL{1030, 1040}};
  ControlTank(world, env, 0);
  EXPECT_EQ(world.Units[0].PerSpeed, 33);
  // A reached point moves the patrol on to the next one in the same frame.
  world.Units[0].WayPoint = {PointL{1040, 1030}, PointL{3000, 1030}};
  world.Units[0].WayPointIndex = 0;
  ControlTank(world, env, 0);
  EXPECT_EQ(world.Units[0].WayPointIndex, 1);
  EXPECT_EQ(world.Units[0].PerSpeed, 100);  // heading 0, on course
}

TEST_F(AiTest, PathStylesEndTheirWaysDifferently) {
  BattleUnit follow = MakeUnit(1000, 1000, 0, 5);
  follow.WayPoint = {PointL{3000, 1030}, PointL{1040, 1030}};
  follow.WayPointIndex = 1;
  BattleUnit attack = follow;
  attack.Style = attack.BaseStyle = 6;
  AddUnit(world, follow);
  AddUnit(world, attack);
  ControlTank(world, env, 0);
  ControlTank(world, env, 1);
  EXPECT_EQ(world.Units[0].Style, 2);
  EXPECT_EQ(world.Units[0].BaseStyle, 2);
  EXPECT_EQ(world.Units[1].Style, 6);
  EXPECT_EQ(world.Units[1].WayPointIndex, 1);  // stays on its last point
}

TEST_F(AiTest, UnitsWithoutEnergyKeepToTheirPathButEscortsEngage) {
  for (uint8_t style : {1, 5, 6}) {
    world.Units.clear();
    BattleUnit u = MakeUnit(1000, 1000, 0, style);
    u.EnergyFull = 0;
    u.WayPoint = {PointL{3000, 1030}, PointL{3000, 2000}};
    AddUnit(world, u);
    AddUnit(world, MakeUnit(1050, 1000, 1));
    ControlTank(world, env, 0);
    EXPECT_EQ(world.Units[0].Style, style);
    world.Units[0].EnergyFull = 100;
    ControlTank(world, env, 0);
    EXPECT_EQ(world.Units[0].Style, 2);
  }
  world.Units.clear();
  BattleUnit escort = MakeUnit(1000, 1000, 0, 4);
  escort.EnergyFull = 0;
  AddUnit(world, escort);
  AddUnit(world, MakeUnit(1050, 1000, 1));
  ControlTank(world, env, 0);
  EXPECT_EQ(world.Units[0].Style, 2);
}

TEST_F(AiTest, NetworkPatrolEngagesWhateverItsEnergy) {
  rules.Variant.NetworkAI = true;
  BattleUnit u = MakeUnit(1000, 1000, 0, 1);
  u.EnergyFull = 0;
  AddUnit(world, u);
  AddUnit(world, MakeUnit(1050, 1000, 1));
  ControlTank(world, env, 0);
  EXPECT_EQ(world.Units[0].Style, 2);
  // Style 0 there keeps the target: it records who shot the tank.
  world.Units[0].Style = 0;
  world.Units[0].TargetTank = 1;
  ControlTank(world, env, 0);
  EXPECT_EQ(world.Units[0].TargetTank, 1);
  // A dead tank's AI is left alone.
  world.Units[0].Style = 2;
  world.Units[0].HP = -1;
  world.Units[0].TargetTank = 1;
  ControlTank(world, env, 0);
  EXPECT_EQ(world.Units[0].Style, 2);
  EXPECT_EQ(world.Units[0].TargetTank, 1);
}

TEST_F(AiTest, EscortAndEngageKeepTheThrottleInRange) {
  BattleUnit leader = MakeUnit(1100, 1000, 0, 7);
  leader.Speed = 5;
  BattleUnit escort = MakeUnit(1000, 1000, 0, 4);
  escort.LeaderTank = 0;
  escort.PerSpeed = 99;
  AddUnit(world, leader);
  AddUnit(world, escort);
  for (int n = 0; n < 50; ++n) ControlTank(world, env, 1);
  EXPECT_EQ(world.Units[1].PerSpeed, 100);
  world.Units[1].Speed = 9;
  world.Units[1].PerSpeed = -49;
  for (int n = 0; n < 50; ++n) ControlTank(world, env, 1);
  EXPECT_EQ(world.Units[1].PerSpeed, -50);

  // An engaging unit out of range of its weapons closes in, up to 100.
  world.Units.clear();
  BattleUnit hunter = MakeUnit(1000, 1000, 0, 2);
  hunter.Weapon = {simtest::MakeWeapon(10, 150)};
  hunter.PerSpeed = 98;
  AddUnit(world, hunter);
  AddUnit(world, MakeUnit(1400, 1000, 1, 7));
  for (int n = 0; n < 10; ++n) ControlTank(world, env, 0);
  EXPECT_EQ(world.Units[0].PerSpeed, 100);
  EXPECT_EQ(world.Units[0].TargetTank, 1);
  EXPECT_EQ(world.Units[0].Fire, 1);
}

TEST_F(AiTest, EscortWithoutLeaderOrBeyondTheRosterForgetsIt) {
  BattleUnit escort = MakeUnit(1000, 1000, 0, 4);
  escort.LeaderTank = 5;
  AddUnit(world, escort);
  ControlTank(world, env, 0);
  EXPECT_EQ(world.Units[0].LeaderTank, -1);
  // Escorting itself: no distance, nothing to do.
  world.Units[0].LeaderTank = 0;
  ControlTank(world, env, 0);
  EXPECT_EQ(world.Units[0].TurnR + world.Units[0].TurnL, 0);
}

TEST_F(AiTest, FleeingUnitsHeadAwayBetween100And200) {
  BattleUnit u = MakeUnit(1000, 1000, 0, 2);
  u.HP = 30;
  u.Shield = 10;
  u.Agile = 1;
  AddUnit(world, u);
  AddUnit(world, MakeUnit(1150, 1000, 1, 7));  // bearing 0, 150 away
  ControlTank(world, env, 0);
  // Bearing + 180 is behind: heading 0 turns right (exactly 180 above).
  EXPECT_EQ(world.Units[0].PerSpeed, 100);
  EXPECT_EQ(world.Units[0].TurnR, 1);
  EXPECT_EQ(world.Units[0].Fire, 1);
  rules.Variant.NetworkAI = true;
  ControlTank(world, env, 0);
  EXPECT_EQ(world.Units[0].Fire, 0);  // the network battle flees without firing
}

TEST_F(AiTest, GuardTurnsToTheEnemyAndChoosesWeaponsByArc) {
  BattleUnit g = MakeUnit(1000, 1000, 0, 3);
  g.HeadAngle = 5;
  WeaponSlot narrow = simtest::MakeWeapon(10, 800);
  narrow.FireAngle = 20;
  g.Weapon = {narrow};
  g.PerSpeed = 42;
  AddUnit(world, g);
  // Enemy up and slightly left: bearing about 350.
  const CosSinPair& cs = CosSinAt(350);
  AddUnit(world, MakeUnit(1000 + 300 * cs.Cos, 1000 + 300 * cs.Sin, 1, 7));
  ControlTank(world, env, 0);
  EXPECT_EQ(world.Units[0].Weapon[0].Enabled, 0);  // 345 apart, not wrapped
  EXPECT_EQ(world.Units[0].TurnL, 1);
  EXPECT_EQ(world.Units[0].PerSpeed, 42);  // a guard keeps its throttle
  EXPECT_EQ(world.Units[0].TargetTank, 1);
  // No enemy: back to the base style, fire off.
  world.Units.pop_back();
  world.Units[0].Style = 2;
  world.Units[0].BaseStyle = 3;
  ControlTank(world, env, 0);
  EXPECT_EQ(world.Units[0].Style, 3);
  EXPECT_EQ(world.Units[0].Fire, 0);
}

TEST_F(AiTest, StuckPathDriversSidestepAndFire) {
  BattleUnit u = MakeUnit(1000, 1000, 0, 6);
  u.WayPoint = {PointL{3000, 1030}, PointL{3000, 2000}};
  u.StuckTime = 150;
  u.Weapon = {simtest::MakeWeapon()};
  u.Weapon[0].Enabled = 0;
  AddUnit(world, u);
  ControlTank(world, env, 0);
  const BattleUnit& v = world.Units[0];
  EXPECT_NE(v.SidestepSide, 0);
  EXPECT_EQ(v.SidestepTimer, 1);
  EXPECT_EQ(v.StuckTime, 120.0f);
  EXPECT_EQ(v.Fire, 1);
  EXPECT_EQ(v.Weapon[0].Enabled, 1);
  EXPECT_EQ(v.TurnR + v.TurnL, 1);  // 90 degrees off its way
}

}  // namespace
}  // namespace fw
