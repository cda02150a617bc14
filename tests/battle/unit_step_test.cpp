#include <gtest/gtest.h>

#include "battle/masks.hpp"
#include "battle/roster.hpp"
#include "tests/battle/sim_world.hpp"

namespace fw {
namespace {

using simtest::AddUnit;
using simtest::MakeUnit;

struct UnitStepTest : simtest::SimTest<12345> {

  // One unit far from everything, with no AI, driven only by its bytes.
  BattleUnit& Lone() {
    AddUnit(world, MakeUnit(1000, 1000, 0));
    return world.Units[0];
  }
};

TEST_F(UnitStepTest, FrameFactorZeroChangesNothing) {
  BattleUnit& u = Lone();
  u.StuckTime = 50;
  u.Energy = 10;
  u.Shield = 5;
  u.MoveFB = 1;
  u.TurnR = 1;
  u.PerSpeed = 50;
  u.Speed = 1;
  u.VelocityX = 1;
  world.FrameFactor = 0;
  const BattleState before = world;
  UpdateTanks(world, env);
  EXPECT_TRUE(world == before);
}

TEST_F(UnitStepTest, TurningWrapsAsTheCampaignAndTheNetworkDo) {
  struct Case {
    float from, agile;
    uint8_t right, left;
    bool network;
    float expected;
  } cases[] = {
      {359.8f, 0.5f, 1, 0, false, 0.0f},       // 360.3 rounds to 360, mod 360
      {359.5f, 0.5f, 1, 0, false, 360.0f},     // exactly 360 stays
      {0.3f, 0.5f, 0, 1, false, 359.8f},       // left through 0
      {359.8f, 0.5f, 1, 0, true, 0.3f},        // the network keeps the fraction
      {10.0f, 4.0f, 1, 1, false, 10.0f},       // both bytes: left, then right
      {100.0f, 5000.0f, 1, 0, false, 60.0f},   // 5100 -> a whole-degree heading in range
      {100.0f, 5000.0f, 0, 1, false, 140.0f},  // -4540 after the one +360, brought back into range
  };
  for (const Case& c : cases) {
    world.Units.clear();
    BattleUnit& u = Lone();
    u.HeadAngle = c.from;
    u.Agile = c.agile;
    u.TurnR = c.right;
    u.TurnL = c.left;
    rules.Variant.HeadingWrapsBy360 = c.network;
    UpdateTanks(world, env);
    EXPECT_NEAR(world.Units[0].HeadAngle, c.expected, 1e-3) << c.from << " by " << c.agile;
    EXPECT_GE(world.Units[0].HeadAngle, 0.0f);
    EXPECT_LE(world.Units[0].HeadAngle, 360.0f);
  }
}

TEST_F(UnitStepTest, ThrottleRoundsHalvesToEvenAndStopsAtItsLimits) {
  BattleUnit& u = Lone();
  u.MoveFB = 1;
  world.FrameFactor = 2.5f;
  std::vector<int> seen;
  for (int n = 0; n < 3; ++n) {
    UpdateTanks(world, env);
    seen.push_back(world.Units[0].PerSpeed);
  }
  EXPECT_EQ(seen, (std::vector<int>{2, 4, 6}));  // 2.5 -> 2, 4.5 -> 4, 6.5 -> 6
  world.FrameFactor = 2.2f;
  for (int n = 0; n < 60; ++n) UpdateTanks(world, env);
  EXPECT_EQ(world.Units[0].PerSpeed, 100);
  world.Units[0].MoveFB = 2;
  for (int n = 0; n < 100; ++n) UpdateTanks(world, env);
  EXPECT_EQ(world.Units[0].PerSpeed, -50);
  // A frame factor far beyond any real frame must not overflow the byte.
  world.FrameFactor = 1e9f;
  world.Units[0].MoveFB = 1;
  UpdateTanks(world, env);
  EXPECT_EQ(world.Units[0].PerSpeed, 100);
}

TEST_F(UnitStepTest, SpeedStepsAroundTheTargetWithinTheReverseLimit) {
  BattleUnit& u = Lone();
  u.TopSpeed = 4;
  u.Accelerate = 0.3f;
  u.PerSpeed = -50;
  float lowest = 0;
  for (int n = 0; n < 40; ++n) {
    ASSERT_TRUE(AccelerateTank(world, 0));
    lowest = std::min(lowest, world.Units[0].Speed);
  }
  EXPECT_GE(lowest, -2.0f);
  EXPECT_NEAR(world.Units[0].Speed, -2.0f, 0.31f);  // steps past -2 and back
  // At rest with a zero throttle nothing moves, but the old velocity stays.
  BattleUnit& v = world.Units[0];
  v.PerSpeed = 0;
  v.Speed = 0.005f;
  v.VelocityX = 1.5f;
  EXPECT_FALSE(AccelerateTank(world, 0));
  const float x = v.PosX;
  UpdateTanks(world, env);
  EXPECT_FLOAT_EQ(world.Units[0].PosX, x + 1.5f);
}

TEST_F(UnitStepTest, EnergyAndShieldRefillToFull) {
  BattleUnit& u = Lone();
  u.Energy = 99.5f;
  u.EnergySpeed = 1.0f;
  u.Shield = 10;
  UpdateTanks(world, env);
  EXPECT_EQ(world.Units[0].Energy, 100.0f);
  EXPECT_NEAR(world.Units[0].Shield, 10.05f, 1e-5);
}

TEST_F(UnitStepTest, UnitsStayOnTheMap) {
  AddUnit(world, MakeUnit(0.4f, -3.0f, 0));
  AddUnit(world, MakeUnit(6000, 5000, 0));
  UpdateTanks(world, env);
  EXPECT_EQ(world.Units[0].PosX, 1.0f);
  EXPECT_EQ(world.Units[0].PosY, 0.0f);
  EXPECT_EQ(world.Units[1].PosX, 5039.0f);
  EXPECT_EQ(world.Units[1].PosY, 3779.0f);
}

TEST_F(UnitStepTest, DeathAtZeroHullLeavesWreckEffectsAndShake) {
  BattleUnit& u = Lone();
  u.HP = 0;
  UpdateTanks(world, env);
  EXPECT_TRUE(world.Units.empty());  // the last unit may go; nothing breaks
  EXPECT_EQ(world.ScreenShake, 20.0f);
  EXPECT_EQ(world.Debris.size(), 1u + 5u);
  int fires = 0, shock = 0;
  for (const EffectRecord& e : world.Effects) {
    fires += e.Looping == 1;
    shock += e.Grow == 10;
  }
  EXPECT_EQ(fires, 3);
  EXPECT_EQ(shock, 1);
  ASSERT_EQ(out.Wrecks.size(), 1u);
  EXPECT_EQ(out.Wrecks[0].Picture, 2);
  // Steps on an empty roster are harmless.
  StepWorld(world, env);
}

TEST_F(UnitStepTest, DeathMovesTheLastUnitAndRenumbersEveryIndex) {
  // Style 7 runs no AI, so the indices set here stay until the death.
  for (int n = 0; n < 6; ++n) AddUnit(world, MakeUnit(300.0f + 200 * n, 300, n % 2, 7));
  world.PlayerUnit = 5;
  world.PickedUnit = 3;
  world.Units[0].TargetTank = 5;
  world.Units[1].TargetTank = 3;
  world.Units[2].LeaderTank = 5;
  world.Units[3].HP = -5;
  WeaponSlot byPlayer = simtest::MakeWeapon();
  byPlayer.FireTank = 5;
  byPlayer.TargetTank = 3;
  byPlayer.PosX = 4000;
  byPlayer.PosY = 3000;
  byPlayer.Range = 100000;
  world.Shots.push_back(byPlayer);
  world.ObjectiveUnits = {0, 3, 5};
  const BattleUnit last = world.Units[5];
  UpdateTanks(world, env);
  ASSERT_EQ(world.Units.size(), 5u);
  EXPECT_EQ(world.Units[3].PosX, last.PosX);
  EXPECT_EQ(world.PlayerUnit, 3);
  EXPECT_EQ(world.PickedUnit, -1);
  EXPECT_EQ(world.Units[0].TargetTank, 3);
  EXPECT_EQ(world.Units[1].TargetTank, -1);
  EXPECT_EQ(world.Units[2].LeaderTank, 3);
  EXPECT_EQ(world.Shots.back().FireTank, 3);
  EXPECT_EQ(world.Shots.back().TargetTank, -1);
  EXPECT_EQ(world.ObjectiveUnits, (std::vector<int32_t>{1, -1, 3}));
}

TEST_F(UnitStepTest, TheLastUnitDyingShrinksTheRoster) {
  for (int n = 0; n < 3; ++n) AddUnit(world, MakeUnit(300.0f + 300 * n, 300, 0));
  world.Units[2].HP = -1;
  world.PlayerUnit = 2;
  UpdateTanks(world, env);
  EXPECT_EQ(world.Units.size(), 2u);
  EXPECT_EQ(world.PlayerUnit, -1);
}

TEST_F(UnitStepTest, OverlappingUnitsArePushedApartVertically) {
  AddUnit(world, MakeUnit(1000, 1000, 0));
  AddUnit(world, MakeUnit(1000, 1030, 0));  // below and overlapping
  MoveTank(world, 1);
  const BattleUnit& lower = world.Units[1];
  EXPECT_EQ(lower.PosX, 1000.0f);  // only the vertical position changes
  EXPECT_GT(lower.PosY, 1030.0f);
  EXPECT_GT(lower.StuckTime, 0.0f);
  // Blocked land where the unit would go keeps it where it is.
  world.Units[1].PosY = 1030;
  world.Units[1].StuckTime = 0;
  for (int c = 45; c <= 56; ++c)
    for (int r = 50; r <= 56; ++r) simtest::BlockCell(world, c, r);
  MoveTank(world, 1);
  EXPECT_EQ(world.Units[1].PosY, 1030.0f);
  EXPECT_GT(world.Units[1].StuckTime, 0.0f);
}

TEST_F(UnitStepTest, UnitsArePushedApartButNotThroughAWall) {
  AddUnit(world, MakeUnit(1000, 1000, 0));
  AddUnit(world, MakeUnit(1000, 1001, 0));  // centre just below the other's middle
  BattleState open = world;
  MoveTank(open, 1);
  EXPECT_EQ(open.Units[1].PosY, 1060.0f);  // out below the other's outline
  // A wall one cell thick between the two heights: the push would carry
  // the centre from row 51 over row 52 to row 54.
  simtest::BlockCell(world, 52, 52);
  MoveTank(world, 1);
  EXPECT_EQ(world.Units[1].PosY, 1001.0f);
  EXPECT_GT(world.Units[1].StuckTime, 0.0f);
}

TEST_F(UnitStepTest, TheNetworkPushesCentresToWholePixels) {
  for (int k = 1; k <= 2; ++k) AddTerrain(world, RECT{}, 9, 0);
  world.Terrains[2].Kind = 2;  // land value 1: a drift towards +x
  world.Terrains[2].Value = 0.3f;
  world.LandMask[static_cast<size_t>(BattleState::CellIndex(52, 51))] = 1;
  BattleUnit u = MakeUnit(1000.3f, 1000.2f, 0);
  u.VelocityX = -1.7f;
  AddUnit(world, u);
  BattleState campaign = world;
  CheckTerrain(campaign, 0);
  CheckTerrain(world, 0, true);
  const float cx = world.Units[0].PosX + 40, cy = world.Units[0].PosY + 30;
  EXPECT_EQ(cx, std::round(cx));
  EXPECT_EQ(cy, std::round(cy));
  EXPECT_NE(campaign.Units[0].PosX + 40, std::round(campaign.Units[0].PosX + 40));
}

}  // namespace
}  // namespace fw
