#pragma once
// Worlds built in code for the simulation's tests and benchmarks: units as
// the roster makes them, without pictures, and the effect picture names the
// spawners look up.
#include <cstdint>
#include <optional>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "battle/battle_sim.hpp"
#include "battle/battle_state.hpp"
#include "battle/masks.hpp"
#include "battle/roster.hpp"
#include "battle/sim_math.hpp"
#include "engine/startup.hpp"
#include "platform/runtime/clock.hpp"
#include "platform/runtime/random.hpp"

namespace fw::simtest {

inline WeaponSlot MakeWeapon(int16_t power = 10, int32_t range = 500, float speed = 8.0f, uint8_t path = 1) {
  WeaponSlot w;
  w.Key = "Laser";
  w.ClipID = 1;
  w.Speed = speed;
  w.Agile = 6.0f;
  w.Range = range;
  w.FirePower = power;
  w.FireSpeed = 0.05f;
  w.Energy = 5.0f;
  w.Ammo = 0;
  w.Path = path;
  w.Enabled = 1;
  w.FireAngle = 30;
  w.TargetTank = 0;
  w.FireTank = 0;
  return w;
}

// A unit as AddTank leaves it: 80 x 60 box, full hull, energy and shield.
inline BattleUnit MakeUnit(float x, float y, uint8_t team, uint8_t style = 0) {
  BattleUnit u;
  u.PosX = x;
  u.PosY = y;
  u.DescRECT = RECT{0, 0, 80, 60};
  u.CenterX = 40.0f;
  u.CenterY = 30.0f;
  u.PosOffsetX = -40.0f;
  u.PosOffsetY = -30.0f;
  u.HP = 100;
  u.ShieldFull = 50;
  u.Shield = 50.0f;
  u.ShieldSpeed = 0.05f;
  u.EnergyFull = 100;
  u.Energy = 100.0f;
  u.EnergySpeed = 0.5f;
  u.TopSpeed = 3.0f;
  u.Accelerate = 0.1f;
  u.Agile = 3.0f;
  u.ClipID = "1";
  u.Team = team;
  u.Style = style;
  u.BaseStyle = style;
  u.TargetTank = -1;
  u.LeaderTank = -1;
  u.WayPoint.assign(1, PointL{});
  return u;
}

inline int32_t AddUnit(BattleState& w, const BattleUnit& u) {
  w.Units.push_back(u);
  return static_cast<int32_t>(w.Units.size() - 1);
}

// The effect pictures the spawners name, at known indices 1.. in this order.
inline const char* const kEffectPictures[] = {"EXP01", "EXP02", "EXP03", "EXP04", "EXP05",
                                              "FOG01", "FOG03", "ENG01", "SHOCKWAVE", "FIRE01"};

inline BattleState EmptyWorld() {
  InitCosSin();
  BattleState w;
  for (const char* name : kEffectPictures) {
    ImageRecord r;
    r.Name = name;
    r.RepeatX = 5;
    r.RepeatY = 6;
    w.Textures.push_back(r);
  }
  w.ShotSwitch = true;
  w.FrameFactor = 1.0f;
  return w;
}

inline void BlockCell(BattleState& w, int32_t column, int32_t row) {
  w.LandMask[static_cast<size_t>(BattleState::CellIndex(column, row))] = kBlockedLand;
}

// Two closed rings, one cell thick: blocked land round cells
// (20..60, 20..50) and building cells round (100..140, 100..130).
inline constexpr int32_t kLandRing[4] = {20, 20, 60, 50};
inline constexpr int32_t kBuildRing[4] = {100, 100, 140, 130};

inline bool OnRing(const int32_t ring[4], int32_t c, int32_t r) {
  const bool inside = c >= ring[0] && c <= ring[2] && r >= ring[1] && r <= ring[3];
  return inside && (c == ring[0] || c == ring[2] || r == ring[1] || r == ring[3]);
}
// -1 outside the ring, +1 strictly inside it, 0 on it.
inline int32_t RingSide(const int32_t ring[4], int32_t c, int32_t r) {
  if (OnRing(ring, c, r)) return 0;
  const bool inside = c > ring[0] && c < ring[2] && r > ring[1] && r < ring[3];
  return inside ? 1 : -1;
}

// A battle laid out from a seed: both rings, a few straight walls, terrain
// patches that push units about, buildings, and `units` units of two teams
// with every AI style and weapons of every flight path, inside and outside
// the rings. Each unit's ClipID is a name of its own ("u<n>"), each
// building's TypeKey too, so tests can follow them through renumbering.
inline BattleState RandomBattle(uint32_t seed, int32_t units = 24, int32_t buildings = 6) {
  BattleState w = EmptyWorld();
  std::mt19937 rng(seed);
  auto uni = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int32_t c = 0; c < kMaskColumns; ++c) {
    for (int32_t r = 0; r < kMaskRows; ++r) {
      if (OnRing(kLandRing, c, r)) BlockCell(w, c, r);
      if (OnRing(kBuildRing, c, r)) w.BuildMask[static_cast<size_t>(BattleState::CellIndex(c, r))] = 1;
    }
  }
  for (int n = 0; n < 4; ++n) {  // straight walls in the open
    const int c = pick(150, 240), r = pick(10, 180), len = pick(3, 10);
    for (int k = 0; k < len; ++k) BlockCell(w, n % 2 ? c : std::min(c + k, 255), n % 2 ? std::min(r + k, 191) : r);
  }
  // Terrain patches: kinds 0 to 4, the land value m naming area m + 1.
  for (uint8_t kind = 0; kind <= 4; ++kind) {
    TerrainArea a;
    a.Kind = kind;
    a.Value = static_cast<float>(uni(0.3, 3.0));
    w.Terrains.push_back(a);
    const uint8_t m = static_cast<uint8_t>(w.Terrains.size() - 2);
    const int c0 = pick(5, 230), r0 = pick(5, 170);
    for (int c = c0; c < c0 + 8; ++c)
      for (int r = r0; r < r0 + 6; ++r) {
        uint8_t& cell = w.LandMask[static_cast<size_t>(BattleState::CellIndex(c, r))];
        if (cell == 0) cell = m;
      }
  }
  for (int b = 0; b < buildings; ++b) {
    BuildingInstance bi;
    bi.TypeKey = "b" + std::to_string(b);
    bi.X = pick(300, 4800);
    bi.Y = pick(300, 3500);
    bi.Footprint = RECT{0, 0, 120, 120};
    bi.DrawX = bi.X - 60;
    bi.DrawY = bi.Y - 90;
    bi.HP = bi.HPFull = static_cast<int16_t>(b % 2 ? 1200 : 150);
    bi.Shield = 20;
    bi.ShieldFull = 20;
    bi.ShieldSpeed = 0.02f;
    bi.FrameCount = 4;
    bi.AnimSpeed = 0.05f;
    w.Builds.push_back(bi);
    w.ObjectiveBuilds.push_back(b);
    PutBMask(w, bi.DrawX, bi.DrawY, bi.Footprint, 1);
  }
  w.ObjectiveUnits.push_back(0);
  for (int32_t n = 0; n < units; ++n) {
    // A third start inside the land ring, a sixth inside the building ring.
    double x, y;
    if (n % 3 == 0) {
      x = uni(kLandRing[0] * 20 + 20, kLandRing[2] * 20 - 20) - 40;
      y = uni(kLandRing[1] * 20 + 20, kLandRing[3] * 20 - 20) - 30;
    } else if (n % 6 == 1) {
      x = uni(kBuildRing[0] * 20 + 20, kBuildRing[2] * 20 - 20) - 40;
      y = uni(kBuildRing[1] * 20 + 20, kBuildRing[3] * 20 - 20) - 30;
    } else {
      x = uni(100, 4900);
      y = uni(100, 3700);
    }
    BattleUnit u = MakeUnit(static_cast<float>(x), static_cast<float>(y), static_cast<uint8_t>(n % 2),
                            static_cast<uint8_t>(pick(0, 6)));
    u.ClipID = "u" + std::to_string(n);
    u.HeadAngle = static_cast<float>(uni(0, 360));
    u.TopSpeed = static_cast<float>(uni(1.5, 5));
    u.Agile = static_cast<float>(uni(1, 6));
    u.EnergyFull = static_cast<int16_t>(pick(0, 1) ? 100 : 0);
    u.Energy = u.EnergyFull;
    u.MoveFB = static_cast<uint8_t>(pick(0, 2));
    u.PerSpeed = static_cast<int16_t>(pick(-50, 100));
    const int points = pick(1, 5);
    u.WayPoint.clear();
    for (int p = 0; p < points; ++p) u.WayPoint.push_back(PointL{pick(50, 5000), pick(50, 3800)});
    for (int k = pick(1, 3); k > 0; --k) {
      WeaponSlot wpn = MakeWeapon(static_cast<int16_t>(pick(5, 40)), pick(200, 700),
                                  static_cast<float>(uni(4, 12)), static_cast<uint8_t>(pick(1, 4)));
      wpn.OffsetX = static_cast<int16_t>(pick(-10, 10));
      wpn.FireAngle = static_cast<int16_t>(pick(10, 180));
      wpn.FireSpeed = static_cast<float>(uni(0.02, 0.2));
      if (pick(0, 3) == 0) {
        wpn.Energy = 0;
        wpn.Ammo = static_cast<int16_t>(pick(0, 20));
      }
      u.Weapon.push_back(wpn);
    }
    if (n > 0 && u.Style == 4) u.LeaderTank = pick(0, n - 1);
    AddUnit(w, u);
    if (n % 4 == 0) w.ObjectiveUnits.push_back(n);
  }
  w.PlayerUnit = units > 0 ? 0 : -1;
  w.ScrollX = 640;
  w.ScrollY = 480;
  return w;
}

