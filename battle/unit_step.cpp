// The unit step: controls, weapons, turning, throttle, speed, energy,
// movement over the land, separation from other units, and death.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include "battle/battle_sim.hpp"
#include "battle/masks.hpp"
#include "battle/roster.hpp"
#include "battle/sim_math.hpp"
#include "battle/unit_grid.hpp"

namespace fw {
namespace {

constexpr double kSeparationPi = 3.141592653589793;
constexpr int32_t kExplosionSounds = 101;  // 101..103
// How far a unit may be pushed before its gathered neighbours are gathered
// again.
constexpr double kNearSlack = 32.0;

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

// Unit separation against the other units' boxes as they stand (the
// caller keeps `boxes` in step with the roster). With `cells`, only the
// units near u are tested, in the same order a scan of the roster takes.
void MoveTankAmong(BattleState& world, int32_t i, const std::vector<UnitBox>& boxes, const UnitCells* cells) {
  const int32_t count = static_cast<int32_t>(world.Units.size());
  if (i < 0 || i >= count) return;
  BattleUnit& u = world.Units[static_cast<size_t>(i)];
  const int32_t wu = u.DescRECT.Right;
  const int32_t hu = u.DescRECT.Bottom;
  // Separates u from unit j; true when u was moved.
  const auto apart = [&](int32_t j) {
    const UnitBox& r = boxes[static_cast<size_t>(j)];
    const int64_t w = r.Right - r.Left;
    const int64_t h = r.Bottom - r.Top;
    const double x = static_cast<double>(u.PosX) + u.CenterX - static_cast<double>(r.Left);
    const double y = static_cast<double>(u.PosY) + u.CenterY - static_cast<double>(r.Top);
    // Far apart (the usual case) is told before any rounding.
    if (x < -wu - 1.0 || y < -hu - 1.0 || x > w + wu + 1.0 || y > h + hu + 1.0) return false;
    const int64_t rx = RoundL(x), ry = RoundL(y);
    if (rx < -wu || rx > w + wu || ry < -hu || ry > h + hu) return false;
    u.StuckTime += world.FrameFactor;
    // Which corner of u's box reaches into the other unit's box.
    const bool leftHalf = x < w / 2.0;
    const bool topHalf = y < h / 2.0;
    const double cornerX = leftHalf ? x + u.CenterX : x - u.CenterX;
    const double cornerY = topHalf ? y + u.CenterY : y - u.CenterY;
    const int64_t px0 = RoundL(cornerX + r.Left), py0 = RoundL(cornerY + r.Top);
    if (px0 < r.Left || px0 > r.Right || py0 < r.Top || py0 > r.Bottom || w == 0) return false;
    // The other unit's ground outline is a lens inside its box; d is the
    // centre height at which u's box just touches it from above (top half)
    // or below.
    const double s = std::sin(x / static_cast<double>(w) * kSeparationPi);
    const double d = topHalf ? (1.0 - s) * h / 2.0 - u.CenterY : h + u.CenterY - (1.0 - s) * h / 2.0;
    const int32_t px = RoundL(x + r.Left);
    const int32_t py = RoundL(d + r.Top);
    if (CheckBMask(world, px, py) != 0 || CheckMapMask(world, px, py) == kBlockedLand) return false;
    if (!(topHalf ? y > d : y < d)) return false;
    // Pushed apart, a unit still may not pass through a wall to get there.
    const float centreX = u.PosX + u.CenterX;
    const float fromY = u.PosY + u.CenterY;
    const float toY = static_cast<float>(static_cast<double>(r.Top) + d);
    if (PushedTo(world, false, fromY, toY, centreX) != toY) return false;
    u.PosY = static_cast<float>(static_cast<double>(r.Top) + d - u.CenterY);
    return true;
  };
  // A cheap test on whole numbers that lets through every unit apart()
  // could act on (its own far test, widened by a pixel for rounding); the
  // bounds follow u as it is pushed.
  int64_t nearLeft = 0, nearRight = 0, nearTop = 0, nearBottom = 0;
  const auto follow = [&] {
    const double cx = static_cast<double>(u.PosX) + u.CenterX, cy = static_cast<double>(u.PosY) + u.CenterY;
    if (std::isnan(cx) || std::isnan(cy)) {  // apart() decides such a unit by itself
      nearLeft = nearTop = std::numeric_limits<int64_t>::min();
      nearRight = nearBottom = std::numeric_limits<int64_t>::max();
      return;
    }
    const auto whole = [](double v) {
      return static_cast<int64_t>(std::clamp(std::floor(v), -4e18, 4e18));
    };
    nearLeft = whole(cx - wu - 2.0);
    nearRight = whole(cx + wu + 2.0) + 1;
    nearTop = whole(cy - hu - 2.0);
    nearBottom = whole(cy + hu + 2.0) + 1;
  };
  follow();
  const auto maybeNear = [&](int32_t j) {
    const UnitBox& r = boxes[static_cast<size_t>(j)];
    return (r.Left <= nearRight) & (r.Right >= nearLeft) & (r.Top <= nearBottom) & (r.Bottom >= nearTop);
  };
  const auto push = [&](int32_t j) {
    if (!apart(j)) return false;
    follow();
    return true;
  };
  // A plain scan of the roster, from the highest index down; it takes u's
  // position after each push. Where most of the roster is near u anyway
  // (a crowd on one screen) it beats gathering the neighbours.
  const auto scanAll = [&] {
    for (int32_t j = count - 1; j >= 0; --j)
      if (maybeNear(j) && j != i) push(j);
  };
  if (!cells) {
    // The plain definition, every unit in turn; a small roster is not worth
    // more.
    for (int32_t j = count - 1; j >= 0; --j)
      if (j != i) apart(j);
    return;
  }
  const double margin = cells->MaxOffset() + 2.0 + kNearSlack;
  const auto window = [&](auto&& f) {
    const double cx = static_cast<double>(u.PosX) + u.CenterX, cy = static_cast<double>(u.PosY) + u.CenterY;
    cells->ForEachIn(cx - cells->MaxWidth() - wu - margin, cy - cells->MaxHeight() - hu - margin, cx + wu + margin,
                     cy + hu + margin, f);
  };
  int32_t around = 0;
  window([&](int32_t) { ++around; });
  if (around * 4 >= count) return scanAll();
  // A sparse neighbourhood: only the units near u are tested, from the
  // highest index down. They are marked rather than sorted, and gathered
  // with some slack so that small pushes keep the gathered set; a push
  // farther than the slack gathers again for the indices still to come.
  static thread_local std::vector<uint32_t> mark;
  static thread_local uint32_t round = 0;
  if (mark.size() < static_cast<size_t>(count)) mark.resize(static_cast<size_t>(count), 0);
  double gx = 0.0, gy = 0.0;
  int32_t lowest = count, highest = -1;
  bool gathered = false;
  for (int32_t upper = count - 1; upper >= 0;) {
    const double cx = static_cast<double>(u.PosX) + u.CenterX, cy = static_cast<double>(u.PosY) + u.CenterY;
    if (!gathered || std::fabs(cx - gx) > kNearSlack || std::fabs(cy - gy) > kNearSlack) {
      if (++round == 0) {  // wrapped: old marks could read as current
        std::fill(mark.begin(), mark.end(), 0u);
        round = 1;
      }
      gx = cx;
      gy = cy;
      gathered = true;
      lowest = count;
      highest = -1;
      window([&](int32_t j) {
        if (j > upper || j == i) return;
        mark[static_cast<size_t>(j)] = round;
        lowest = std::min(lowest, j);
        highest = std::max(highest, j);
      });
    }
    int32_t movedAt = -1;
    for (int32_t j = std::min(highest, upper); j >= lowest; --j) {
      if (mark[static_cast<size_t>(j)] == round && maybeNear(j) && push(j)) {
        movedAt = j;
        break;
      }
    }
    if (movedAt < 0) break;
    upper = movedAt - 1;
  }
}

void UpdateTanks(BattleState& world, BattleEnv& env) {
  const float f = world.FrameFactor;
  if (f == 0.0f) return;
  const bool wrapBy360 = env.Rules.Variant.HeadingWrapsBy360;
  // Every unit's box, kept in step as units move and leave, so separating
  // one unit from the others reads a compact array.
  static thread_local std::vector<UnitBox> boxes;
  static thread_local UnitCells cells;
  boxes.clear();
  for (const BattleUnit& u : world.Units) boxes.push_back(BoxOf(u));
  const bool crowd = world.Units.size() >= kCellsFromUnits;
  if (crowd) cells.Build(world);
  const std::optional<NearestFromCells> nearest = crowd ? std::optional<NearestFromCells>(std::in_place, cells) : std::nullopt;
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
    CheckTerrain(world, i, env.Rules.Variant.WholePixelTerrain);
    KeepOnMap(world, world.Units[static_cast<size_t>(i)]);
    MoveTankAmong(world, i, boxes, crowd ? &cells : nullptr);
    boxes[static_cast<size_t>(i)] = BoxOf(world.Units[static_cast<size_t>(i)]);
    if (crowd) cells.Moved(world, i);
    if (world.Units[static_cast<size_t>(i)].HP <= 0) {
      DestroyUnit(world, env, i);
      boxes[static_cast<size_t>(i)] = boxes.back();
      boxes.pop_back();
      if (crowd) cells.Removed(i);
    }
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
  std::vector<UnitBox> boxes;
  for (const BattleUnit& u : world.Units) boxes.push_back(BoxOf(u));
  MoveTankAmong(world, i, boxes, nullptr);
}

}  // namespace fw
