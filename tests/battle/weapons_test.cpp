#include <gtest/gtest.h>

#include "tests/battle/sim_world.hpp"

namespace fw {
namespace {

using simtest::AddUnit;
using simtest::MakeUnit;
using simtest::MakeWeapon;

struct WeaponsTest : simtest::SimTest<4242> {

  // A shot of unit `shooter` standing still at (x, y).
  int32_t ShotAt(float x, float y, int32_t shooter, int16_t power = 30) {
    WeaponSlot s = MakeWeapon(power, 1000, 0.0f);
    s.PosX = x;
    s.PosY = y;
    s.FireTank = shooter;
    s.TargetTank = -1;
    world.Shots.push_back(s);
    return static_cast<int32_t>(world.Shots.size() - 1);
  }
};

TEST_F(WeaponsTest, WeaponClassByNameFirstMatchInTableOrder) {
  WhichWeaponIndex(world, "Plasma Thrower");
  EXPECT_EQ(world.WeaponClassIndex, 0);
  WhichWeaponIndex(world, "heavy laser mk2");
  EXPECT_EQ(world.WeaponClassIndex, 1);
  WhichWeaponIndex(world, "Rocket Missile");
  EXPECT_EQ(world.WeaponClassIndex, 3);
  WhichWeaponIndex(world, "Plasma Thrower");
  EXPECT_EQ(world.WeaponClassIndex, 3);
  WhichWeaponIndex(world, "FLAME GUN");
  EXPECT_EQ(world.WeaponClassIndex, 6);
}

TEST_F(WeaponsTest, ChargingFiringAmmoAndEnergy) {
  BattleUnit u = MakeUnit(1000, 1000, 0);
  u.Fire = 1;
  WeaponSlot empty = MakeWeapon();
  empty.Energy = 0;
  empty.Ammo = 0;
  empty.FireCharge = 1.0f;
  WeaponSlot dear = MakeWeapon();
  dear.Energy = 10;
  dear.FireCharge = 1.0f;
  u.Weapon = {empty, dear};
  u.Energy = 9;
  AddUnit(world, u);
  RefreshWeapon(world, env, 0);
  // An empty magazine spends the charge but fires nothing; too little
  // energy keeps the charge for later.
  EXPECT_EQ(world.Units[0].Weapon[0].FireCharge, 0.0f);
  EXPECT_GE(world.Units[0].Weapon[1].FireCharge, 1.0f);
  EXPECT_EQ(world.Shots.size(), 1u);
  world.Units[0].Energy = 10;
  RefreshWeapon(world, env, 0);
  EXPECT_EQ(world.Shots.size(), 2u);
  EXPECT_EQ(world.Units[0].Energy, 0.0f);
  EXPECT_EQ(world.Shots[1].FireTank, 0);
  // Ammunition counts down.
  world.Units[0].Weapon[0].Ammo = 2;
  world.Units[0].Weapon[0].FireCharge = 1.0f;
  RefreshWeapon(world, env, 0);
  EXPECT_EQ(world.Units[0].Weapon[0].Ammo, 1);
  EXPECT_EQ(world.Shots.size(), 3u);
}

TEST_F(WeaponsTest, LaunchPlacesTheMuzzleAndAims) {
  BattleUnit u = MakeUnit(1000, 1000, 0, 2);
  u.HeadAngle = 0;
  AddUnit(world, u);
  AddUnit(world, MakeUnit(1500, 1100, 1));
  world.Units[0].TargetTank = 1;
  WeaponSlot w = MakeWeapon(10, 500, 8.0f, 3);
  LaunchAmmo(world, env, 0, w);
  const WeaponSlot& s = world.Shots.back();
  EXPECT_NEAR(s.PosX, 1000 + 40 + 20, 1e-3);  // on the ellipse, ahead
  EXPECT_NEAR(s.PosY, 1000 + 30 - 10, 1e-3);  // 10 above the centre
  EXPECT_NEAR(s.VelocityX, 8.0f, 1e-5);
  EXPECT_EQ(s.TargetX, 1540);  // an AI's steering shot aims at its target's centre
  EXPECT_EQ(s.TargetY, 1130);
  EXPECT_EQ(s.TargetTank, 1);
  // The player's shots home on the picked unit and aim at the cursor.
  world.PlayerUnit = 0;
  world.PickedUnit = 1;
  world.Units[0].Style = 0;
  world.MouseX = 100;
  world.MouseY = 50;
  world.ScrollX = 640;
  world.ScrollY = 480;
  LaunchAmmo(world, env, 0, w);
  EXPECT_EQ(world.Shots.back().TargetX, 740);
  EXPECT_EQ(world.Shots.back().TargetY, 530);
  EXPECT_EQ(world.Shots.back().TargetTank, 1);
  // The network battle aims where the shooter says.
  rules.Variant.AimFromUnit = true;
  world.Units[0].AimX = 77.4f;
  world.Units[0].AimY = 88.5f;
  LaunchAmmo(world, env, 0, w);
  EXPECT_EQ(world.Shots.back().TargetX, 77);
  EXPECT_EQ(world.Shots.back().TargetY, 88);
}

TEST_F(WeaponsTest, HitsTakeShieldThenHullAndNeverTheShooter) {
  AddUnit(world, MakeUnit(1000, 1000, 0));
  AddUnit(world, MakeUnit(1000, 1000, 0));  // same team, same place
  world.Units[1].Shield = 10;
  ShotAt(1040, 1030, 0);
  UpdateAmmo(world, env);
  EXPECT_EQ(world.Units[0].HP, 100);
  EXPECT_EQ(world.Units[1].Shield, 0.0f);
  EXPECT_EQ(world.Units[1].HP, 80);
  EXPECT_EQ(world.Units[1].HPVisible, 100);
  EXPECT_EQ(world.Shots.size(), 1u);  // gone; only the empty record stays
  // The hit sounds play, the explosion and shield flash show.
  std::vector<int32_t> effects;
  for (auto& [e, v] : out.EffectSounds) effects.push_back(e);
  EXPECT_EQ(effects, (std::vector<int32_t>{200, 62}));
  EXPECT_EQ(world.Effects.size(), 3u);
}

TEST_F(WeaponsTest, AKillIsBookedOnceForAnEnemyOfThePlayer) {
  AddUnit(world, MakeUnit(1000, 1000, 0));  // the player
  AddUnit(world, MakeUnit(2000, 1000, 1));  // enemy
  AddUnit(world, MakeUnit(3000, 1000, 0));  // friend
  world.PlayerUnit = 0;
  for (int32_t u : {1, 2}) {
    world.Units[static_cast<size_t>(u)].Shield = 0;
    world.Units[static_cast<size_t>(u)].HP = 20;
  }
  // A hit leaving exactly 0 books nothing; three more below 0, one kill.
  ShotAt(2040, 1030, 0, 20);
  UpdateAmmo(world, env);
  EXPECT_EQ(world.Units[1].HP, 0);
  EXPECT_EQ(world.KillTank, 0);
  for (int n = 0; n < 3; ++n) ShotAt(2040, 1030, 0, 5);
  UpdateAmmo(world, env);
  EXPECT_EQ(world.Units[1].HP, -15);
  EXPECT_EQ(world.KillTank, 1);
  // The player's own side counts nothing.
  ShotAt(3040, 1030, 0, 50);
  UpdateAmmo(world, env);
  EXPECT_LT(world.Units[2].HP, 0);
  EXPECT_EQ(world.KillTank, 1);
  // Once the player's unit is gone (its shots then name no shooter), no
  // kill is booked for the shots still flying.
  world.Units[1].HP = 5;
  world.PlayerUnit = -1;
  ShotAt(2040, 1030, -1, 50);
  UpdateAmmo(world, env);
  EXPECT_EQ(world.KillTank, 1);
}

TEST_F(WeaponsTest, TheNetworkRecordsTheLastKillingShooter) {
  struct NetRules : BattleRules {
    void KillBooked(BattleState&, int32_t, int32_t) override {}
    void FatalHit(BattleState& w, int32_t shooter, int32_t victim) override {
      w.Units[static_cast<size_t>(victim)].TargetTank = shooter;
    }
  } net;
  BattleEnv netEnv{out, net};
  AddUnit(world, MakeUnit(1000, 1000, 0));
  AddUnit(world, MakeUnit(2000, 1000, 1));
  AddUnit(world, MakeUnit(3000, 1000, 1));
  world.Units[2].Shield = 0;
  world.Units[2].HP = 5;
  ShotAt(3040, 1030, 1, 10);
  ShotAt(3040, 1030, 0, 10);  // the hit pass runs from the last shot down
  UpdateAmmo(world, netEnv);
  EXPECT_EQ(world.Units[2].TargetTank, 1);
}

TEST_F(WeaponsTest, BlockedLandEndsShotsButRecordZeroQuietly) {
  simtest::BlockCell(world, 0, 0);
  simtest::BlockCell(world, 10, 10);
  world.Shots[0] = MakeWeapon();
  world.Shots[0].PosX = 5;
  world.Shots[0].PosY = 5;
  world.Shots[0].FireTank = -1;
  ShotAt(210, 210, -1);
  UpdateAmmo(world, env);
  EXPECT_EQ(world.Shots.size(), 1u);
  EXPECT_EQ(world.Effects.size(), 2u);  // one explosion: the shot at index 1
  // Without the shot switch (the network battle) shots fly over it.
  world.ShotSwitch = false;
  ShotAt(210, 210, -1);
  UpdateAmmo(world, env);
  // (The empty record 0 went in the movement pass; the shot took its place.)
  ASSERT_EQ(world.Shots.size(), 1u);
  EXPECT_EQ(world.Shots[0].PosX, 210.0f);
}

TEST_F(WeaponsTest, BuildingOutlineIsALensInTheFootprint) {
  BuildingInstance b;
  b.X = 1000;
  b.Y = 1000;
  b.Footprint = RECT{0, 0, 160, 120};
  b.DrawX = 920;
  b.DrawY = 910;
  b.HP = 500;
  b.HPFull = 500;
  b.Shield = 10;
  world.Builds.push_back(b);
  // Stamp the cells under the shot points by hand.
  for (int c = 40; c <= 60; ++c)
    for (int r = 40; r <= 60; ++r) world.BuildMask[static_cast<size_t>(BattleState::CellIndex(c, r))] = 1;
  ShotAt(1000, 1000, -1, 30);  // the middle
  ShotAt(925, 962, -1, 30);    // the box's corner, outside the lens
  UpdateAmmo(world, env);
  EXPECT_EQ(world.Builds[0].HP, 480);
  EXPECT_EQ(world.Builds[0].HPVisible, 100);
  ASSERT_EQ(world.Shots.size(), 1u);  // the corner shot flies on, in slot 0 now
  EXPECT_EQ(world.Shots[0].PosX, 925.0f);
  std::vector<int32_t> effects;
  for (auto& [e, v] : out.EffectSounds) effects.push_back(e);
  ASSERT_EQ(effects.size(), 2u);
  EXPECT_GE(effects[0], 104);
  EXPECT_LE(effects[0], 106);
  EXPECT_EQ(effects[1], 61);
}

TEST_F(WeaponsTest, NearestEnemyIsCappedAt600AndTiesGoToTheFirst) {
  AddUnit(world, MakeUnit(1000, 1000, 0));
  AddUnit(world, MakeUnit(1650, 1000, 1));
  EXPECT_EQ(FindNearestTank(world, 1000, 1000, 1000, 0), -1);
  AddUnit(world, MakeUnit(1000, 1300, 1));
  AddUnit(world, MakeUnit(1000, 700, 1));
  EXPECT_EQ(FindNearestTank(world, 1000, 1000, 1000, 0), 2);
  EXPECT_EQ(FindNearestTank(world, 1000, 1000, 300, 0), -1);  // strictly nearer
}

TEST_F(WeaponsTest, SteeringShotsTurnTheShortWayAndStraighten) {
  WeaponSlot s = MakeWeapon(10, 1000, 5.0f, 3);
  s.HeadAngle = 350;
  s.Agile = 4;
  s.PosX = 1000;
  s.PosY = 1000;
  const CosSinPair& cs = CosSinAt(10);
  s.TargetX = RoundL(1000 + 500 * cs.Cos);
  s.TargetY = RoundL(1000 + 500 * cs.Sin);
  world.Shots.push_back(s);
  EXPECT_EQ(SteerAmmo(world, 1), 0);
  EXPECT_NEAR(world.Shots[1].HeadAngle, 354.0f, 1e-3);
  for (int n = 0; n < 4; ++n) SteerAmmo(world, 1);
  EXPECT_EQ(SteerAmmo(world, 1), 1);
  EXPECT_NEAR(world.Shots[1].HeadAngle, 10.0f, 0.2);
  // Path 3 becomes straight once on target; its range runs out.
  world.Shots[1].Range = 0;
  UpdateAmmo(world, env);
  EXPECT_EQ(world.Shots.size(), 1u);
}

TEST_F(WeaponsTest, HomingShotsFollowTheRenumberedTarget) {
  AddUnit(world, MakeUnit(1000, 1000, 0, 7));
  AddUnit(world, MakeUnit(2000, 1000, 1, 7));
  AddUnit(world, MakeUnit(3000, 2000, 1, 7));
  WeaponSlot s = MakeWeapon(10, 5000, 5.0f, 2);
  s.PosX = 500;
  s.PosY = 500;
  s.FireTank = 0;
  s.TargetTank = 2;
  world.Shots.push_back(s);
  world.Units[1].HP = -1;  // dies; unit 2 moves into slot 1
  UpdateTanks(world, env);
  ASSERT_EQ(world.Units.size(), 2u);
  EXPECT_EQ(world.Shots.back().TargetTank, 1);
  UpdateAmmo(world, env);
  EXPECT_EQ(world.Shots.back().TargetX, 3040);
  EXPECT_EQ(world.Shots.back().TargetY, 2030);
  // Its target destroyed, the shot flies on to the point it was steering to.
  world.Units[1].HP = -1;
  UpdateTanks(world, env);
  EXPECT_EQ(world.Shots.back().TargetTank, -1);
  UpdateAmmo(world, env);
  EXPECT_EQ(world.Shots.back().Path, 3);
}

TEST_F(WeaponsTest, SeekingShotsKeepTheirAimWhenTheShooterIsGone) {
  AddUnit(world, MakeUnit(1000, 1000, 0, 7));
  WeaponSlot s = MakeWeapon(10, 5000, 5.0f, 4);
  s.PosX = 500;
  s.PosY = 500;
  s.FireTank = -1;
  s.TargetX = 900;
  s.TargetY = 500;
  s.TargetTank = 7;
  world.Shots.push_back(s);
  UpdateAmmo(world, env);
  EXPECT_EQ(world.Shots.back().TargetTank, 7);
  EXPECT_EQ(world.Shots.back().TargetX, 900);
}

}  // namespace
}  // namespace fw
