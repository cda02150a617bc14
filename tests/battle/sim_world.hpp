#pragma once
// Worlds built in code for the simulation's tests and benchmarks: units as
// the roster makes them, without pictures, and the effect picture names the
// spawners look up.
#include <cstdint>
#include <string>

#include "battle/battle_sim.hpp"
#include "battle/battle_state.hpp"
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

}  // namespace fw::simtest
