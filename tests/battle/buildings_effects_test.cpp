#include <gtest/gtest.h>

#include "battle/masks.hpp"
#include "battle/sim_math.hpp"
#include "tests/battle/sim_world.hpp"

namespace fw {
namespace {

struct BuildingsTest : simtest::SimTest<99> {

  BuildingInstance& Add(int32_t x, int32_t y, int16_t hpFull = 500, int32_t width = 100) {
    BuildingInstance b;
    b.TypeKey = "B" + std::to_string(world.Builds.size());
    b.X = x;
    b.Y = y;
    b.Footprint = RECT{0, 0, width, width};
    b.DrawX = RoundL(x - width / 2.0);
    b.DrawY = RoundL(y - width * 0.75);
    b.HP = b.HPFull = hpFull;
    b.FrameCount = 4;
    world.Builds.push_back(b);
    PutBMask(world, b.DrawX, b.DrawY, b.Footprint, 1);
    return world.Builds.back();
  }
  int Fires() const {
    int n = 0;
    for (const EffectRecord& e : world.Effects) n += e.Looping == 1;
    return n;
  }
};

TEST_F(BuildingsTest, ShieldRegeneratesPastFullOnceAndAnimationWraps) {
  BuildingInstance& b = Add(1000, 1000);
  b.ShieldFull = 10;
  b.Shield = 9.5f;
  b.ShieldSpeed = 1.0f;
  b.AnimSpeed = 0.2f;
  b.Frame = 3.9f;
  UpdateBuildings(world, env);
  EXPECT_EQ(world.Builds[0].Shield, 10.5f);
  EXPECT_EQ(world.Builds[0].Frame, 0.0f);  // 4.1 reaches the frame count: back to 0, not 0.1
  UpdateBuildings(world, env);
  EXPECT_EQ(world.Builds[0].Shield, 10.5f);
  world.Builds[0].AnimSpeed = 0;
  world.Builds[0].Frame = 1.5f;
  UpdateBuildings(world, env);
  EXPECT_EQ(world.Builds[0].Frame, 1.5f);
}

TEST_F(BuildingsTest, DestroyedBelowZeroNotAtZero) {
  Add(1000, 1000).HP = 0;
  UpdateBuildings(world, env);
  EXPECT_EQ(world.Builds.size(), 1u);
  world.Builds[0].HP = -1;
  UpdateBuildings(world, env);
  // The only building leaves one empty record, which is never destroyed.
  ASSERT_EQ(world.Builds.size(), 1u);
  EXPECT_EQ(world.Builds[0].HP, 0);
  EXPECT_EQ(world.Builds[0].TypeKey, "");
  EXPECT_EQ(world.ScreenShake, 60.0f);
  EXPECT_EQ(CheckBMask(world, 1000, 980), 0);  // no longer blocks
  UpdateBuildings(world, env);
  EXPECT_EQ(world.Builds.size(), 1u);
}

TEST_F(BuildingsTest, SmallAndBigBuildingsFallDifferently) {
  Add(1000, 1000, 999).HP = -1;
  UpdateBuildings(world, env);
  EXPECT_EQ(world.Debris.size(), 1u + 5u);
  EXPECT_EQ(Fires(), 3);
  world = simtest::EmptyWorld();
  Add(1000, 1000, 1000).HP = -1;
  UpdateBuildings(world, env);
  EXPECT_EQ(world.Debris.size(), 1u + 11u);
  EXPECT_EQ(Fires(), 5);
  // The network battle's buildings do not burn.
  world = simtest::EmptyWorld();
  rules.Variant.BuildingFires = false;
  Add(1000, 1000, 1000).HP = -1;
  UpdateBuildings(world, env);
  EXPECT_EQ(Fires(), 0);
  EXPECT_EQ(world.Debris.size(), 1u + 11u);
}

TEST_F(BuildingsTest, DestroyingKeepsTheOrderAndMarksObjectives) {
  for (int n = 0; n < 5; ++n) Add(500 + 400 * n, 1000);
  world.ObjectiveBuilds = {0, 2, 4, 1};
  world.Builds[2].HP = -3;
  UpdateBuildings(world, env);
  ASSERT_EQ(world.Builds.size(), 4u);
  EXPECT_EQ(world.Builds[2].TypeKey, "B3");
  EXPECT_EQ(world.Builds[3].TypeKey, "B4");
  EXPECT_EQ(world.ObjectiveBuilds, (std::vector<int32_t>{1, -1, 3, 1}));
}

TEST_F(BuildingsTest, DebrisWaitsHopsAndEnds) {
  // Life 10, ageing 0.2, age -1: waits 5 units, hops for 100, then ends.
  WeaponSlot p;
  p.Energy = 10;
  p.Speed = 0.2f;
  p.FireCharge = -1;
  p.Agile = 3;
  p.VelocityX = 1;
  p.PosX = 1000;
  p.PosY = 1000;
  p.FirePower = 20;
  world.Debris.push_back(p);
  int frames = 0, firstMove = -1;
  while (world.Debris.size() > 1 && frames < 1000) {
    const float x = world.Debris.back().PosX;
    UpdateDebris(world, env);
    ++frames;
    if (firstMove < 0 && world.Debris.size() > 1 && world.Debris.back().PosX != x) firstMove = frames;
  }
  EXPECT_NEAR(firstMove, 6, 1);  // after five waiting frames (float steps of 0.2)
  EXPECT_NEAR(frames, 105, 1);
  EXPECT_EQ(world.Debris[0].Energy, 0.0f);  // the empty record stays put
  EXPECT_GT(world.Effects.size(), 10u);     // trail explosions every fifth moving frame
  EXPECT_FALSE(out.EffectSounds.empty());
}

TEST_F(BuildingsTest, TheEmptyDebrisRecordNeverMoves) {
  world.Debris[0].PosX = 5;
  for (int n = 0; n < 10; ++n) UpdateDebris(world, env);
  ASSERT_EQ(world.Debris.size(), 1u);
  EXPECT_EQ(world.Debris[0].PosX, 5.0f);
}

struct EffectsTest : BuildingsTest {};

TEST_F(EffectsTest, SpawnersFillTheirRecords) {
  EXPECT_EQ(GetEXPIndex(world), 1);
  EXPECT_EQ(GetEXPIndex(world), 2);
  world.Effects.resize(1);
  SpawnExplosion(world, 100, 200, 0, 0, 0.5f, 40, 7, 0);
  const EffectRecord& e = world.Effects[1];
  EXPECT_EQ(e.ImageIndex, 4);  // EXP04
  EXPECT_EQ(e.DrawOffsetX, -20.0f);
  EXPECT_EQ(e.DrawOffsetY, -20.0f);
  EXPECT_EQ(e.DrawRect, (RECT{0, 0, 40, 40}));
  EXPECT_EQ(e.FrameTotal, 30);
  EXPECT_EQ(e.Tag, 7);
  SpawnExplosion(world, 0, 0, 0, 0, 1, 10, 0, 7);
  SpawnExplosion(world, 0, 0, 0, 0, 1, 10, 0, 5);
  SpawnFog(world, 0, 0, 0, 0, 1, 10, 1);
  SpawnFog(world, 0, 0, 0, 0, 1, 10, 2);
  SpawnFog(world, 0, 0, 0, 0, 1, 10, 3);
  SpawnEngineFx(world, 0, 0, 0, 0, 1, 10, 9);
  SpawnShockwave(world, 0, 0, 0, 0, 1, 12, 10);
  std::vector<int32_t> pictures;
  for (size_t i = 2; i < world.Effects.size(); ++i) pictures.push_back(world.Effects[i].ImageIndex);
  EXPECT_EQ(pictures, (std::vector<int32_t>{4, 5, 6, 7, 6, 8, 9}));
  EXPECT_EQ(world.Effects.back().Grow, 12);
  SpawnFire(world, 10, 20, 5, 6, 60, 80, 250, 0);
  const EffectRecord& f = world.Effects.back();
  EXPECT_EQ(f.ImageIndex, 10);
  EXPECT_EQ(f.Looping, 1);
  EXPECT_EQ(f.Life, 250.0f);
  EXPECT_LE(f.FramePos, 0.0f);
  EXPECT_GE(f.FrameSpeed, 0.2f);
  EXPECT_EQ(f.DrawOffsetX, 5 - 30.0f);
  EXPECT_EQ(f.DrawOffsetY, 6 - 40.0f);
  SpawnDebris(world, 0, 0, 2, 0.2f, 4, 20, 80, 4);
  EXPECT_EQ(world.Debris.size(), 1u + 5u);
}

TEST_F(EffectsTest, WrecksArePaintedIntoEveryTileTheyCover) {
  PutBrokenTank(world, out, 1300, 970, 80);  // hx 650, hy 485: tile (1, 1) at (-10, -5, 30, 15)
  using W = RecordingBattleOutput::Wreck;
  std::vector<W> expected = {{0, 0, 2, 1, RECT{630, 475, 670, 495}},
                             {1, 0, 2, 1, RECT{-10, 475, 30, 495}},
                             {0, 1, 2, 1, RECT{630, -5, 670, 15}},
                             {1, 1, 2, 1, RECT{-10, -5, 30, 15}}};
  EXPECT_EQ(out.Wrecks, expected);
  out.Wrecks.clear();
  PutBrokenTank(world, out, 1000, 1000, 80);  // well inside tile (0, 1)
  ASSERT_EQ(out.Wrecks.size(), 1u);
  EXPECT_EQ(out.Wrecks[0], (W{0, 1, 2, 1, RECT{480, 10, 520, 30}}));
  // Past the map's tiles, or left of the first, nothing is painted there.
  out.Wrecks.clear();
  PutBrokenTank(world, out, 5119, 3839, 80);
  EXPECT_EQ(out.Wrecks.size(), 1u);
  out.Wrecks.clear();
  PutBrokenBuild(world, out, 0, 0, 160);
  ASSERT_EQ(out.Wrecks.size(), 1u);
  EXPECT_EQ(out.Wrecks[0].Picture, 1);
  EXPECT_GE(out.Wrecks[0].Cell, 1);
  EXPECT_LE(out.Wrecks[0].Cell, 4);
  EXPECT_EQ(out.Wrecks[0].Dest, (RECT{-20, -10, 20, 10}));
}

TEST_F(EffectsTest, EffectsAgeGrowAndLeave) {
  SpawnExplosion(world, 0, 0, 0, 0, 10.0f, 40, 0, 1);  // 3 frames of 10
  SpawnShockwave(world, 0, 0, 0, 0, 1.0f, 10, 0);
  SpawnFire(world, 0, 0, 0, 0, 60, 60, 3.0f, 0);
  int drawn = 0;
  StepEffects(world, [&](const EffectRecord&, float, float) { ++drawn; });
  EXPECT_EQ(drawn, 0);  // new effects show one frame after their spawn
  EXPECT_EQ(world.Effects[2].DrawRect, (RECT{0, 0, 10, 10}));
  StepEffects(world, [&](const EffectRecord&, float, float) { ++drawn; });
  EXPECT_GE(drawn, 2);
  for (int n = 0; n < 40; ++n) StepEffects(world);
  ASSERT_EQ(world.Effects.size(), 1u);
  EXPECT_EQ(world.Effects[0], EffectRecord{});
}

}  // namespace
}  // namespace fw