// A crowded battle for the benchmarks: `units` engaging units of two teams
// spread over the whole map, `shots` shots in flight of every path,
// `debris` particles in the air and `buildings` buildings standing.
inline BattleState CrowdedBattle(int32_t units, int32_t shots, int32_t debris, int32_t buildings, uint32_t seed = 1) {
  BattleState w = EmptyWorld();
  std::mt19937 rng(seed);
  auto uni = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
  for (int32_t b = 0; b < buildings; ++b) {
    BuildingInstance bi;
    bi.TypeKey = "b" + std::to_string(b);
    bi.X = static_cast<int32_t>(uni(100, 5000));
    bi.Y = static_cast<int32_t>(uni(100, 3700));
    bi.Footprint = RECT{0, 0, 100, 100};
    bi.DrawX = bi.X - 50;
    bi.DrawY = bi.Y - 75;
    bi.HP = bi.HPFull = 30000;
    bi.Shield = 100;
    bi.ShieldFull = 100;
    bi.ShieldSpeed = 0.05f;
    bi.FrameCount = 4;
    bi.AnimSpeed = 0.05f;
    w.Builds.push_back(bi);
    PutBMask(w, bi.DrawX, bi.DrawY, bi.Footprint, 1);
  }
  for (int32_t n = 0; n < units; ++n) {
    BattleUnit u = MakeUnit(static_cast<float>(uni(50, 5000)), static_cast<float>(uni(50, 3700)),
                            static_cast<uint8_t>(n % 2), 2);
    u.HP = 30000;  // nobody dies: the crowd stays the same size
    u.HeadAngle = static_cast<float>(uni(0, 360));
    u.Weapon = {MakeWeapon(1, 400, 8.0f, 1), MakeWeapon(1, 600, 6.0f, 2)};
    AddUnit(w, u);
  }
  for (int32_t k = 0; k < shots; ++k) {
    WeaponSlot s = MakeWeapon(1, 100000, static_cast<float>(uni(4, 10)), static_cast<uint8_t>(1 + k % 4));
    s.PosX = static_cast<float>(uni(0, 5120));
    s.PosY = static_cast<float>(uni(0, 3840));
    s.HeadAngle = static_cast<float>(uni(0, 360));
    s.FireTank = units > 0 ? k % units : -1;
    s.TargetTank = units > 0 ? (k * 7) % units : -1;
    s.TargetX = static_cast<int32_t>(uni(0, 5120));
    s.TargetY = static_cast<int32_t>(uni(0, 3840));
    w.Shots.push_back(s);
  }
  for (int32_t d = 0; d < debris; ++d) {
    WeaponSlot p;
    p.PosX = static_cast<float>(uni(0, 5120));
    p.PosY = static_cast<float>(uni(0, 3840));
    p.Energy = 1000;
    p.Speed = 0.2f;
    p.FireCharge = static_cast<float>(uni(1, 100));
    p.Agile = 3;
    p.VelocityX = 1;
    p.FirePower = 30;
    w.Debris.push_back(p);
  }
  return w;
}

