// The building step (shields, animation, destruction) and the debris step.
#include <cmath>

#include "battle/battle_sim.hpp"
#include "battle/masks.hpp"
#include "battle/roster.hpp"
#include "battle/sim_math.hpp"

namespace fw {
namespace {

constexpr int32_t kExplosionSounds = 101;  // 101..107 for debris
constexpr int16_t kBigBuilding = 1000;

void DestroyBuilding(BattleState& world, BattleEnv& env, int32_t b) {
  env.Rules.BuildingDestroyed(world, b);
  // The mission's objective buildings follow; a battle without objectives
  // keeps an empty list, which this leaves as it is.
  if (!world.ObjectiveBuilds.empty()) world.ObjectiveBuilds[0] = CheckMisOBJ(world, b);
  const BuildingInstance bi = world.Builds[static_cast<size_t>(b)];
  const int32_t w = bi.Footprint.Right;
  const int32_t h = bi.Footprint.Bottom;
  PutBrokenBuild(world, env.Out, bi.X, bi.Y, w);
  const bool big = bi.HPFull >= kBigBuilding;
  if (big) {
    SpawnDebris(world, bi.X, bi.Y, 1.0f, 0.2f, 10, 40.0f, 180, 4.0f);
    SpawnShockwave(world, bi.X, bi.Y, 0, 0, 1.0f, 20, 200);
  } else {
    SpawnDebris(world, bi.X, bi.Y, 2.0f, 0.2f, 4, 20.0f, 80, 4.0f);
    SpawnShockwave(world, bi.X, bi.Y, 0, 0, 1.0f, 10, 0);
  }
  if (env.Rules.Variant.BuildingFires) {
    for (int n = big ? 5 : 3; n > 0; --n) {
      const float r1 = plat::Rnd(), r2 = plat::Rnd(), r3 = plat::Rnd();
      SpawnFire(world, bi.X, bi.Y, RoundL((r1 - 0.5) * w), RoundL((h - w / 2.0) * (r2 - 0.5)), 60, 80,
                r3 * 200.0f + 200.0f, 0);
    }
  }
  world.ScreenShake = 60.0f;
  PutBMask(world, bi.DrawX, bi.DrawY, bi.Footprint, -1);
  // Buildings keep their order: the objective lists hold their indices.
  if (world.Builds.size() > 1) world.Builds.erase(world.Builds.begin() + b);
  else world.Builds.assign(1, BuildingInstance{});
}

}  // namespace

void UpdateBuildings(BattleState& world, BattleEnv& env) {
  const float f = world.FrameFactor;
  for (int32_t b = static_cast<int32_t>(world.Builds.size()) - 1; b >= 0; --b) {
    if (static_cast<size_t>(b) >= world.Builds.size()) continue;
    BuildingInstance& bi = world.Builds[static_cast<size_t>(b)];
    // No upper clamp: the last step may pass the full shield.
    if (bi.Shield < static_cast<float>(bi.ShieldFull)) bi.Shield += bi.ShieldSpeed * f;
    if (bi.AnimSpeed > 0.0f) {
      bi.Frame += f * bi.AnimSpeed;
      if (bi.Frame >= bi.FrameCount) bi.Frame = 0.0f;
      if (bi.Frame < 0.0f) bi.Frame = 0.0f;
    }
    // Where another copy of the battle decides whether a building falls,
    // this one keeps it standing until told.
    if (bi.HP < 1 && !env.Rules.BuildingMayFall(world, b)) bi.HP = 1;
    if (bi.HP < 0) DestroyBuilding(world, env, b);
  }
}

void UpdateDebris(BattleState& world, BattleEnv& env) {
  plat::Randomize();
  const float f = world.FrameFactor;
  for (int32_t d = static_cast<int32_t>(world.Debris.size()) - 1; d >= 0; --d) {
    if (static_cast<size_t>(d) >= world.Debris.size()) continue;
    WeaponSlot& p = world.Debris[static_cast<size_t>(d)];
    if (p.Energy <= 0.0f) continue;  // the empty record
    p.FireCharge += p.Speed * f;
    if (plat::Int(p.FireCharge) == 0) SoundAt(world, env.Out, RoundL(p.PosX), RoundL(p.PosY), kExplosionSounds, 7);
    if (p.FireCharge > 0.0f) {
      p.PosX += p.VelocityX * f;
      // A hop: up during the first life, down again during the second.
      const int32_t a = RoundL(p.FireCharge / p.Energy * 180.0) % 360;
      p.Ammo = static_cast<int16_t>((p.Ammo + 1) % 5);
      p.PosY += (p.VelocityY - CosSinAt(a).Sin * p.Agile) * f;
      if (p.Ammo == 0) {
        // Every fifth moving frame leaves a small explosion behind.
        const int32_t x = RoundL(p.PosX), y = RoundL(p.PosY);
        const int16_t size = p.FirePower;
        const uint8_t kind = static_cast<uint8_t>(3 + plat::Int(plat::Rnd() * 3.0));
        SpawnExplosion(world, x, y, 0, 0, 0.5f, size, 0, kind);
      }
    }
    WeaponSlot& q = world.Debris[static_cast<size_t>(d)];
    if (q.FireCharge >= 2.0f * q.Energy) {
      SoundAt(world, env.Out, RoundL(q.PosX), RoundL(q.PosY), kExplosionSounds, 7);
      RemoveRecord(world.Debris, d);
    }
  }
}

}  // namespace fw
