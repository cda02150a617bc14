// Weapons, shots and damage: charging and firing, the flight of shots and
// what they hit.
#include <algorithm>
#include <cmath>
#include <optional>

#include "battle/battle_sim.hpp"
#include "battle/masks.hpp"
#include "battle/roster.hpp"
#include "battle/sim_math.hpp"
#include "battle/unit_grid.hpp"
#include "engine/helpers.hpp"
#include "platform/runtime/strings.hpp"

namespace fw {
namespace {

constexpr int32_t kImpactSounds = 104;  // 104..106
constexpr int32_t kShieldBuilding = 61;
constexpr int32_t kShieldUnit = 62;
constexpr int32_t kHit = 200;

bool ValidUnit(const BattleState& world, int32_t i) { return i >= 0 && static_cast<size_t>(i) < world.Units.size(); }

void SetVelocityFromHeading(WeaponSlot& s) {
  const CosSinPair& cs = CosSinAt(s.HeadAngle);
  s.VelocityX = cs.Cos * s.Speed;
  s.VelocityY = cs.Sin * s.Speed;  // shots fly at full scale in y, unlike units
}

void AimAtUnitCentre(WeaponSlot& s, const BattleUnit& u) {
  s.TargetX = RoundL(static_cast<double>(u.CenterX) + u.PosX);
  s.TargetY = RoundL(static_cast<double>(u.CenterY) + u.PosY);
}

// Shield first, then hull; the hull is kept within its 16-bit field however
// hard the hit.
void Damage(int16_t& hp, float& shield, int16_t firePower) {
  shield -= firePower;
  if (shield < 0.0f) {
    hp = RoundTo<int16_t>(static_cast<double>(hp) + shield);
    shield = 0.0f;
  }
}

// Does the shot at (x, y) stand on the building's ground outline, a lens
// as wide as the footprint and half as high, centred on the building?
bool InBuildingOutline(const BattleState& world, const BattleEnv& env, const BuildingInstance& b, float x, float y) {
  const int32_t w = b.Footprint.Right;
  const RECT r{b.DrawX, RoundL(b.Y - w / 4.0), b.DrawX + w, RoundL(b.Y + w / 4.0)};
  const double dx = x - static_cast<double>(r.Left);
  const double dy = y - static_cast<double>(r.Top);
  const int32_t rw = r.Right - r.Left;
  const int32_t rh = r.Bottom - r.Top;
  if (rw <= 0 || !PtInRECT(RoundL(dx), RoundL(dy), RECT{0, 0, rw, rh})) return false;
  (void)world;
  const double t = env.Rules.Variant.ExactBuildingSine ? std::sin(kPi * dx / rw) : CosSinAt(180.0 * dx / rw).Sin;
  const double c = (1.0 - t) * rh / 2.0;
  if (dy < rh / 2.0) return dy > c;
  return dy < rh - c;
}

// Tests shot k against land, buildings and units; true when it hit
// something and is gone.
bool HitShot(BattleState& world, BattleEnv& env, const UnitGrid& grid, int32_t k) {
  const WeaponSlot& shot = world.Shots[static_cast<size_t>(k)];
  const struct {
    float PosX, PosY;
    int16_t FirePower;
    int32_t FireTank;
    int32_t FireOwner;
  } s{shot.PosX, shot.PosY, shot.FirePower, shot.FireTank, shot.FireOwner};
  const int32_t sx = RoundL(s.PosX);
  const int32_t sy = RoundL(s.PosY);
  if (world.ShotSwitch && CheckMapMask(world, sx, sy) == kBlockedLand) {
    // Record 0 may be the empty record every shot array keeps: it vanishes
    // quietly.
    if (k > 0) {
      SpawnExplosion(world, sx, sy, 0, 0, 0.5f, 40, 0, 1);
      SoundAt(world, env.Out, sx, sy, kImpactSounds, 3);
    }
    RemoveRecord(world.Shots, k);
    return true;
  }
  if (CheckBMask(world, sx, sy) > 0) {
    for (size_t n = 0; n < world.Builds.size(); ++n) {
      BuildingInstance& b = world.Builds[n];
      if (!InBuildingOutline(world, env, b, s.PosX, s.PosY)) continue;
      b.HPVisible = 100;
      Damage(b.HP, b.Shield, s.FirePower);
      const int32_t bx = b.X, by = b.Y;
      SpawnExplosion(world, sx, sy, 0, 0, 0.5f, 40, 0, 1);
      SoundAt(world, env.Out, bx, by, kImpactSounds, 3);
      SpawnEngineFx(world, sx, sy, 0, 0, 3.0f, 40, 0);
      SoundAt(world, env.Out, bx, by, kShieldBuilding);
      RemoveRecord(world.Shots, k);
      return true;
    }
  }
  // Never the shooter, but friends alike.
  const int32_t n = grid.FirstHolding(sx, sy, s.FireTank);
  if (n >= 0) {
    BattleUnit& u = world.Units[static_cast<size_t>(n)];
    u.HPVisible = 100;
    const int16_t before = u.HP;
    Damage(u.HP, u.Shield, s.FirePower);
    // A hull at 0 is as dead as one below: the unit step removes both.
    if (u.HP <= 0) {
      WeaponSlot fatal;
      fatal.FireTank = s.FireTank;
      fatal.FireOwner = s.FireOwner;
      env.Rules.FatalShot(world, fatal, n);
    }
    // The kill counts once, on the hit that takes the hull below zero.
    if (u.HP < 0 && before >= 0) env.Rules.KillBooked(world, s.FireTank, n);
    const int32_t ux = RoundL(u.PosX), uy = RoundL(u.PosY);
    const int16_t width = RoundTo<int16_t>(u.DescRECT.Right);
    SpawnExplosion(world, sx, sy, 0, 0, 0.5f, 40, 0, 2);
    SoundAt(world, env.Out, ux, uy, kHit);
    SpawnEngineFx(world, sx, sy, 0, 0, 3.0f, width, 0);
    SoundAt(world, env.Out, ux, uy, kShieldUnit);
    RemoveRecord(world.Shots, k);
    return true;
  }
  return false;
}

void MoveShot(BattleState& world, int32_t k) {
  WeaponSlot& s = world.Shots[static_cast<size_t>(k)];
  switch (s.Path) {
    case 2:
      if (s.TargetTank < 0) {
        s.Path = 3;
      } else if (ValidUnit(world, s.TargetTank)) {
        AimAtUnitCentre(s, world.Units[static_cast<size_t>(s.TargetTank)]);
        SteerAmmo(world, k);
      } else {
        s.Path = 1;
      }
      break;
    case 3:
      if (SteerAmmo(world, k) == 1) s.Path = 1;
      break;
    case 4:
      // With its shooter gone the shot keeps the last target it had.
      if (ValidUnit(world, s.FireTank)) {
        s.TargetTank = FindNearestTank(world, RoundL(s.PosX), RoundL(s.PosY), static_cast<float>(s.Range),
                                       world.Units[static_cast<size_t>(s.FireTank)].Team);
        if (ValidUnit(world, s.TargetTank)) AimAtUnitCentre(s, world.Units[static_cast<size_t>(s.TargetTank)]);
      }
      SteerAmmo(world, k);
      break;
    default:
      break;
  }
  const float f = world.FrameFactor;
  s.PosX += s.VelocityX * f;
  s.PosY += s.VelocityY * f;
  s.PastRange += s.Speed * f;
  if (s.PastRange >= static_cast<float>(s.Range)) RemoveRecord(world.Shots, k);
}

}  // namespace

void WhichWeaponIndex(BattleState& world, const std::string& name) {
  static constexpr const char* kClasses[] = {"Laser", "Cannon", "Missile", "Rocket", "Ion Gun", "Flame Gun"};
  const std::string upper = plat::UCase(name);
  for (size_t c = 0; c < std::size(kClasses); ++c) {
    if (upper.find(plat::UCase(kClasses[c])) != std::string::npos) {
      world.WeaponClassIndex = static_cast<uint8_t>(c + 1);
      return;
    }
  }
}

void RefreshWeapon(BattleState& world, BattleEnv& env, int32_t i) {
  if (!ValidUnit(world, i)) return;
  const float f = world.FrameFactor;
  // Launching grows the shot array only, so the unit and its weapons stay
  // where they are.
  BattleUnit& u = world.Units[static_cast<size_t>(i)];
  for (WeaponSlot& w : u.Weapon) {
    if (w.FireCharge <= 1.0f) w.FireCharge += w.FireSpeed * f;
    if (u.Fire != 1 || w.Enabled != 1 || w.FireCharge < 1.0f || u.Energy < w.Energy) continue;
    w.FireCharge = 0.0f;
    u.Energy -= w.Energy;
    if (w.Energy == 0.0f) {
      if (w.Ammo == 0) continue;  // the charge is spent on an empty magazine
      --w.Ammo;
    }
    LaunchAmmo(world, env, i, w);
  }
}

void LaunchAmmo(BattleState& world, BattleEnv& env, int32_t i, const WeaponSlot& w) {
  const BattleUnit& u = world.Units[static_cast<size_t>(i)];
  const int32_t k = GetAmmoIndex(world);
  WeaponSlot& s = world.Shots[static_cast<size_t>(k)];
  s = w;
  s.HeadAngle = u.HeadAngle;
  // The muzzle sits on an ellipse round a point above the unit's centre;
  // the weapon's offset counts steps of 4 degrees round it.
  const double a = (w.OffsetX * 4.0 + u.HeadAngle) * kPi / 180.0;
  s.PosX = static_cast<float>(u.PosX + u.CenterX + u.DescRECT.Right * std::cos(a) / 4.0);
  s.PosY = static_cast<float>(u.PosY + u.CenterY - u.DescRECT.Bottom / 6.0 + u.DescRECT.Bottom * std::sin(a) / 6.0);
  SetVelocityFromHeading(s);
  s.FireTank = i;
  s.FireOwner = env.Rules.ShotOwner(world, i);
  if (env.Rules.Variant.AimFromUnit) {
    s.TargetX = RoundL(u.AimX);
    s.TargetY = RoundL(u.AimY);
  } else {
    s.TargetX = RoundL(static_cast<double>(world.MouseX) + world.ScrollX);
    s.TargetY = RoundL(static_cast<double>(world.MouseY) + world.ScrollY);
    if (s.Path == 3 && u.Style != 0 && ValidUnit(world, u.TargetTank))
      AimAtUnitCentre(s, world.Units[static_cast<size_t>(u.TargetTank)]);
  }
  s.TargetTank = u.TargetTank;
  if (i == world.PlayerUnit && world.PickedUnit >= 0) s.TargetTank = world.PickedUnit;
  SoundAt(world, env.Out, RoundL(s.PosX), RoundL(s.PosY), s.ClipID);
}

int32_t GetAmmoIndex(BattleState& world) { return AppendRecord(world.Shots); }

void UpdateAmmo(BattleState& world, BattleEnv& env) {
  // Units stand still during the shot step: sort them into cells once.
  static thread_local UnitGrid grid;
  static thread_local UnitCells cells;
  const bool crowd = world.Units.size() >= kCellsFromUnits;
  grid.Build(world, crowd);
  if (crowd) cells.Build(world);
  const std::optional<NearestFromCells> nearest = crowd ? std::optional<NearestFromCells>(std::in_place, cells) : std::nullopt;
  for (int32_t k = static_cast<int32_t>(world.Shots.size()) - 1; k >= 0; --k) {
    if (static_cast<size_t>(k) < world.Shots.size()) HitShot(world, env, grid, k);
  }
  for (int32_t k = static_cast<int32_t>(world.Shots.size()) - 1; k >= 0; --k) {
    if (static_cast<size_t>(k) < world.Shots.size()) MoveShot(world, k);
  }
}

int32_t SteerAmmo(BattleState& world, int32_t k) {
  WeaponSlot& s = world.Shots[static_cast<size_t>(k)];
  const double dx = s.TargetX - static_cast<double>(s.PosX);
  const double dy = s.TargetY - static_cast<double>(s.PosY);
  const double dist = std::sqrt(dx * dx + dy * dy);
  const float a = CalAngle(static_cast<float>(dx), static_cast<float>(dy), static_cast<float>(dist), s.HeadAngle);
  if (std::fabs(a - s.HeadAngle) <= s.Agile) {
    s.HeadAngle = a;
    SetVelocityFromHeading(s);
    return 1;
  }
  const float q = world.FrameFactor * s.Agile;
  if (a > s.HeadAngle) s.HeadAngle = (a - s.HeadAngle <= 180.0f) ? s.HeadAngle + q : s.HeadAngle - q;
  if (a < s.HeadAngle) s.HeadAngle = (s.HeadAngle - a >= 180.0f) ? s.HeadAngle + q : s.HeadAngle - q;
  if (s.HeadAngle >= 360.0f) s.HeadAngle -= 360.0f;
  if (s.HeadAngle < 0.0f) s.HeadAngle += 360.0f;
  SetVelocityFromHeading(s);
  return 0;
}

int32_t FindNearestTank(const BattleState& world, int32_t x, int32_t y, float range, int32_t team) {
  double best = range;
  int32_t found = -1;
  const double reach = std::min(best, 600.0);
  if (!(reach > 0.0)) return -1;  // nothing is nearer than nothing
  // Squares first: the root is taken only for units that may be nearer,
  // and compared as it always was. Ties go to the lower index, as they do
  // in a scan from index 0, whatever order the units come in.
  double reachSq = reach * reach * (1.0 + 1e-9);
  const auto consider = [&](int32_t n, float px, float py, uint8_t unitTeam) {
    if (unitTeam == team) return;
    const double dx = x - static_cast<double>(px);
    const double dy = y - static_cast<double>(py);
    const double sq = dx * dx + dy * dy;
    if (!(sq <= reachSq)) return;
    const double d = std::sqrt(sq);
    if (d < 600.0 && (d < best || (d == best && found >= 0 && n < found))) {
      best = d;
      found = n;
      reachSq = d * d * (1.0 + 1e-9);
    }
  };
  if (const UnitCells* cells = NearestFromCells::Active(world)) {
    // The cells keep each unit's position as it stands in the step that
    // set them up, in a copy small enough to scan a crowd quickly.
    cells->ForEachIn(x - reach - 1.0, y - reach - 1.0, x + reach + 1.0, y + reach + 1.0, [&](int32_t n) {
      const UnitCells::Spot& s = cells->At(n);
      consider(n, s.x, s.y, s.team);
    });
  } else {
    for (size_t n = 0; n < world.Units.size(); ++n) {
      const BattleUnit& u = world.Units[n];
      consider(static_cast<int32_t>(n), u.PosX, u.PosY, u.Team);
    }
  }
  return found;
}

}  // namespace fw