// Unit pictures for AddTank without a display: every picture "loads" at
// the size of a 12 x 6 sheet of 80 x 60 cells.
class SizeOnlyPictures : public BattlePictures {
 public:
  std::optional<Size> Load(PictureList, int32_t, const std::string&, PictureArchive) override {
    return Size{960, 360};
  }
};

// A battle on a loaded map (the sample map A): `units` units made from the
// map's templates with AddTank in its terrain areas, the player's side from
// areas 2 to 6 and the enemy from areas 7 to 9, with the styles and navigation
// spots a mission gives them, and objective lists over units and
// buildings. Unit n is renamed "u<n>" (ClipID), so tests can follow it.
inline BattleState MapBattle(const BattleState& map, uint32_t seed, int32_t units) {
  BattleState w = map;
  SizeOnlyPictures pictures;
  std::mt19937 rng(seed);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const int32_t templates = static_cast<int32_t>(w.Templates.Count());
  const int32_t spots = static_cast<int32_t>(w.Spots.size()) - 1;
  const int32_t areas = static_cast<int32_t>(w.Terrains.size()) - 1;
  w.ObjectiveUnits.assign(1, 0);
  w.ObjectiveBuilds.assign(1, 0);
  for (int32_t n = 0; n < units; ++n) {
    const uint8_t team = n == 0 ? 0 : static_cast<uint8_t>(pick(0, 2) == 0 ? 0 : 1);
    const auto tmpl = w.Templates.Item(pick(1, templates));
    // The player's side starts on the drift areas mid-map, the enemy at
    // its wave areas and base beyond, so they meet within a few hundred
    // frames.
    const int32_t area = std::min(areas, team == 0 ? pick(2, 6) : pick(7, 9));
    int32_t style = n == 0 ? 0 : pick(1, 6);
    if (team == 0 && style != 4 && n > 0) style = pick(0, 1) ? 4 : 2;
    const int32_t i = AddTank(w, pictures, *tmpl, style, team, spots > 0 ? pick(1, spots) : 0, area);
    BattleUnit& u = w.Units[static_cast<size_t>(i)];
    u.ClipID = "u" + std::to_string(n);
    // The sample's units are weighed for a campaign of long fights: worn
    // hulls and no shields make these short battles end in deaths, which
    // the property checks need to see.
    u.HP = 3;
    u.Shield = 0;
    if (style == 4) u.LeaderTank = 0;
    if (n == 0) {
      u.MoveFB = 1;  // the player drives ahead and fires, turning now and then
      u.Fire = 1;
      u.TurnR = 1;
    }
    if (team == 1 && pick(0, 2) == 0) w.ObjectiveUnits.push_back(i);
  }
  // Buildings get names of their own too (the map repeats types).
  for (size_t b = 0; b < w.Builds.size(); ++b) w.Builds[b].TypeKey = "b" + std::to_string(b);
  for (int32_t b = 0; b < static_cast<int32_t>(w.Builds.size()); b += 2) w.ObjectiveBuilds.push_back(b);
  w.PlayerUnit = units > 0 ? 0 : -1;
  w.ShotSwitch = true;
  w.ScrollX = 2800;
  w.ScrollY = 1200;
  return w;
}

// Fixes the clock and the random source for the test's lifetime.
struct FixedChance {
  explicit FixedChance(uint32_t seed) {
    plat::FixClock(1000, 3600.0f);
    plat::FixRandom(seed);
  }
  ~FixedChance() {
    plat::UnfixRandom();
    plat::UnfixClock();
  }
};

// A world built in code, its output recorded, campaign rules, and the clock
// and random source fixed at `Seed` for the test's lifetime.
template <uint32_t Seed>
struct SimTest : ::testing::Test {
  FixedChance chance{Seed};
  BattleState world = EmptyWorld();
  RecordingBattleOutput out;
  BattleRules rules;
  BattleEnv env{out, rules};
};

}  // namespace fw::simtest
