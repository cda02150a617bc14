// The unit step: controls, weapons, turning, throttle, speed, energy,
// movement over the land, separation from other units, and death.
#include <algorithm>
#include <cmath>

#include "battle/battle_sim.hpp"
#include "battle/masks.hpp"
#include "battle/roster.hpp"
#include "battle/sim_math.hpp"

namespace fw {
namespace {

constexpr double kSeparationPi = 3.141592653589793;
constexpr int32_t kExplosionSounds = 101;  // 101..103

void Turn(BattleUnit& u, float f, bool wrapBy360) {
  if (u.TurnL == 1) {
    u.HeadAngle -= u.Agile * f;
    if (u.HeadAngle < 0.0f) u.HeadAngle += 360.0f;
  }
  if (u.TurnR == 1) {
    u.HeadAngle += u.Agile * f;
    if (u.HeadAngle > 360.0f) {
      if (wrapBy360) u.HeadAngle -= 360.0f;
      else u.HeadAngle = static_cast<float>(RoundL(u.HeadAngle) % 360);
    }
  }
  // A long frame can turn a quick unit by more than a whole circle; bring
  // such a heading back into 0..360 rather than let it drift off.
  if (u.HeadAngle < 0.0f || u.HeadAngle > 360.0f) {
    u.HeadAngle = std::fmod(u.HeadAngle, 360.0f);
    if (u.HeadAngle < 0.0f) u.HeadAngle += 360.0f;
  }
}

void Throttle(BattleUnit& u, float f) {
  if (u.MoveFB == 1) u.PerSpeed = RoundTo<int16_t>(std::min(u.PerSpeed + static_cast<double>(f), 100.0));
  else if (u.MoveFB == 2) u.PerSpeed = RoundTo<int16_t>(std::max(u.PerSpeed - static_cast<double>(f), -50.0));
}

void Regenerate(float& value, float full, float speed, float f) {
  if (value < full) {
    value += speed * f;
    if (value > full) value = full;
  }
}

void KeepOnMap(const BattleState& world, BattleUnit& u) {
  if (u.PosX < 1.0f) u.PosX = 1.0f;
  const float maxX = static_cast<float>(world.MapWidth - u.DescRECT.Right - 1);
  if (u.PosX > maxX) u.PosX = maxX;
  if (u.PosY < 0.0f) u.PosY = 0.0f;
  const float maxY = static_cast<float>(world.MapHeight - u.DescRECT.Bottom - 1);
  if (u.PosY > maxY) u.PosY = maxY;
}

void DestroyUnit(BattleState& world, BattleEnv& env, int32_t i) {
  env.Rules.UnitDestroyed(world, i);
  const BattleUnit& u = world.Units[static_cast<size_t>(i)];
  const int32_t cx = RoundL(static_cast<double>(u.PosX) + u.CenterX);
  const int32_t cy = RoundL(static_cast<double>(u.PosY) + u.CenterY);
  PutBrokenTank(world, env.Out, cx, cy, u.DescRECT.Right);
  SpawnDebris(world, cx, cy, 2.0f, 0.2f, 4, 20.0f, 80, 4.0f);
  for (int n = 0; n < 3; ++n) {
    const float r1 = plat::Rnd(), r2 = plat::Rnd(), r3 = plat::Rnd();
    SpawnFire(world, cx, cy, RoundL(r1 * 80.0 - 40.0), RoundL(r2 * 80.0 - 40.0), 60, 60, r3 * 100.0f + 200.0f, 0);
  }
  SpawnShockwave(world, cx, cy, 0, 0, 1.0f, 10, 0);
  SoundAt(world, env.Out, cx, cy, kExplosionSounds, 3);
  world.ScreenShake = 20.0f;
  RemoveUnit(world, i, env.Rules);
}

}  // namespace

void UpdateTanks(BattleState& world, BattleEnv& env) {
  const float f = world.FrameFactor;
  if (f == 0.0f) return;
  const bool wrapBy360 = env.Rules.Variant.HeadingWrapsBy360;
  // From the last unit down: a dead unit's slot takes the last unit, which
  // has had its step in this frame already.
  for (int32_t i = static_cast<int32_t>(world.Units.size()) - 1; i >= 0; --i) {
    if (static_cast<size_t>(i) >= world.Units.size()) continue;
    ControlTank(world, env, i);
    RefreshWeapon(world, env, i);
    BattleUnit& u = world.Units[static_cast<size_t>(i)];
    if (u.StuckTime > 0.0f) u.StuckTime = std::clamp(u.StuckTime - f / 2.0f, 0.0f, 120.0f);
    Turn(u, f, wrapBy360);
    Throttle(u, f);
    const bool moving = AccelerateTank(world, i);
    Regenerate(u.Energy, u.EnergyFull, u.EnergySpeed, f);
    Regenerate(u.Shield, u.ShieldFull, u.ShieldSpeed, f);
    if (moving) {
      const CosSinPair& cs = CosSinAt(u.HeadAngle);
      u.VelocityX = cs.Cos * u.Speed;
      u.VelocityY = cs.Sin * u.Speed / 2.0f;  // the map is drawn at half scale in y
    }
    CheckTerrain(world, i);
    KeepOnMap(world, world.Units[static_cast<size_t>(i)]);
    MoveTank(world, i);
    if (world.Units[static_cast<size_t>(i)].HP <= 0) DestroyUnit(world, env, i);
  }
}

bool AccelerateTank(BattleState& world, int32_t i) {
  BattleUnit& u = world.Units[static_cast<size_t>(i)];
  if (std::fabs(u.Speed) < 0.01f && u.PerSpeed == 0) return false;
  const float target = u.PerSpeed * u.TopSpeed / 100.0f;
  // No snapping: at a steady throttle the speed steps past the target and
  // back, frame after frame.
  if (target > u.Speed) u.Speed += u.Accelerate * world.FrameFactor;
  else u.Speed -= u.Accelerate * world.FrameFactor;
  if (u.Speed > u.TopSpeed) u.Speed = u.TopSpeed;
  if (u.Speed < -u.TopSpeed / 2.0f) u.Speed = -u.TopSpeed / 2.0f;
  return true;
}

void MoveTank(BattleState& world, int32_t i) {
  const int32_t count = static_cast<int32_t>(world.Units.size());
  if (i < 0 || i >= count) return;
  BattleUnit& u = world.Units[static_cast<size_t>(i)];
  const int32_t wu = u.DescRECT.Right;
  const int32_t hu = u.DescRECT.Bottom;
  for (int32_t j = count - 1; j >= 0; --j) {
    if (j == i) continue;
    const BattleUnit& o = world.Units[static_cast<size_t>(j)];
    RECT r;
    OffsetRECT(r, o.DescRECT, RoundL(o.PosX), RoundL(o.PosY));
    const int32_t w = r.Right - r.Left;
    const int32_t h = r.Bottom - r.Top;
    const double x = static_cast<double>(u.PosX) + u.CenterX - r.Left;
    const double y = static_cast<double>(u.PosY) + u.CenterY - r.Top;
    if (!PtInRECT(RoundL(x), RoundL(y), RECT{-wu, -hu, w + wu, h + hu})) continue;
    u.StuckTime += world.FrameFactor;
    // Which corner of u's box reaches into the other unit's box.
    const bool leftHalf = x < w / 2.0;
    const bool topHalf = y < h / 2.0;
    const double cornerX = leftHalf ? x + u.CenterX : x - u.CenterX;
    const double cornerY = topHalf ? y + u.CenterY : y - u.CenterY;
    if (!PtInRECT(RoundL(cornerX + r.Left), RoundL(cornerY + r.Top), r)) continue;
    if (w == 0) continue;
    // The other unit's ground outline is a lens inside its box; d is the
    // centre height at which u's box just touches it from above (top half)
    // or below.
    const double s = std::sin(x / w * kSeparationPi);
    const double d = topHalf ? (1.0 - s) * h / 2.0 - u.CenterY : h + u.CenterY - (1.0 - s) * h / 2.0;
    const int32_t px = RoundL(x + r.Left);
    const int32_t py = RoundL(d + r.Top);
    if (CheckBMask(world, px, py) != 0 || CheckMapMask(world, px, py) == kBlockedLand) continue;
    if (topHalf ? y > d : y < d) u.PosY = static_cast<float>(r.Top + d - u.CenterY);
  }
}

}  // namespace fw
